#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Copies the file `source` to `target` (raw path bytes), overwriting an existing target. The copy is
// written into a temporary file beside the target and renamed over it, so that a failed copy never
// leaves a half-written target. Copying a file onto itself, a directory, or a missing file fails.
bool copyFile(const QByteArray &source, const QByteArray &target);

// Deletes the named file; never a directory. False when nothing was deleted.
bool deleteFile(const QByteArray &path);

// Whether the path names an existing regular file (symbolic links followed).
bool isRegularFile(const QByteArray &path);

// Replaces the file's content: written beside it, flushed, then renamed over it, so that a crash or
// a full disk never leaves it truncated. False, with the old content kept, on any failure.
bool writeFileAtomically(const QByteArray &path, const QByteArray &content);

// The file's whole content; false when it cannot be read.
bool readWholeFile(const QByteArray &path, QByteArray &content);

// Appends to the file, creating it when missing; false unless every byte was written.
bool appendToFile(const QByteArray &path, const QByteArray &bytes);

// The reason of the last failure of the calls above, as text.
QString lastErrorText();

} // namespace platform
