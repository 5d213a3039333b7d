// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Descriptor.h"
#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace platform {

using base::Descriptor;
using base::Result;
using base::SystemError;

// Each call that can fail returns its result or the reason it failed, the system's error number and
// its text.

// Opens a file the user chose (raw path bytes) without ever blocking: a named pipe or a device would
// stall open() or read() until another process acts, so the open does not wait, and anything but a
// regular file (symbolic links followed) is refused. `flags` are open(2)'s access flags (O_RDONLY,
// O_WRONLY | O_APPEND | O_CREAT, ...).
Result<Descriptor> openRegularFile(const QByteArray &path, int flags, mode_t mode = 0644);

// The program's own files (save.txt, Temp.txt, copies and Lumsifter.ocx in the application folder) are
// opened as openRegularFile opens a file, except that a symbolic link holding the file's name is
// followed only when it belongs to the user, or to root in a folder of root's. In a folder that others
// may write to, anybody else's link could send the program's writes into the user's own files: such a
// link fails with EACCES ("Permission denied"). The calls below that write, lock or read whole files
// treat the files they are given so.
Result<Descriptor> openOwnFile(const QByteArray &path, int flags, mode_t mode = 0644);

// openOwnFile, then an exclusive lock (flock) on the file, waited for at most `waitMs`. A file
// rewritten by replacing it (writeFileAtomically) is a new file: the lock is taken again on whatever
// the name holds once the lock is held, so that two processes never both work on what they read.
Result<Descriptor> openRegularFileLocked(const QByteArray &path, int flags, int waitMs = 10000);

// Copies the file `source` to `target` (raw path bytes), overwriting an existing target (an own file). The
// copy is written into a temporary file beside the target and renamed over it, so that a failed copy never
// leaves a half-written target. Copying a file onto itself, a directory, a special file or a missing
// file fails. The copy gets the source's permissions without set-user-id, set-group-id and sticky,
// masked by the umask, as cp gives them.
Result<void> copyFile(const QByteArray &source, const QByteArray &target);

// Deletes the named file; never a directory, and never a file that is read-only for the user (no
// write permission, as a read-only file is left in place by every delete of the program).
Result<void> deleteFile(const QByteArray &path);

// Whether the path names an existing regular file (symbolic links followed).
bool isRegularFile(const QByteArray &path);

// Replaces the file's content: written beside it, flushed, then renamed over it, so that a crash or
// a full disk never leaves it truncated. The old content is kept on any failure.
Result<void> writeFileAtomically(const QByteArray &path, const QByteArray &content);

// The file's whole content.
Result<QByteArray> readWholeFile(const QByteArray &path);
// Whether the file holds exactly these bytes, read a piece at a time, so that checking a large file
// takes no second copy of it.
Result<bool> fileHolds(const QByteArray &path, QByteArrayView expected);
// The whole content from an open descriptor's current position.
Result<QByteArray> readAll(int fd);

// Appends to the file under its lock (openRegularFileLocked), creating it when missing; a failure
// unless every byte was written.
Result<void> appendToFile(const QByteArray &path, const QByteArray &bytes);
// Writes every byte, going on after interruptions and short writes.
Result<void> writeAll(int fd, const char *data, qsizetype size);

// Creates the folder and every missing folder above it, each with `mode`; a success when the path is a
// folder afterwards, whoever made it.
Result<void> makeFolders(const QByteArray &folder, mode_t mode = 0700);

} // namespace platform
