// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The property blocks of a table: the LvProp value of its catalog row holds the table's own
// properties and those of its columns. The layout, all integers little-endian: a 4-byte marker, then
// blocks to the end, each an int32 length (counted from the block's start), a uint16 kind (0x80 the
// list of property names, 0x00 the table's values, 0x01 one column's values) and its content.

#include "helper_protocol/Messages.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

namespace dbhost {

// The helper speaks the protocol: its messages and keys are the helper's own words.
using namespace helper_protocol;

struct Property {
    QString name;
    int type = 0; // a column type code
    QByteArray data;
};

// The properties of the table itself (no name) or of one column (its name).
struct PropertySet {
    QString name;
    std::vector<Property> properties;

    const Property *find(const QString &property) const;
};

struct TableProperties {
    std::vector<PropertySet> sets;

    const PropertySet *column(const QString &name) const;
    // The type of a calculated column's values, from its "ResultType" property; nothing when the
    // property is missing or names no type a value can have.
    std::optional<ColumnType> resultType(const QString &column) const;
};

// Reads the blocks with every length and index checked against the bytes at hand. Anything damaged
// (an unknown marker, a block or value running past its end, a name index outside the name list)
// gives no properties at all: the table then reads as if it had none.
TableProperties parseProperties(const unsigned char *data, size_t size, bool jet3, int codePage);

} // namespace dbhost
