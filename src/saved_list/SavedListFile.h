#pragma once

#include <QByteArray>

#include <optional>
#include <vector>

// The saved list's files (save.txt, Temp.txt): sequential text, one entry per line written as a
// double quote, the entry's bytes, a double quote and CR LF; nothing else, no escaping.
namespace saved_list {

// Whether an entry can be stored in that line format: it holds no double quote, CR or LF.
bool isStorable(const QByteArray &entry);

QByteArray line(const QByteArray &entry);
QByteArray lines(const std::vector<QByteArray> &entries);

// Reads the entries field by field: leading blanks are skipped; a quoted field runs to the next
// quote (the rest up to the next comma or line end is dropped); an unquoted field runs to the next
// comma or line end, without its trailing blanks. Blank lines hold no entry.
std::vector<QByteArray> parse(const QByteArray &content);

// The entries of the file; nothing when it is missing or cannot be read.
std::optional<std::vector<QByteArray>> read(const QByteArray &path);

} // namespace saved_list
