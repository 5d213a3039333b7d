// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// The saved list's files (save.txt, Temp.txt): sequential text, one entry per line written as a
// double quote, the entry's bytes, a double quote and CR LF; nothing else, no escaping.
namespace saved_list {

// Whether an entry can be stored in that line format: it holds no double quote, CR or LF.
bool isStorable(const QByteArray &entry);

QByteArray line(const QByteArray &entry);
QByteArray lines(const std::vector<QByteArray> &entries);

// Reads the entries field by field, line by line (a line ends at CR LF, CR or LF): leading blanks are
// skipped; a quoted field runs to the next quote on its line (the rest up to the next comma or the line
// end is dropped), or to the line end when the quote is not closed; an unquoted field runs to the next
// comma or the line end, without its trailing blanks. Blank lines hold no entry.
std::vector<QByteArray> parse(QByteArrayView content);

using EntrySink = std::function<void(QByteArrayView entry)>;
using EntryTest = std::function<bool(QByteArrayView entry)>;

// Streams the entries of an open file to `sink`, a chunk at a time, so that a list of millions of
// entries never needs the whole file in memory. False when the file cannot be read.
bool readEntries(int fd, const EntrySink &sink);

// The content without the entries that `remove` picks, and how many it picked. Lines without such an
// entry stay byte for byte, whatever their form; a line of several fields loses only the picked ones.
struct Removal {
    QByteArray kept;
    int removed = 0;
};
Removal removeEntries(QByteArrayView content, const EntryTest &remove);

// Appends one entry as a line while holding save.txt's lock, creating the file when missing; the
// reason when it cannot be written.
base::Result<void> append(const QByteArray &saveFile, const QByteArray &entry);

// Removes the entries that `remove` picks from save.txt, holding its lock from the read until the
// rewritten file is in place, so that a Save of another copy of the program waits instead of being
// lost. Temp.txt receives the kept content first; save.txt is rewritten from it only when something
// was removed and Temp.txt holds exactly that content. A missing save.txt holds no entries.
struct DeleteOutcome {
    int removed = 0;
    QString failure; // empty on success: what could not be read or written, and why
};
DeleteOutcome deleteEntries(const QByteArray &saveFile, const QByteArray &tempFile, const EntryTest &remove);

} // namespace saved_list
