#include "dbhost/JetTable.h"

#include "helper_protocol/Protocol.h"

#include <algorithm>
#include <cstring>

namespace dbhost {

// Where things stand in pages and rows of the two layouts (ACE keeps the Jet 4 one).
struct JetTable::Format {
    int pageSize;
    int rowCountOffset; // data pages: row count, then the row offsets
    int rowColumnCountSize;
    int tdefRowCount, tdefVarColumns, tdefColumns, tdefLogicalIndexes, tdefRealIndexes, tdefUsedPages;
    int tdefRealIndexStart, realIndexEntry;
    int columnEntry, colNumber, colVarIndex, colFlags, colExtFlags, colFixedOffset, colLength;
    int nameLengthSize;
    int realIndexBlock, realIndexColumns; // the index blocks after the column names
    int logicalIndexEntry, logicalRealIndex, logicalType;
};

namespace {

constexpr JetTable::Format jet3Format = {2048, 8, 1,  12, 23, 25, 27, 31, 35, 43, 8, 18,
                                         1,    3, 13, -1, 14, 16, 1,  39, 0,  20, 4, 19};
constexpr JetTable::Format jet4Format = {4096, 12, 2,  16, 43, 45, 47, 51, 55, 63, 12, 25,
                                         5,    7,  15, 16, 21, 23, 2,  52, 4,  28, 8,  27};

constexpr int rowOffsetMask = 0x1fff;
constexpr quint16 deletedRow = 0x8000;  // deleted, or a row that moved here from another page
constexpr quint16 overflowRow = 0x4000; // the slot holds a pointer to the row's new place
constexpr int maximumOverflowHops = 8;
constexpr int maximumDefinitionPages = 64;
constexpr qint64 maximumLongValue = 16 * 1024 * 1024;
constexpr int maximumChainLinks = 1 << 16;
constexpr int maximumColumns = 255;
constexpr int maximumIndexes = 1000;
constexpr quint8 dataPageType = 0x01;
constexpr quint8 definitionPageType = 0x02;
constexpr quint8 usageMapPageType = 0x05;
constexpr quint8 primaryKeyIndex = 0x01;

const unsigned char *bytes(const QByteArray &b) {
    return reinterpret_cast<const unsigned char *>(b.constData());
}

quint32 get24(const unsigned char *p) {
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16;
}

} // namespace

JetTable::JetTable(const JetFile &file, const QString &name, quint32 definitionPage,
                   const TableProperties &properties)
    : file_(file)
    , jet3_(file.isJet3())
    , format_(jet3_ ? &jet3Format : &jet4Format)
    , name_(name)
    , definitionPage_(definitionPage) {
    context_.jet3 = jet3_;
    context_.codePage = file.codePage();
    context_.longValue = [this](const unsigned char *header, size_t n) { return longValue(header, n); };
    const QByteArray d = definition(definitionPage);
    readDefinition(d);
    applyResultTypes(properties);
    readDataPages(get32(bytes(d) + format_->tdefUsedPages));
}

void JetTable::damaged(const QString &what, const QString &detail) const {
    throw HostError{Error::unreadable, QStringLiteral("Table '%1': %2").arg(name_, what), detail};
}

QByteArray JetTable::page(quint32 number) const {
    if (number == 0)
        damaged(QStringLiteral("a pointer leads to the header page."));
    std::variant<QByteArray, PageFault> read = file_.page(number);
    if (const PageFault *fault = std::get_if<PageFault>(&read))
        damaged(number >= file_.pageCount()
                    ? QStringLiteral("page %1 lies past the end of the file.").arg(number)
                    : QStringLiteral("page %1 cannot be read.").arg(number),
                fault->detail);
    return std::get<QByteArray>(std::move(read));
}

// The definition pages joined: the first whole, each further one without its 8-byte header.
QByteArray JetTable::definition(quint32 first) const {
    QByteArray d;
    quint32 next = first;
    for (int k = 0; next != 0; ++k) {
        if (k == maximumDefinitionPages)
            damaged(QStringLiteral("its definition does not end."));
        const QByteArray p = page(next);
        if (quint8(p[0]) != definitionPageType)
            damaged(QStringLiteral("page %1 is not a table definition.").arg(next));
        d.append(k == 0 ? p : p.mid(8));
        next = get32(bytes(p) + 4);
    }
    return d;
}

void JetTable::readDefinition(const QByteArray &d) {
    const Format &f = *format_;
    const unsigned char *p = bytes(d);
    const qsizetype size = d.size();
    const int count = get16(p + f.tdefColumns);
    variableColumns_ = get16(p + f.tdefVarColumns);
    const qint64 logical = qint32(get32(p + f.tdefLogicalIndexes));
    const qint64 real = qint32(get32(p + f.tdefRealIndexes));
    if (count == 0 || count > maximumColumns || logical < 0 || real < 0 || logical > maximumIndexes ||
        real > maximumIndexes)
        damaged(QStringLiteral("its definition is damaged."));
    qsizetype at = f.tdefRealIndexStart + real * f.realIndexEntry;
    qsizetype names = at + qsizetype(count) * f.columnEntry;
    if (names > size)
        damaged(QStringLiteral("its column definitions are cut off."));
    for (int i = 0; i < count; ++i, at += f.columnEntry) {
        const unsigned char *c = p + at;
        ColumnDefinition col;
        col.type = ColumnType(c[0]);
        col.valueType = col.type;
        col.number = get16(c + f.colNumber);
        col.varIndex = get16(c + f.colVarIndex);
        col.flags = c[f.colFlags];
        col.extFlags = f.colExtFlags >= 0 ? c[f.colExtFlags] : 0;
        col.fixedOffset = get16(c + f.colFixedOffset);
        col.length = get16(c + f.colLength);
        col.precision = c[11]; // what these bytes mean depends on the type: see columns()
        col.scale = c[12];
        const int length = f.nameLengthSize == 1 ? p[names] : get16(p + names);
        names += f.nameLengthSize;
        if (names + length > size)
            damaged(QStringLiteral("its column names are cut off."));
        col.name = jet3_ ? codePageText(p + names, size_t(length), context_.codePage)
                         : jet4Text(p + names, size_t(length));
        names += length;
        columns_.push_back(std::move(col));
    }
    std::stable_sort(
        columns_.begin(), columns_.end(),
        [](const ColumnDefinition &a, const ColumnDefinition &b) { return a.number < b.number; });
    // The primary key: the real index behind the logical index of type 1.
    const qsizetype realBlocks = names;
    const qsizetype logicalEntries = realBlocks + real * f.realIndexBlock;
    if (logicalEntries + logical * f.logicalIndexEntry > size)
        return; // no index information; no key columns
    for (qint64 i = 0; i < logical; ++i) {
        const unsigned char *entry = p + logicalEntries + i * f.logicalIndexEntry;
        const qint64 backing = qint32(get32(entry + f.logicalRealIndex));
        if (entry[f.logicalType] != primaryKeyIndex || backing < 0 || backing >= real)
            continue;
        const unsigned char *block = p + realBlocks + backing * f.realIndexBlock + f.realIndexColumns;
        for (int k = 0; k < 10; ++k) {
            const int number = get16(block + 3 * k);
            for (ColumnDefinition &c : columns_)
                c.key = c.key || (number != 0xffff && c.number == number);
        }
    }
}

// A calculated column's type byte tells how its values are stored, not what they are: that is the
// column's "ResultType" property. Without a readable one, the type byte is all there is.
void JetTable::applyResultTypes(const TableProperties &properties) {
    for (ColumnDefinition &c : columns_) {
        if (!c.calculated())
            continue;
        if (const std::optional<ColumnType> result = properties.resultType(c.name))
            c.valueType = *result;
    }
}

// The pages of the table's usage map: a bitmap inside the map row (type 0), or pointers to bitmap
// pages (type 1).
void JetTable::readDataPages(quint32 usageMap) {
    const QByteArray p = page(usageMap >> 8);
    int start = 0, end = 0;
    if (!locateRow(p, int(usageMap & 0xff), start, end) || end - start < 5)
        damaged(QStringLiteral("its page map is damaged."));
    const unsigned char *map = bytes(p) + start;
    const int size = end - start;
    auto addBits = [&](const unsigned char *bits, int count, quint64 first) {
        for (int i = 0; i < count * 8; ++i) {
            if (bits[i / 8] & (1 << (i % 8))) {
                if (first + quint64(i) >= file_.pageCount()) // past the end: reading it will say so, once
                    return dataPages_.push_back(quint32(std::min<quint64>(first + quint64(i), 0xffffffffu)));
                dataPages_.push_back(quint32(first + quint64(i)));
            }
        }
    };
    if (map[0] == 0) {
        addBits(map + 5, size - 5, get32(map + 1));
    } else if (map[0] == 1) {
        const int perPage = (format_->pageSize - 4) * 8;
        for (int i = 0; 1 + 4 * i + 4 <= size; ++i) {
            const quint32 number = get32(map + 1 + 4 * i);
            if (number == 0)
                continue;
            const QByteArray bitmap = page(number);
            if (quint8(bitmap[0]) != usageMapPageType)
                damaged(QStringLiteral("its page map points to page %1, which is no map.").arg(number));
            addBits(bytes(bitmap) + 4, format_->pageSize - 4, quint64(i) * quint64(perPage));
        }
    } else {
        damaged(QStringLiteral("its page map is of an unknown kind."));
    }
}

bool JetTable::ownsDataPage(const QByteArray &p) const {
    return quint8(p[0]) == dataPageType && get32(bytes(p) + 4) == definitionPage_;
}

// Rows are stored from the end of the page down: a row ends where the one before it starts.
bool JetTable::locateRow(const QByteArray &p, int row, int &start, int &end) const {
    const unsigned char *b = bytes(p);
    const int count = get16(b + format_->rowCountOffset);
    const int table = format_->rowCountOffset + 2;
    if (row < 0 || row >= count || table + 2 * count > format_->pageSize)
        return false;
    start = get16(b + table + 2 * row) & rowOffsetMask;
    end = row == 0 ? format_->pageSize : get16(b + table + 2 * (row - 1)) & rowOffsetMask;
    return start >= table + 2 * count && start <= end && end <= format_->pageSize;
}

bool JetTable::next() {
    while (!end_) {
        if (nextRow_ >= pageRows_) {
            if (nextPage_ >= dataPages_.size()) {
                end_ = true;
                break;
            }
            page_ = page(dataPages_[nextPage_++]);
            pageRows_ = ownsDataPage(page_) ? get16(bytes(page_) + format_->rowCountOffset) : 0;
            nextRow_ = 0;
            continue;
        }
        const int row = nextRow_++;
        const quint16 slot = get16(bytes(page_) + format_->rowCountOffset + 2 + 2 * row);
        if (slot & deletedRow)
            continue;
        if (loadRow(page_, row))
            return true;
    }
    return false;
}

// Follows a moved row to its new place; false for a row that is not there.
bool JetTable::loadRow(QByteArray p, int row) {
    for (int hop = 0; hop <= maximumOverflowHops; ++hop) {
        int start = 0, end = 0;
        if (!locateRow(p, row, start, end))
            damaged(QStringLiteral("a row lies outside its page."));
        const quint16 slot = get16(bytes(p) + format_->rowCountOffset + 2 + 2 * row);
        if (!(slot & overflowRow)) {
            rowPage_ = p;
            rowStart_ = start;
            rowSize_ = end - start;
            crackRow();
            return true;
        }
        if (end - start < 4)
            damaged(QStringLiteral("a moved row's pointer is cut off."));
        const unsigned char *pointer = bytes(p) + start;
        row = pointer[0];
        p = page(get24(pointer + 1));
        if (!ownsDataPage(p))
            damaged(QStringLiteral("a moved row points to a page of another table."));
    }
    damaged(QStringLiteral("a moved row does not end."));
}

// The row header: the column count at the start, the null mask at the end and, before it, the table
// of variable offsets (Jet 3: one byte each, with a jump table for rows past 255 bytes).
void JetTable::crackRow() {
    const unsigned char *r = bytes(rowPage_) + rowStart_;
    const int size = rowSize_;
    const int countSize = format_->rowColumnCountSize;
    if (size < countSize + 1)
        damaged(QStringLiteral("a row is cut off."));
    rowColumns_ = countSize == 1 ? r[0] : get16(r);
    const int maskSize = (rowColumns_ + 7) / 8;
    nullMask_ = size - maskSize;
    varOffsets_.clear();
    fixedEnd_ = nullMask_;
    if (nullMask_ < countSize)
        damaged(QStringLiteral("a row's null mask is cut off."));
    if (variableColumns_ == 0)
        return;
    if (!jet3_) {
        if (nullMask_ - 2 < countSize)
            damaged(QStringLiteral("a row's variable part is cut off."));
        const int count = get16(r + nullMask_ - 2);
        const int table = nullMask_ - 4 - 2 * count;
        if (table < countSize)
            damaged(QStringLiteral("a row's variable offsets are cut off."));
        for (int i = 0; i <= count; ++i)
            varOffsets_.push_back(get16(r + nullMask_ - 4 - 2 * i));
        fixedEnd_ = table;
    } else {
        const int last = size - 1;
        const int count = r[last - maskSize];
        int jumps = (size - 1) / 256;
        const int table = last - maskSize - jumps - 1;
        if (table - count < countSize)
            damaged(QStringLiteral("a row's variable offsets are cut off."));
        if ((table - count) / 256 < jumps)
            --jumps; // the last jump entry is a filler
        int used = 0;
        for (int i = 0; i <= count; ++i) {
            while (used < jumps && i == r[last - maskSize - used - 1])
                ++used;
            varOffsets_.push_back(r[table - i] + 256 * used);
        }
        fixedEnd_ = table - count;
    }
    for (int &o : varOffsets_)
        o = std::min(o, fixedEnd_);
    if (!varOffsets_.empty())
        fixedEnd_ = std::min(fixedEnd_, varOffsets_.front());
}

QCborValue JetTable::value(int index) const {
    const ColumnDefinition &c = columns_[size_t(index)];
    const unsigned char *r = bytes(rowPage_) + rowStart_;
    const bool present = c.number < rowColumns_ && (r[nullMask_ + c.number / 8] & (1 << (c.number % 8))) != 0;
    if (c.valueType == ColumnType::Boolean && !c.calculated())
        return present; // the bit is the value
    if (!present)
        return QCborValue(nullptr);
    int start = 0, size = 0;
    if (c.inFixedPart()) {
        start = format_->rowColumnCountSize + c.fixedOffset;
        size = std::max(fixedTypeSize(c.type), c.length);
        if (start + size > fixedEnd_)
            return QCborValue(nullptr); // a column added after the row was written
    } else {
        if (c.varIndex + 1 >= int(varOffsets_.size()))
            return QCborValue(nullptr);
        start = varOffsets_[size_t(c.varIndex)];
        size = varOffsets_[size_t(c.varIndex) + 1] - start;
        if (size < 0)
            damaged(QStringLiteral("a value has a negative length."));
    }
    return decodeValue(ColumnShape{c.valueType, c.scale, c.calculated()}, r + start, size_t(size), context_);
}

// The bytes of a memo or OLE value from its 12-byte header: inside the row, in one long-value row, or
// in a chain of them.
QByteArray JetTable::longValue(const unsigned char *field, size_t size) const {
    if (size < 12)
        return {};
    const quint32 header = get32(field);
    const qint64 length = header & 0x3fffffff;
    if (header & 0x80000000u)
        return QByteArray(reinterpret_cast<const char *>(field + 12),
                          qsizetype(qMin<qint64>(length, qint64(size) - 12)));
    if (length > maximumLongValue)
        damaged(QStringLiteral("a long value is larger than %1 bytes.").arg(maximumLongValue));
    quint32 pointer = get32(field + 4);
    const bool single = header & 0x40000000u;
    QByteArray out;
    for (int link = 0; pointer != 0 && out.size() < length; ++link) {
        if (link == maximumChainLinks)
            damaged(QStringLiteral("a long value chain does not end."));
        const QByteArray p = page(pointer >> 8);
        int start = 0, end = 0;
        if (!locateRow(p, int(pointer & 0xff), start, end))
            damaged(QStringLiteral("a long value points to a missing row."));
        const char *row = p.constData() + start;
        if (single)
            return QByteArray(row, qsizetype(qMin<qint64>(length, end - start)));
        if (end - start < 4)
            damaged(QStringLiteral("a long value chain is broken."));
        pointer = get32(bytes(p) + start);
        out.append(row + 4, end - start - 4);
    }
    out.truncate(qsizetype(qMin<qint64>(length, out.size())));
    return out;
}

int JetTable::columnIndex(const char *name) const {
    const QString wanted = QString::fromUtf8(name);
    for (int i = 0; i < columnCount(); ++i) {
        if (columns_[size_t(i)].name.compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::vector<ColumnDescription> JetTable::columns() const {
    std::vector<ColumnDescription> out;
    for (const ColumnDefinition &c : columns_) {
        const bool text = c.valueType == ColumnType::Text;
        const bool numeric = c.valueType == ColumnType::Numeric;
        int size = c.length;
        if (text && c.calculated())
            size = std::max(0, size - 23);
        if (text && !jet3_)
            size /= 2;
        ColumnDescription d;
        d.name = c.name;
        d.type = c.valueType;
        d.size = size;
        d.precision = numeric ? c.precision : 0;
        d.scale = numeric ? c.scale : 0;
        d.nullable = (c.valueType != ColumnType::Boolean || c.calculated()) && (c.flags & 0x02) != 0;
        d.autoNumber = (c.flags & 0x44) != 0;
        d.key = c.key;
        d.fixedLength = c.inFixedPart();
        d.calculated = c.calculated();
        out.push_back(d);
    }
    return out;
}

void JetTable::rewind() {
    nextPage_ = 0;
    pageRows_ = 0;
    nextRow_ = 0;
    end_ = false;
}

} // namespace dbhost
