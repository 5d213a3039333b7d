// SPDX-License-Identifier: GPL-3.0-or-later
// The helper's value decoder on byte buffers: the encodings no sample file shows, and the edges of
// the ones they do.
#include "dbhost/ValueDecoder.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dbhost;

namespace {

using Bytes = std::vector<unsigned char>;

const unsigned char *at(const Bytes &b) {
    return b.data();
}

Bytes ascii(const char *text, size_t size) {
    Bytes b(size, 0);
    std::copy(text, text + std::min(size, strlen(text)), b.begin());
    return b;
}

QCborValue decode(int type, const Bytes &b, bool calculated = false, int scale = 0) {
    return decodeValue(ColumnShape{ColumnType(type), scale, calculated}, b.data(), b.size(), DecodeContext{});
}

Bytes wrapped(const Bytes &value) {
    Bytes out(20 + value.size() + 3, 0);
    for (size_t i = 0; i < 16; ++i)
        out[i] = 0xaa; // the header's content does not matter
    out[16] = quint8(value.size());
    for (size_t i = 0; i < value.size(); ++i)
        out[20 + i] = value[i];
    return out;
}

} // namespace

TEST(ValueDecoder, NumericIsFourWordsMostSignificantFirst) {
    Bytes b(17, 0);
    b[0] = 0x80;
    b[13] = 0x87; // 1234567 = 0x0012D687 in the last word
    b[14] = 0xd6;
    b[15] = 0x12;
    EXPECT_EQ(numericText(at(b), 2), "-12345.67");
    EXPECT_EQ(numericText(at(b), 9), "-0.001234567");
    Bytes big(17, 0);
    big[9] = 1; // 2^32 in the third word
    EXPECT_EQ(numericText(at(big), 0), "4294967296");
    Bytes max(17, 0xff);
    max[0] = 0;
    EXPECT_EQ(numericText(at(max), 0), "340282366920938463463374607431768211455");
    EXPECT_EQ(numericText(at(Bytes(17, 0)), 3), "0.000");
}

TEST(ValueDecoder, CalculatedDecimalsHaveTheirOwnForm) {
    Bytes b(20, 0);
    b[0] = 18;    // length after these two bytes
    b[2] = 2;     // scale
    b[3] = 1;     // negative
    b[12] = 0x39; // 12345 in the low 64-bit half, little-endian
    b[13] = 0x30;
    EXPECT_EQ(calculatedNumericText(at(b), b.size()), "-123.45");
    Bytes high(20, 0);
    high[0] = 18;
    high[4] = 1; // 2^64: the low byte of the high half
    EXPECT_EQ(calculatedNumericText(at(high), high.size()), "18446744073709551616");
    EXPECT_EQ(decode(0x10, wrapped(b), true).toString(), "-123.45");
    Bytes fixed(16, 0); // as it fits the 39 bytes of a fixed calculated column: a 96-bit magnitude
    fixed[0] = 14;
    fixed[4] = 1; // 2^64: the high 32 bits come first
    fixed[8] = 5;
    EXPECT_EQ(calculatedNumericText(at(fixed), fixed.size()), "18446744073709551621");
}

TEST(ValueDecoder, ExtendedDatesCoverYearsOneTo9999To100Nanoseconds) {
    EXPECT_EQ(extendedDateText(at(ascii("0000000000000000000:0000000000000000000:7", 42)), 42),
              "0001-01-01 00:00:00.0000000");
    EXPECT_EQ(extendedDateText(at(ascii("0000000000000365240:0000000452967891234:7", 42)), 42),
              "1000-12-30 12:34:56.7891234");
    EXPECT_EQ(extendedDateText(at(ascii("0000000000003652058:0000000863999999999:7", 42)), 42),
              "9999-12-31 23:59:59.9999999");
    for (const char *bad :
         {"0000000000003652059:0000000000000000000:7", "0000000000000000000:0000000864000000000:7",
          "00000000000000000x0:0000000000000000000:7", "short"})
        EXPECT_EQ(extendedDateText(at(ascii(bad, 42)), 42), QString::fromLatin1(bad)) << bad;
    EXPECT_EQ(decode(0x14, ascii("0000000000000738153:0000000452967891234:7", 42)).toString(),
              "2021-12-30 12:34:56.7891234");
}

TEST(ValueDecoder, TextInEveryStoredForm) {
    const Bytes plain = {'h', 0, 0xe9, 0, 0x3d, 0xd8, 0x00, 0xde};
    EXPECT_EQ(jet4Text(at(plain), plain.size()), QStringLiteral("hé😀"));
    const Bytes compressed = {0xff, 0xfe, 'a', 'b', 0, 0x1c, 0x04, 0, 'c'};
    EXPECT_EQ(jet4Text(at(compressed), compressed.size()), QStringLiteral("abМc"));
    const Bytes cp1252 = {'c', 'a', 'f', 0xe9, ' ', 0x80};
    EXPECT_EQ(codePageText(at(cp1252), cp1252.size(), 1252), QStringLiteral("café €"));
    const Bytes cp1251 = {0xcc, 0xe8, 0xf0};
    EXPECT_EQ(codePageText(at(cp1251), cp1251.size(), 1251), QStringLiteral("Мир"));
    EXPECT_TRUE(decode(0x0a, Bytes{}).isString()) << "empty text is text, not NULL";
}

TEST(ValueDecoder, FixedTypesByTheirBytesAndCalculatedOnesUnwrapped) {
    EXPECT_EQ(decode(0x13, Bytes{0xfe, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}).toInteger(), -2);
    EXPECT_EQ(decode(0x13, Bytes{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f}).toInteger(),
              std::numeric_limits<qint64>::max());
    EXPECT_EQ(decode(0x12, Bytes{7, 0, 0, 0}).toInteger(), 7) << "a complex column's id";
    EXPECT_EQ(decode(0x04, Bytes{0xff, 0xff, 0xff, 0xff}).toInteger(), -1);
    EXPECT_EQ(decode(0x02, Bytes{0xff}).toInteger(), 255);
    EXPECT_TRUE(decode(0x07, Bytes{1, 2, 3}).isNull()) << "too short for its type";
    EXPECT_EQ(decode(0x04, wrapped(Bytes{42, 0, 0, 0}), true).toInteger(), 42);
    EXPECT_EQ(decode(0x01, wrapped(Bytes{0xff}), true), QCborValue(true));
    EXPECT_EQ(decode(0x01, wrapped(Bytes{0}), true), QCborValue(false));
    EXPECT_EQ(decode(0x0a, wrapped(Bytes{'o', 0, 'k', 0}), true).toString(), "ok");
    EXPECT_EQ(unwrapCalculated(at(Bytes{1, 2, 3}), 3), QByteArray("\1\2\3")) << "shorter than a header";
    Bytes lying = wrapped(Bytes{'x', 0});
    lying[16] = 200; // a length past the end is cut to what is there
    EXPECT_EQ(unwrapCalculated(at(lying), lying.size()).size(), 5);
}
