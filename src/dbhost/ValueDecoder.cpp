// SPDX-License-Identifier: GPL-3.0-or-later
#include "dbhost/ValueDecoder.h"

#include <QDate>

#include <algorithm>
#include <cstring>
#include <iconv.h>
#include <vector>

namespace dbhost {

namespace {

constexpr size_t calculatedLengthOffset = 16;
constexpr size_t calculatedDataOffset = 20;

// Jet 4 text that starts with these bytes is compressed.
constexpr unsigned char compressedTextMarker[2] = {0xff, 0xfe};

// A Numeric value: the sign byte, then the magnitude as four 32-bit words.
namespace Numeric {
constexpr size_t sign = 0;
constexpr unsigned char negative = 0x80;
constexpr size_t magnitude = 1;
constexpr int words = 4;
constexpr int wordSize = 4;
} // namespace Numeric

// A calculated Decimal: its header, then the magnitude in groups.
namespace CalculatedNumeric {
constexpr size_t totalLength = 0;
constexpr size_t scale = 2;
constexpr size_t sign = 3;
constexpr size_t magnitude = 4;
constexpr size_t headerSize = magnitude;
constexpr size_t scaleAndSignSize = 2; // the total length counts them
constexpr size_t largestMagnitude = 16;
constexpr size_t leadingGroup = 4;
constexpr size_t group = 8;
} // namespace CalculatedNumeric

// A Date/Time Extended value: digits of days, a colon, digits of seconds and of 100 ns units.
namespace ExtendedDate {
constexpr size_t size = 42;
constexpr size_t shortest = 40;
constexpr size_t days = 0;
constexpr size_t dayDigits = 19;
constexpr size_t separator = 19;
constexpr size_t timeOfDay = 20;
constexpr size_t timeDigits = 19; // seconds and units together
constexpr size_t seconds = 20;
constexpr size_t secondDigits = 12;
constexpr size_t units = 32;
constexpr size_t unitDigits = 7;
constexpr qint64 lastDay = 3652058; // 9999-12-31
} // namespace ExtendedDate

// Decimal digits of a big-endian unsigned magnitude, with the scale's decimal point and the sign.
QString decimalText(std::vector<quint8> magnitude, int scale, bool negative) {
    QString digits;
    auto nonZero = [&] {
        return std::any_of(magnitude.begin(), magnitude.end(), [](quint8 b) { return b; });
    };
    while (nonZero()) {
        unsigned remainder = 0;
        for (quint8 &b : magnitude) {
            const unsigned current = remainder << 8 | b;
            b = quint8(current / 10);
            remainder = current % 10;
        }
        digits.prepend(QChar(u'0' + int(remainder)));
    }
    scale = qBound(0, scale, 38);
    while (digits.size() <= scale)
        digits.prepend(u'0');
    if (scale > 0)
        digits.insert(digits.size() - scale, u'.');
    return negative ? u'-' + digits : digits;
}

QByteArray bytesAt(const unsigned char *p, size_t n) {
    return QByteArray(reinterpret_cast<const char *>(p), qsizetype(n));
}

bool allDigits(const unsigned char *p, size_t n) {
    return std::all_of(p, p + n, [](unsigned char c) { return c >= '0' && c <= '9'; });
}

qint64 digitsValue(const unsigned char *p, size_t n) {
    qint64 v = 0;
    for (size_t i = 0; i < n; ++i)
        v = v * 10 + (p[i] - '0');
    return v;
}

QCborValue textValue(const unsigned char *p, size_t n, const DecodeContext &context) {
    return context.jet3 ? codePageText(p, n, context.codePage) : jet4Text(p, n);
}

QCborValue longValue(const ColumnShape &column, const unsigned char *p, size_t n,
                     const DecodeContext &context) {
    QByteArray bytes = context.longValue ? context.longValue(p, n) : QByteArray();
    if (column.calculated)
        bytes = unwrapCalculated(reinterpret_cast<const unsigned char *>(bytes.constData()),
                                 size_t(bytes.size()));
    if (column.type == ColumnType::Ole)
        return bytes;
    return textValue(reinterpret_cast<const unsigned char *>(bytes.constData()), size_t(bytes.size()),
                     context);
}

} // namespace

int fixedTypeSize(ColumnType type) {
    switch (type) {
    case ColumnType::Byte:
        return 1;
    case ColumnType::Integer:
        return 2;
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
        return 16;
    case ColumnType::Numeric:
        return 17;
    case ColumnType::DateTimeExtended:
        return int(ExtendedDate::size);
    default:
        return 0;
    }
}

QByteArray unwrapCalculated(const unsigned char *data, size_t size) {
    if (size < calculatedDataOffset)
        return bytesAt(data, size);
    const size_t length = get32(data + calculatedLengthOffset);
    return bytesAt(data + calculatedDataOffset, std::min(length, size - calculatedDataOffset));
}

QString jet4Text(const unsigned char *data, size_t size) {
    if (size < sizeof compressedTextMarker ||
        std::memcmp(data, compressedTextMarker, sizeof compressedTextMarker) != 0) {
        QString out(qsizetype(size / 2), Qt::Uninitialized);
        for (size_t i = 0; i + 1 < size; i += 2)
            out[qsizetype(i / 2)] = QChar(char16_t(data[i] | data[i + 1] << 8));
        return out;
    }
    QString out;
    out.reserve(qsizetype(size));
    bool compressed = true;
    for (size_t i = sizeof compressedTextMarker; i < size;) {
        if (data[i] == 0) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            out.append(QChar(char16_t(data[i++])));
        } else if (i + 1 < size) {
            out.append(QChar(char16_t(data[i] | data[i + 1] << 8)));
            i += 2;
        } else {
            break;
        }
    }
    return out;
}

QString codePageText(const unsigned char *data, size_t size, int codePage) {
    if (size == 0)
        return QStringLiteral("");
    const bool ascii = std::all_of(data, data + size, [](unsigned char c) { return c < 0x80; });
    if (ascii)
        return QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray from = "CP" + QByteArray::number(codePage > 0 ? codePage : 1252);
    const QString raw = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const iconv_t converter = ::iconv_open("UTF-16LE", from.constData());
    if (converter == iconv_t(-1)) // a code page the system does not know
        return raw;
    // One UTF-16 unit per byte: the code pages of Jet 3 map every byte to one character at most.
    QString out(qsizetype(size), Qt::Uninitialized);
    char *in = const_cast<char *>(reinterpret_cast<const char *>(data));
    size_t inLeft = size;
    char *to = reinterpret_cast<char *>(out.data());
    size_t toLeft = size * 2;
    const size_t done = ::iconv(converter, &in, &inLeft, &to, &toLeft);
    ::iconv_close(converter);
    if (done == size_t(-1)) // a byte the code page does not map
        return raw;
    out.truncate(qsizetype((size * 2 - toLeft) / 2));
    return out;
}

QString numericText(const unsigned char *data, int scale) {
    using namespace Numeric;
    std::vector<quint8> digits(size_t(words * wordSize));
    for (int word = 0; word < words; ++word) { // each word little-endian, the most significant first
        const unsigned char *stored = data + magnitude + size_t(wordSize * word);
        for (int b = 0; b < wordSize; ++b)
            digits[size_t(wordSize * word + b)] = stored[wordSize - 1 - b];
    }
    return decimalText(std::move(digits), scale, (data[sign] & negative) != 0);
}

QString calculatedNumericText(const unsigned char *data, size_t size) {
    using namespace CalculatedNumeric;
    if (size < headerSize)
        return {};
    const qint16 total = qint16(get16(data + totalLength));
    const int scaleDigits = data[scale];
    const bool negative = data[sign] != 0;
    const size_t rest = size - headerSize;
    size_t length = total > 0 ? size_t(total) - std::min<size_t>(scaleAndSignSize, size_t(total)) : rest;
    length = std::min<size_t>(std::min(length / leadingGroup * leadingGroup, largestMagnitude),
                              rest / leadingGroup * leadingGroup);
    std::vector<quint8> digits(data + magnitude, data + magnitude + length);
    size_t at = 0;
    if (length % group != 0) {
        std::reverse(digits.begin(), digits.begin() + leadingGroup);
        at = leadingGroup;
    }
    for (; at + group <= length; at += group)
        std::reverse(digits.begin() + qsizetype(at), digits.begin() + qsizetype(at + group));
    return decimalText(std::move(digits), scaleDigits, negative);
}

QString extendedDateText(const unsigned char *data, size_t size) {
    const QString raw = QString::fromLatin1(reinterpret_cast<const char *>(data),
                                            qsizetype(std::find(data, data + size, 0) - data));
    using namespace ExtendedDate;
    if (size < shortest || !allDigits(data + days, dayDigits) || data[separator] != ':' ||
        !allDigits(data + timeOfDay, timeDigits))
        return raw;
    const qint64 day = digitsValue(data + days, dayDigits);
    const qint64 second = digitsValue(data + seconds, secondDigits);
    const qint64 unit = digitsValue(data + units, unitDigits);
    if (day > lastDay || second >= 86400)
        return raw;
    const QDate date = QDate(1, 1, 1).addDays(day);
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d.%07d", date.year(), date.month(), date.day(),
                             int(second / 3600), int(second / 60 % 60), int(second % 60), int(unit));
}

QCborValue decodeValue(const ColumnShape &column, const unsigned char *data, size_t size,
                       const DecodeContext &context) {
    if (column.type == ColumnType::Memo || column.type == ColumnType::Ole)
        return longValue(column, data, size, context);
    QByteArray unwrapped;
    if (column.calculated) {
        unwrapped = unwrapCalculated(data, size);
        data = reinterpret_cast<const unsigned char *>(unwrapped.constData());
        size = size_t(unwrapped.size());
    }
    const size_t needed = column.type == ColumnType::Boolean ? 1
                          : column.type == ColumnType::Numeric && column.calculated
                              ? CalculatedNumeric::headerSize
                              : size_t(fixedTypeSize(column.type));
    if (size < needed)
        return QCborValue(nullptr);
    switch (column.type) {
    case ColumnType::Boolean: // only calculated Booleans have bytes; others live in the null mask
        return data[0] != 0;
    case ColumnType::Byte:
        return data[0];
    case ColumnType::Integer:
        return qint16(get16(data));
    case ColumnType::Long:
    case ColumnType::Complex:
        return qint32(get32(data));
    case ColumnType::Currency:
    case ColumnType::BigInt:
        return qint64(get64(data));
    case ColumnType::Single: {
        float f;
        std::memcpy(&f, data, 4);
        return double(f);
    }
    case ColumnType::Double:
    case ColumnType::DateTime: {
        double d;
        std::memcpy(&d, data, 8);
        return d;
    }
    case ColumnType::Numeric:
        return column.calculated ? calculatedNumericText(data, size) : numericText(data, column.scale);
    case ColumnType::DateTimeExtended:
        return extendedDateText(data, size);
    case ColumnType::Text:
        return textValue(data, size, context);
    default:
        return bytesAt(data, size);
    }
}

} // namespace dbhost
