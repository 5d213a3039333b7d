// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dbhost/JetFile.h"
#include "dbhost/Properties.h"
#include "dbhost/RowHeader.h"
#include "dbhost/TableDefinition.h"
#include "dbhost/TablePages.h"
#include "dbhost/ValueDecoder.h"

#include <QCborArray>
#include <QCborValue>

#include <vector>

namespace dbhost {

// One table read straight from its pages: the definition (chained definition pages), the data pages
// of its usage map, the rows of each page in slot order (a row moved to another page is read where
// its pointer stands, deleted rows are skipped), each value decoded by its column's type from the
// fixed or variable part of the row as the column definition places it; a calculated column's values
// by the result type its properties give. Everything found damaged on the way throws HostError.
class JetTable {
public:
    // The file must outlive the table.
    JetTable(const JetFile &file, const QString &name, quint32 definitionPage,
             const TableProperties &properties = {});
    JetTable(const JetTable &) = delete;
    JetTable &operator=(const JetTable &) = delete;

    int columnCount() const { return int(columns_.size()); }
    int columnIndex(const char *name) const; // -1 when there is none
    const ColumnDefinition &column(int index) const { return columns_[size_t(index)]; }
    // Name, type, size, precision, scale, nullable, autoNumber, key, fixedLength and calculated of each.
    std::vector<ColumnDescription> columns() const;

    // Moves to the next row; false once the table is exhausted, and from then on.
    bool next();
    QCborValue value(int column) const;
    void rewind();

private:
    void applyResultTypes(const TableProperties &properties);
    bool loadRow(QByteArray p, int row);

    TablePages pages_;
    quint32 definitionPage_;
    std::vector<ColumnDefinition> columns_; // by column number
    int variableColumns_ = 0;
    std::vector<quint32> dataPages_;
    DecodeContext context_;

    // The cursor.
    size_t nextPage_ = 0;
    QByteArray page_;
    int pageRows_ = 0;
    int nextRow_ = 0;
    bool end_ = false;
    // The current row: its page and place, and what its header says.
    QByteArray rowPage_;
    int rowStart_ = 0;
    RowHeader row_;
};

} // namespace dbhost
