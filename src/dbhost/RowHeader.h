// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dbhost/TablePages.h"

#include <vector>

namespace dbhost {

// What a row says about itself: how many columns it was written with, which of them have a value,
// where its fixed part ends and where each of its variable values starts.
class RowHeader {
public:
    // Reads the header of the row's `size` bytes at `row`, for a table of `variableColumns` variable
    // columns; throws HostError, in the table's name, for a header that does not fit the row.
    void read(const TablePages &pages, const unsigned char *row, int size, int variableColumns);

    int columns() const { return columns_; }
    bool hasValue(const unsigned char *row, int column) const {
        return column < columns_ && (row[nullMask_ + column / 8] & (1 << (column % 8))) != 0;
    }
    int fixedEnd() const { return fixedEnd_; }
    // One entry per variable column the row has, and a last one where the variable part ends.
    const std::vector<int> &variableOffsets() const { return variableOffsets_; }

private:
    void readJet3Offsets(const TablePages &pages, const unsigned char *row, int size, int countSize);
    void readJet4Offsets(const TablePages &pages, const unsigned char *row, int countSize);

    int columns_ = 0;
    int nullMask_ = 0; // where the null mask starts
    int fixedEnd_ = 0;
    std::vector<int> variableOffsets_;
};

} // namespace dbhost
