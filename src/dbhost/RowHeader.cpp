// SPDX-License-Identifier: GPL-3.0-or-later
#include "dbhost/RowHeader.h"

#include "dbhost/ValueDecoder.h"

#include <algorithm>

namespace dbhost {

// The column count at the start, the null mask at the end and, before it, the table of variable
// offsets.
void RowHeader::read(const TablePages &pages, const unsigned char *row, int size, int variableColumns) {
    const int countSize = pages.layout().row.columnCountSize;
    if (size < countSize + 1)
        pages.damaged(QStringLiteral("a row is cut off."));
    columns_ = countSize == 1 ? row[0] : get16(row);
    nullMask_ = size - (columns_ + 7) / 8;
    variableOffsets_.clear();
    fixedEnd_ = nullMask_;
    if (nullMask_ < countSize)
        pages.damaged(QStringLiteral("a row's null mask is cut off."));
    if (variableColumns == 0)
        return;
    if (pages.isJet3())
        readJet3Offsets(pages, row, size, countSize);
    else
        readJet4Offsets(pages, row, countSize);
    for (int &offset : variableOffsets_)
        offset = std::min(offset, fixedEnd_);
    if (!variableOffsets_.empty())
        fixedEnd_ = std::min(fixedEnd_, variableOffsets_.front());
}

// Jet 4: the count of variable columns just before the null mask, then their offsets backwards.
void RowHeader::readJet4Offsets(const TablePages &pages, const unsigned char *row, int countSize) {
    const int countAt = nullMask_ - Jet4Row::variableCountSize;
    if (countAt < countSize)
        pages.damaged(QStringLiteral("a row's variable part is cut off."));
    const int count = get16(row + countAt);
    const int firstOffset = countAt - Jet4Row::variableOffsetSize;
    const int table = firstOffset - Jet4Row::variableOffsetSize * count;
    if (table < countSize)
        pages.damaged(QStringLiteral("a row's variable offsets are cut off."));
    for (int i = 0; i <= count; ++i)
        variableOffsets_.push_back(get16(row + firstOffset - Jet4Row::variableOffsetSize * i));
    fixedEnd_ = table;
}

// Jet 3: the count in a byte just before the null mask, then a jump table (where each further 256
// bytes of the row begin, counted in variable columns), then the offsets' low bytes backwards.
void RowHeader::readJet3Offsets(const TablePages &pages, const unsigned char *row, int size, int countSize) {
    const int countAt = nullMask_ - Jet3Row::variableCountSize;
    const int count = row[countAt];
    int jumps = (size - 1) / Jet3Row::jumpSpan;
    const int table = countAt - jumps - 1;
    if (table - count < countSize)
        pages.damaged(QStringLiteral("a row's variable offsets are cut off."));
    if ((table - count) / Jet3Row::jumpSpan < jumps)
        --jumps; // the last jump entry is a filler
    int passed = 0;
    for (int i = 0; i <= count; ++i) {
        while (passed < jumps && i == row[countAt - 1 - passed])
            ++passed;
        variableOffsets_.push_back(row[table - i] + Jet3Row::jumpSpan * passed);
    }
    fixedEnd_ = table - count;
}

} // namespace dbhost
