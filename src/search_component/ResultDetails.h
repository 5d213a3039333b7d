// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace search_component {

// A size as people read it, in the locale's numbers: "512 bytes", and from a kibibyte on the size in
// the largest binary unit that keeps it at or above 1, with the exact count after it:
// "1.5 KiB (1,536 bytes)".
QString humanSize(qint64 bytes, const QLocale &locale);

// The details of a found file, shown when the pointer rests on its row: size, modification time and
// type (by name, and for a regular file by its first bytes too). Only the entry's own status is read
// (lstat, so a link is described, not followed), and only a regular file is opened, without ever
// waiting: a named pipe, a device or a file that has vanished cannot stall the window.
QString detailsText(const QByteArray &path, const QLocale &locale);

} // namespace search_component
