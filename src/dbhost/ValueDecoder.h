// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Column values from their stored bytes, by column type, for Jet 3, Jet 4 and ACE. Pure functions on
// byte buffers; the table reader finds the bytes (fixed or variable part of the row, long-value pages)
// and hands them here.

#include "helper_protocol/Messages.h"

#include <QByteArray>
#include <QCborValue>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace dbhost {

// The helper speaks the protocol: its messages and keys are the helper's own words.
using namespace helper_protocol;

// Bytes a value of the type takes in the fixed part of a row; 0 for types without a fixed size.
int fixedTypeSize(ColumnType type);

inline quint16 get16(const unsigned char *p) {
    return quint16(p[0] | p[1] << 8);
}
inline quint32 get32(const unsigned char *p) {
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}
inline quint64 get64(const unsigned char *p) {
    return quint64(get32(p)) | quint64(get32(p + 4)) << 32;
}

// A calculated value (ACE 2010 and later) carries 16 header bytes, its length at offset 16 and
// itself from offset 20; shorter data is taken as it is.
QByteArray unwrapCalculated(const unsigned char *data, size_t size);

// Text of a Jet 4 or ACE text value: UTF-16LE, or the compressed form (FF FE, then runs of one-byte
// characters and of UTF-16 units switched by a zero byte).
QString jet4Text(const unsigned char *data, size_t size);

// Text in a single-byte code page (Jet 3), by its Windows code page number.
QString codePageText(const unsigned char *data, size_t size, int codePage);

// A Numeric value's 17 bytes (sign, then four little-endian 32-bit words, the most significant first)
// as decimal text with the given scale.
QString numericText(const unsigned char *data, int scale);

// A calculated Decimal's own encoding: total length (16 bits), scale, sign, then the magnitude with
// its leading 4-byte group and each 8-byte group stored little-endian.
QString calculatedNumericText(const unsigned char *data, size_t size);

// A Date/Time Extended value's 42 ASCII bytes (19 digits of days since 0001-01-01, ':', 12 digits of
// seconds of the day and 7 of 100 ns units, ":7", NUL) as "YYYY-MM-DD hh:mm:ss.fffffff"; anything
// else as the raw characters.
QString extendedDateText(const unsigned char *data, size_t size);

// What decoding a value needs beyond its bytes.
struct DecodeContext {
    bool jet3 = false;
    int codePage = 1252;
    // The bytes of a memo or OLE value, from its 12-byte long-value header.
    std::function<QByteArray(const unsigned char *, size_t)> longValue;
};

struct ColumnShape {
    ColumnType type = ColumnType::Text;
    int scale = 0;
    bool calculated = false;
};

// A non-NULL value of a column other than an ordinary Boolean. Integers (Byte, Integer, Long,
// Currency in 1/10000, Large Number, complex ids) as integers; Single, Double and Date (days since
// 1899-12-30) as doubles; Text and Memo as text; Numeric as decimal text; Date/Time Extended as
// "YYYY-MM-DD hh:mm:ss.fffffff"; a calculated Boolean as bool; Binary, OLE, GUID and unknown types as
// bytes. Values too short for their type are NULL.
QCborValue decodeValue(const ColumnShape &column, const unsigned char *data, size_t size,
                       const DecodeContext &context);

} // namespace dbhost
