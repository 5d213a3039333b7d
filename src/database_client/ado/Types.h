// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The type tables of the program's ADO: how each column type of an Access table appears as an ADO
// field (type, sizes, precision, scale, attributes) and how its values are handed out.

#include "database_client/ado/Variant.h"
#include "helper_protocol/Messages.h"

#include <QCborValue>

namespace ado {

// DataTypeEnum values this ADO uses.
namespace DataType {
constexpr int SmallInt = 2;
constexpr int Integer = 3;
constexpr int Single = 4;
constexpr int Double = 5;
constexpr int Currency = 6;
constexpr int Date = 7;
constexpr int BSTR = 8;
constexpr int Boolean = 11;
constexpr int BigInt = 20;
constexpr int UnsignedTinyInt = 17;
constexpr int GUID = 72;
constexpr int Binary = 128;
constexpr int WChar = 130;
constexpr int Numeric = 131;
constexpr int DBTimeStamp = 135;
constexpr int VarWChar = 202;
constexpr int LongVarWChar = 203;
constexpr int VarBinary = 204;
constexpr int LongVarBinary = 205;
} // namespace DataType

namespace PropertyAttribute {
constexpr qint32 Required = 0x1;
constexpr qint32 Optional = 0x2;
constexpr qint32 Read = 0x200;
constexpr qint32 Write = 0x400;
} // namespace PropertyAttribute

namespace FieldAttribute {
constexpr qint32 Fixed = 0x10;
constexpr qint32 IsNullable = 0x20;
constexpr qint32 MayBeNull = 0x40;
constexpr qint32 Long = 0x80;
constexpr qint32 KeyColumn = 0x8000;
} // namespace FieldAttribute

constexpr int adConnectUnspecified = -1;
constexpr int adOptionUnspecified = -1;
constexpr int adParamInput = 1;

using ColumnInfo = helper_protocol::ColumnDescription;

// The ADO type of a column: by its type in the table definition, fixed-length Text and Binary apart
// from variable ones.
int adoType(const ColumnInfo &column);
// Bytes of a value of a fixed-size type as ADO counts them (a DBTIMESTAMP for Date/Time Extended, a
// DECIMAL for Numeric); 0 for the others.
qint32 fixedSize(helper_protocol::ColumnType type);
// Memo and OLE: long values.
bool isLong(helper_protocol::ColumnType type);
// Text and binary values have a length of their own; fixed-length ones are padded to it.
bool hasLength(helper_protocol::ColumnType type);

qint32 definedSize(const ColumnInfo &column);
quint8 precisionOf(const ColumnInfo &column);
quint8 numericScaleOf(const ColumnInfo &column);
qint32 attributesOf(const ColumnInfo &column);

// A value as the column's type hands it out.
Variant variantOf(helper_protocol::ColumnType type, const QCborValue &value);

} // namespace ado
