// SPDX-License-Identifier: GPL-3.0-or-later
#include "saved_list/SavedListFile.h"

#include "platform/Files.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace saved_list {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// One field of a line: its entry, and the bytes it takes up to the comma or the line end.
struct Field {
    QByteArrayView entry;
    QByteArrayView raw;
};

// Calls `field` for each field of one line (the line without its end).
template <typename F> void forEachField(QByteArrayView line, F &&field) {
    const qsizetype size = line.size();
    qsizetype i = 0;
    while (i < size) {
        const qsizetype start = i;
        while (i < size && isBlank(line[i]))
            ++i;
        if (i >= size)
            break; // trailing blanks hold no entry
        QByteArrayView entry;
        if (line[i] == '"') {
            const qsizetype close = line.indexOf('"', i + 1);
            const qsizetype end = close < 0 ? size : close;
            entry = line.sliced(i + 1, end - i - 1);
            i = end;
            while (i < size && line[i] != ',')
                ++i;
        } else {
            const qsizetype first = i;
            while (i < size && line[i] != ',')
                ++i;
            qsizetype end = i;
            while (end > first && isBlank(line[end - 1]))
                --end;
            entry = line.sliced(first, end - first);
        }
        field(Field{entry, line.sliced(start, i - start)});
        if (i < size)
            ++i; // past the comma
    }
}

// The length of the line end at `i` (CR LF, CR or LF), 0 when there is none.
qsizetype lineEndAt(QByteArrayView content, qsizetype i) {
    if (i >= content.size())
        return 0;
    if (content[i] == '\r')
        return i + 1 < content.size() && content[i + 1] == '\n' ? 2 : 1;
    return content[i] == '\n' ? 1 : 0;
}

// Calls `line` with each line of the content, without and with its line end.
template <typename F> void forEachLine(QByteArrayView content, F &&line) {
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = start;
        while (end < content.size() && content[end] != '\r' && content[end] != '\n')
            ++end;
        const qsizetype next = end + lineEndAt(content, end);
        line(content.sliced(start, end - start), content.sliced(start, next - start));
        start = next;
    }
}

// Where the complete lines of a chunk end: a CR at its very end may be the first half of a CR LF.
// Only the bytes from `fresh` on are new; those before hold no line end but perhaps a last CR, so the
// search for the last line end stops there, and a line of any length is scanned once.
qsizetype completeLines(QByteArrayView chunk, qsizetype fresh, bool atEnd) {
    if (atEnd)
        return chunk.size();
    qsizetype end = chunk.size();
    const qsizetype stop = std::max<qsizetype>(fresh - 1, 0);
    while (end > stop && chunk[end - 1] != '\n' && chunk[end - 1] != '\r')
        --end;
    if (end == stop)
        return 0;
    if (end == chunk.size() && end > 0 && chunk[end - 1] == '\r')
        --end;
    return end;
}

// What is left to read of a file, by its size now.
qsizetype restOfFile(int fd, qint64 readSoFar) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return 0;
    return qsizetype(std::clamp<qint64>(qint64(info.st_size) - readSoFar, 0, qint64(1) << 40));
}

QString reason(const char *what, const base::SystemError &error) {
    return QString::fromLatin1(what) + QStringLiteral(" (") + error.text() + u')';
}

// save.txt's content, read through the lock it holds; a missing file holds nothing.
base::Result<QByteArray> contentOf(const base::Result<platform::Descriptor> &save) {
    if (!save)
        return save.error().code() == ENOENT ? base::Result<QByteArray>(QByteArray()) : save.error();
    return platform::readAll(save->get());
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

std::vector<QByteArray> parse(QByteArrayView content) {
    std::vector<QByteArray> entries;
    forEachLine(content, [&](QByteArrayView text, QByteArrayView) {
        forEachField(text, [&](const Field &field) { entries.push_back(field.entry.toByteArray()); });
    });
    return entries;
}

bool readEntries(int fd, const EntrySink &sink) {
    static constexpr qsizetype chunk = 1 << 20;
    qint64 readSoFar = 0;
    QByteArray buffer;
    qsizetype filled = 0;
    for (;;) {
        // A line longer than a chunk gets room for the rest of the file at once, rather than a series
        // of ever larger copies.
        const qsizetype wanted = filled >= chunk ? restOfFile(fd, readSoFar) + 1 : chunk;
        if (buffer.size() - filled < wanted)
            buffer.resize(filled + wanted);
        const ssize_t got =
            ::read(fd, buffer.data() + filled, size_t(std::min(chunk, buffer.size() - filled)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        filled += got;
        readSoFar += got;
        const QByteArrayView data(buffer.constData(), filled);
        const qsizetype complete = completeLines(data, filled - got, got == 0);
        forEachLine(data.first(complete), [&](QByteArrayView text, QByteArrayView) {
            forEachField(text, [&](const Field &field) { sink(field.entry); });
        });
        if (got == 0)
            return true;
        // The unfinished last line moves to the front and waits for the rest; a line longer than a
        // chunk stays where it is until it is complete.
        if (complete > 0) {
            std::memmove(buffer.data(), buffer.constData() + complete, size_t(filled - complete));
            filled -= complete;
        }
    }
}

Removal removeEntries(QByteArrayView content, const EntryTest &remove) {
    Removal result;
    result.kept.reserve(content.size());
    forEachLine(content, [&](QByteArrayView text, QByteArrayView whole) {
        std::vector<QByteArrayView> kept;
        int removedHere = 0;
        forEachField(text, [&](const Field &field) {
            if (remove(field.entry))
                ++removedHere;
            else
                kept.push_back(field.raw);
        });
        result.removed += removedHere;
        if (removedHere == 0) {
            result.kept.append(whole);
        } else if (!kept.empty()) {
            for (size_t i = 0; i < kept.size(); ++i)
                result.kept.append(i == 0 ? QByteArrayView() : QByteArrayView(",")).append(kept[i]);
            result.kept.append(whole.sliced(text.size()));
        }
    });
    return result;
}

base::Result<void> append(const QByteArray &saveFile, const QByteArray &entry) {
    return platform::appendToFile(saveFile, line(entry));
}

DeleteOutcome deleteEntries(const QByteArray &saveFile, const QByteArray &tempFile, const EntryTest &remove) {
    const base::Result<platform::Descriptor> save = platform::openRegularFileLocked(saveFile, O_RDONLY);
    const base::Result<QByteArray> content = contentOf(save);
    if (!content)
        return {0, reason("save.txt could not be read", content.error())};
    const Removal removal = removeEntries(*content, remove);
    if (const base::Result<void> written = platform::writeFileAtomically(tempFile, removal.kept); !written)
        return {0, reason("Temp.txt could not be written", written.error())};
    if (removal.removed == 0)
        return {0, {}};
    if (!platform::fileHolds(tempFile, removal.kept).value_or(false))
        return {0, QStringLiteral("Temp.txt does not hold the kept entries")};
    if (const base::Result<void> written = platform::writeFileAtomically(saveFile, removal.kept); !written)
        return {0, reason("save.txt could not be written", written.error())};
    return {removal.removed, {}};
}

} // namespace saved_list
