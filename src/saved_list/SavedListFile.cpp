#include "saved_list/SavedListFile.h"

#include "platform/Files.h"

namespace saved_list {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool endsField(char c) {
    return c == ',' || c == '\r' || c == '\n';
}

// Moves past the delimiter that ends a field: a comma, or a line end (CR LF, CR or LF).
qsizetype pastDelimiter(const QByteArray &content, qsizetype i) {
    if (i >= content.size())
        return i;
    if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n')
        return i + 2;
    return i + 1;
}

} // namespace

bool isStorable(const QByteArray &entry) {
    return !entry.contains('"') && !entry.contains('\r') && !entry.contains('\n');
}

QByteArray line(const QByteArray &entry) {
    return '"' + entry + "\"\r\n";
}

QByteArray lines(const std::vector<QByteArray> &entries) {
    QByteArray out;
    for (const QByteArray &entry : entries)
        out += line(entry);
    return out;
}

std::vector<QByteArray> parse(const QByteArray &content) {
    std::vector<QByteArray> entries;
    qsizetype i = 0;
    const qsizetype size = content.size();
    while (i < size) {
        while (i < size && isBlank(content[i]))
            ++i;
        if (i >= size)
            break;
        if (content[i] == '\r' || content[i] == '\n') {
            i = pastDelimiter(content, i); // a blank line
            continue;
        }
        if (content[i] == '"') {
            const qsizetype close = content.indexOf('"', i + 1);
            const qsizetype end = close < 0 ? size : close;
            entries.push_back(content.mid(i + 1, end - i - 1));
            i = end + 1;
            while (i < size && !endsField(content[i]))
                ++i;
        } else {
            const qsizetype start = i;
            while (i < size && !endsField(content[i]))
                ++i;
            qsizetype end = i;
            while (end > start && isBlank(content[end - 1]))
                --end;
            entries.push_back(content.mid(start, end - start));
        }
        i = pastDelimiter(content, i);
    }
    return entries;
}

std::optional<std::vector<QByteArray>> read(const QByteArray &path) {
    QByteArray content;
    if (!platform::readWholeFile(path, content))
        return std::nullopt;
    return parse(content);
}

} // namespace saved_list
