// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_client/ado/Types.h"

namespace ado {

using helper_protocol::ColumnType;

namespace {

constexpr quint8 notNumeric = 255;

} // namespace

int adoType(const ColumnInfo &column) {
    switch (column.type) {
    case ColumnType::Boolean:
        return DataType::Boolean;
    case ColumnType::Byte:
        return DataType::UnsignedTinyInt;
    case ColumnType::Integer:
        return DataType::SmallInt;
    case ColumnType::Long:
    case ColumnType::Complex:
        return DataType::Integer;
    case ColumnType::Currency:
        return DataType::Currency;
    case ColumnType::Single:
        return DataType::Single;
    case ColumnType::Double:
        return DataType::Double;
    case ColumnType::DateTime:
        return DataType::Date;
    case ColumnType::Binary:
        return column.fixedLength ? DataType::Binary : DataType::VarBinary;
    case ColumnType::Text:
        return column.fixedLength ? DataType::WChar : DataType::VarWChar;
    case ColumnType::Ole:
        return DataType::LongVarBinary;
    case ColumnType::Memo:
        return DataType::LongVarWChar;
    case ColumnType::Guid:
        return DataType::GUID;
    case ColumnType::Numeric:
        return DataType::Numeric;
    case ColumnType::BigInt:
        return DataType::BigInt;
    case ColumnType::DateTimeExtended:
        return DataType::DBTimeStamp;
    }
    return DataType::VarBinary;
}

qint32 fixedSize(ColumnType type) {
    switch (type) {
    case ColumnType::Boolean:
    case ColumnType::Integer:
        return 2;
    case ColumnType::Byte:
        return 1;
    case ColumnType::Long:
    case ColumnType::Single:
    case ColumnType::Complex:
        return 4;
    case ColumnType::Currency:
    case ColumnType::Double:
    case ColumnType::DateTime:
    case ColumnType::BigInt:
        return 8;
    case ColumnType::Guid:
    case ColumnType::DateTimeExtended:
        return 16;
    case ColumnType::Numeric:
        return 19;
    default:
        return 0;
    }
}

bool isLong(ColumnType type) {
    return type == ColumnType::Ole || type == ColumnType::Memo;
}

bool hasLength(ColumnType type) {
    return type == ColumnType::Binary || type == ColumnType::Text || isLong(type);
}

qint32 definedSize(const ColumnInfo &column) {
    if (column.type == ColumnType::Text || column.type == ColumnType::Binary)
        return column.size;
    if (column.type == ColumnType::Memo)
        return 536870910; // the most characters a memo holds
    if (column.type == ColumnType::Ole)
        return 1073741823; // the most bytes an OLE value holds
    return fixedSize(column.type);
}

quint8 precisionOf(const ColumnInfo &column) {
    switch (column.type) {
    case ColumnType::Byte:
        return 3;
    case ColumnType::Integer:
        return 5;
    case ColumnType::Long:
    case ColumnType::Complex:
        return 10;
    case ColumnType::Currency:
    case ColumnType::BigInt:
        return 19;
    case ColumnType::Single:
        return 7;
    case ColumnType::Double:
        return 15;
    case ColumnType::Numeric:
        // A calculated Decimal keeps no precision of its own.
        return quint8(column.calculated ? 28 : column.precision);
    case ColumnType::DateTimeExtended:
        return 27; // the characters of "yyyy-mm-dd hh:mm:ss.fffffff"
    default:
        return notNumeric;
    }
}

// The digits right of the decimal point: only exact decimals and timestamps have a scale (OLE DB
// reports ~0 for every other type, integers and Currency included).
quint8 numericScaleOf(const ColumnInfo &column) {
    switch (column.type) {
    case ColumnType::Numeric:
        return quint8(column.scale);
    case ColumnType::DateTimeExtended:
        return 7;
    default:
        return notNumeric;
    }
}

qint32 attributesOf(const ColumnInfo &column) {
    qint32 a = hasLength(column.type) && !column.fixedLength ? 0 : FieldAttribute::Fixed;
    if (column.nullable)
        a |= FieldAttribute::IsNullable | FieldAttribute::MayBeNull;
    if (isLong(column.type))
        a |= FieldAttribute::Long;
    if (column.key)
        a |= FieldAttribute::KeyColumn;
    return a;
}

Variant variantOf(ColumnType type, const QCborValue &v) {
    if (v.isNull() || v.isUndefined())
        return Variant::null();
    switch (type) {
    case ColumnType::Boolean:
        return Variant::boolean(v.toBool());
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Complex:
    case ColumnType::BigInt:
        return Variant::number(v.toInteger());
    case ColumnType::Currency:
        return Variant::of(Variant::Kind::Currency, v.toInteger());
    case ColumnType::Single:
        return Variant::of(Variant::Kind::Single, 0, v.toDouble());
    case ColumnType::Double:
        return Variant::of(Variant::Kind::Double, 0, v.toDouble());
    case ColumnType::DateTime:
        return Variant::of(Variant::Kind::Date, 0, v.toDouble());
    case ColumnType::Text:
    case ColumnType::Memo:
        return Variant::ofText(v.toString());
    case ColumnType::Numeric: {
        Variant d = Variant::of(Variant::Kind::Decimal);
        d.text = v.toString();
        return d;
    }
    case ColumnType::DateTimeExtended: {
        Variant t = Variant::of(Variant::Kind::Timestamp);
        t.text = v.toString();
        return t;
    }
    default: {
        Variant b = Variant::of(type == ColumnType::Guid ? Variant::Kind::Guid : Variant::Kind::Bytes);
        b.bytes = v.toByteArray();
        return b;
    }
    }
}

} // namespace ado
