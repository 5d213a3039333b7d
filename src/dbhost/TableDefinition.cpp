// SPDX-License-Identifier: GPL-3.0-or-later
#include "dbhost/TableDefinition.h"

#include "dbhost/ValueDecoder.h"

#include <algorithm>

namespace dbhost {

namespace {

constexpr int maximumDefinitionPages = 64;
constexpr int maximumColumns = 255;
constexpr int maximumIndexes = 1000;

struct IndexCounts {
    qint64 logical = 0;
    qint64 real = 0;
};

// The definition's pages joined: the first whole, each further one without its header.
QByteArray joinedPages(const TablePages &pages, quint32 first) {
    QByteArray d;
    quint32 next = first;
    for (int k = 0; next != 0; ++k) {
        if (k == maximumDefinitionPages)
            pages.damaged(QStringLiteral("its definition does not end."));
        const QByteArray p = pages.page(next);
        if (quint8(p[PageType::offset]) != PageType::tableDefinition)
            pages.damaged(QStringLiteral("page %1 is not a table definition.").arg(next));
        d.append(k == 0 ? p : p.mid(TableDefinitionPage::headerSize));
        next = get32(bytes(p) + TableDefinitionPage::nextPage);
    }
    return d;
}

ColumnDefinition columnEntry(const ColumnLayout &at, const unsigned char *entry) {
    ColumnDefinition c;
    c.type = ColumnType(entry[at.type]);
    c.valueType = c.type;
    c.number = get16(entry + at.number);
    c.varIndex = get16(entry + at.variableIndex);
    c.flags = entry[at.flags];
    c.extFlags = at.extraFlags >= 0 ? entry[at.extraFlags] : 0;
    c.fixedOffset = get16(entry + at.fixedOffset);
    c.length = get16(entry + at.length);
    c.precision = entry[at.precision]; // what these bytes mean depends on the type: see JetTable::columns()
    c.scale = entry[at.scale];
    return c;
}

// The names follow the column entries in their order, each after its length. Returns where the
// names end.
qsizetype readColumnNames(const TablePages &pages, const QByteArray &d, qsizetype at,
                          std::vector<ColumnDefinition> &columns) {
    const int lengthSize = pages.layout().column.nameLengthSize;
    const unsigned char *p = bytes(d);
    for (ColumnDefinition &c : columns) {
        if (at + lengthSize > d.size())
            pages.damaged(QStringLiteral("its column names are cut off."));
        const int length = lengthSize == 1 ? p[at] : get16(p + at);
        at += lengthSize;
        if (at + length > d.size())
            pages.damaged(QStringLiteral("its column names are cut off."));
        c.name = pages.isJet3() ? codePageText(p + at, size_t(length), pages.codePage())
                                : jet4Text(p + at, size_t(length));
        at += length;
    }
    return at;
}

// The primary key: the columns of the real index behind the logical index of the primary-key kind.
// A definition that ends before its index entries has no key columns.
void markKeyColumns(const JetLayout &layout, const QByteArray &d, qsizetype realBlocks, IndexCounts count,
                    std::vector<ColumnDefinition> &columns) {
    const qsizetype logicalEntries = realBlocks + count.real * layout.realIndex.blockSize;
    if (logicalEntries + count.logical * layout.logicalIndex.entrySize > d.size())
        return;
    const unsigned char *p = bytes(d);
    for (qint64 i = 0; i < count.logical; ++i) {
        const unsigned char *entry = p + logicalEntries + i * layout.logicalIndex.entrySize;
        const qint64 backing = qint32(get32(entry + layout.logicalIndex.realIndex));
        if (entry[layout.logicalIndex.kind] != LogicalIndex::primaryKey || backing < 0 ||
            backing >= count.real)
            continue;
        const unsigned char *indexColumns =
            p + realBlocks + backing * layout.realIndex.blockSize + layout.realIndex.columns;
        for (int k = 0; k < RealIndex::columnSlots; ++k) {
            const int number = get16(indexColumns + RealIndex::columnSlotSize * k);
            for (ColumnDefinition &c : columns)
                c.key = c.key || (number != RealIndex::noColumn && c.number == number);
        }
    }
}

} // namespace

TableDefinition readTableDefinition(const TablePages &pages, quint32 firstPage) {
    const QByteArray d = joinedPages(pages, firstPage);
    const JetLayout &layout = pages.layout();
    const TableDefinitionLayout &at = layout.tableDefinition;
    const unsigned char *p = bytes(d);
    TableDefinition definition;
    definition.variableColumns = get16(p + at.variableColumnCount);
    definition.usageMap = RowPointer::from(get32(p + at.usageMap));
    const int columnCount = get16(p + at.columnCount);
    const IndexCounts indexes{qint32(get32(p + at.logicalIndexCount)), qint32(get32(p + at.realIndexCount))};
    if (columnCount == 0 || columnCount > maximumColumns || indexes.logical < 0 || indexes.real < 0 ||
        indexes.logical > maximumIndexes || indexes.real > maximumIndexes)
        pages.damaged(QStringLiteral("its definition is damaged."));
    const qsizetype entries = at.realIndexCounts + indexes.real * at.realIndexCountSize;
    const qsizetype names = entries + qsizetype(columnCount) * layout.column.entrySize;
    if (names > d.size())
        pages.damaged(QStringLiteral("its column definitions are cut off."));
    for (int i = 0; i < columnCount; ++i)
        definition.columns.push_back(columnEntry(layout.column, p + entries + i * layout.column.entrySize));
    const qsizetype realBlocks = readColumnNames(pages, d, names, definition.columns);
    std::stable_sort(
        definition.columns.begin(), definition.columns.end(),
        [](const ColumnDefinition &a, const ColumnDefinition &b) { return a.number < b.number; });
    markKeyColumns(layout, d, realBlocks, indexes, definition.columns);
    return definition;
}

} // namespace dbhost
