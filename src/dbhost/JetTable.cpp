// SPDX-License-Identifier: GPL-3.0-or-later
#include "dbhost/JetTable.h"

#include <algorithm>

namespace dbhost {

namespace {

constexpr int maximumOverflowHops = 8;
constexpr int jet4TextBytesPerCharacter = 2; // UTF-16; Jet 3 text counts characters already

} // namespace

JetTable::JetTable(const JetFile &file, const QString &name, quint32 definitionPage,
                   const TableProperties &properties)
    : pages_(file, name)
    , definitionPage_(definitionPage) {
    context_.jet3 = file.isJet3();
    context_.codePage = file.codePage();
    context_.longValue = [this](const unsigned char *header, size_t n) {
        return pages_.longValue(header, n);
    };
    TableDefinition definition = readTableDefinition(pages_, definitionPage);
    columns_ = std::move(definition.columns);
    variableColumns_ = definition.variableColumns;
    applyResultTypes(properties);
    dataPages_ = pages_.mappedPages(definition.usageMap);
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

bool JetTable::next() {
    while (!end_) {
        if (nextRow_ >= pageRows_) {
            if (nextPage_ >= dataPages_.size()) {
                end_ = true;
                break;
            }
            page_ = pages_.page(dataPages_[nextPage_++]);
            pageRows_ = pages_.isDataPageOf(page_, definitionPage_) ? pages_.rowCount(page_) : 0;
            nextRow_ = 0;
            continue;
        }
        const int row = nextRow_++;
        const std::optional<quint16> slot = pages_.slot(page_, row);
        if (!slot)
            pages_.damaged(QStringLiteral("a row lies outside its page."));
        if (*slot & DataPage::deletedRow)
            continue;
        if (loadRow(page_, row))
            return true;
    }
    return false;
}

// Follows a moved row to its new place; false for a row that is not there.
bool JetTable::loadRow(QByteArray p, int row) {
    for (int hop = 0; hop <= maximumOverflowHops; ++hop) {
        const std::optional<RowBounds> bounds = pages_.locateRow(p, row);
        if (!bounds)
            pages_.damaged(QStringLiteral("a row lies outside its page."));
        if (!(*pages_.slot(p, row) & DataPage::overflowRow)) {
            rowPage_ = p;
            rowStart_ = bounds->start;
            row_.read(pages_, bytes(rowPage_) + rowStart_, bounds->size(), variableColumns_);
            return true;
        }
        if (bounds->size() < rowPointerSize)
            pages_.damaged(QStringLiteral("a moved row's pointer is cut off."));
        const RowPointer moved = RowPointer::from(get32(bytes(p) + bounds->start));
        row = moved.row;
        p = pages_.page(moved.page);
        if (!pages_.isDataPageOf(p, definitionPage_))
            pages_.damaged(QStringLiteral("a moved row points to a page of another table."));
    }
    pages_.damaged(QStringLiteral("a moved row does not end."));
}

QCborValue JetTable::value(int index) const {
    const ColumnDefinition &c = columns_[size_t(index)];
    const unsigned char *r = bytes(rowPage_) + rowStart_;
    const bool present = row_.hasValue(r, c.number);
    if (c.valueType == ColumnType::Boolean && !c.calculated())
        return present; // the bit is the value
    if (!present)
        return QCborValue(nullptr);
    int start = 0, size = 0;
    if (c.inFixedPart()) {
        start = pages_.layout().row.columnCountSize + c.fixedOffset;
        size = std::max(fixedTypeSize(c.type), c.length);
        if (start + size > row_.fixedEnd())
            return QCborValue(nullptr); // a column added after the row was written
    } else {
        const std::vector<int> &offsets = row_.variableOffsets();
        if (c.varIndex + 1 >= int(offsets.size()))
            return QCborValue(nullptr);
        start = offsets[size_t(c.varIndex)];
        size = offsets[size_t(c.varIndex) + 1] - start;
        if (size < 0)
            pages_.damaged(QStringLiteral("a value has a negative length."));
    }
    return decodeValue(ColumnShape{c.valueType, c.scale, c.calculated()}, r + start, size_t(size), context_);
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
            size = std::max(0, size - calculatedTextOverhead);
        if (text && !pages_.isJet3())
            size /= jet4TextBytesPerCharacter;
        ColumnDescription d;
        d.name = c.name;
        d.type = c.valueType;
        d.size = size;
        d.precision = numeric ? c.precision : 0;
        d.scale = numeric ? c.scale : 0;
        d.nullable = (c.valueType != ColumnType::Boolean || c.calculated()) && c.mayBeNull();
        d.autoNumber = c.autoNumber();
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
