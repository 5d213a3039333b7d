// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dbhost/JetLayout.h"
#include "dbhost/TablePages.h"

#include "helper_protocol/Messages.h"

#include <QString>

#include <vector>

namespace dbhost {

// The helper speaks the protocol: its messages and keys are the helper's own words.
using namespace helper_protocol;

// One column as the table definition describes it.
struct ColumnDefinition {
    QString name;
    ColumnType type = ColumnType::Text;      // the type byte: how the value is stored
    ColumnType valueType = ColumnType::Text; // what its values are: a calculated column's result type
    int number = 0;                          // its bit in the null mask; counts deleted columns too
    int varIndex = 0;                        // its entry in a row's table of variable offsets
    int fixedOffset = 0;                     // where it starts in a row's fixed part
    int length = 0;                          // bytes (Jet 3 text: characters)
    quint8 flags = 0;                        // ColumnFlag
    quint8 extFlags = 0;                     // ColumnExtraFlag
    int precision = 0;                       // Numeric values only
    int scale = 0;
    bool key = false;

    bool inFixedPart() const { return flags & ColumnFlag::fixedLength; }
    bool calculated() const { return extFlags & ColumnExtraFlag::calculated; }
    bool mayBeNull() const { return flags & ColumnFlag::mayBeNull; }
    bool autoNumber() const { return flags & (ColumnFlag::autoLong | ColumnFlag::autoGuid); }
};

struct TableDefinition {
    std::vector<ColumnDefinition> columns; // by column number
    int variableColumns = 0;
    RowPointer usageMap; // the map of the table's data pages
};

// Reads the definition that starts at `firstPage`: its chain of pages, the columns with their names,
// and which columns the primary key holds.
TableDefinition readTableDefinition(const TablePages &pages, quint32 firstPage);

} // namespace dbhost
