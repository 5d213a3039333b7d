// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PathCodec.h"

#include <gtest/gtest.h>

using platform::decodePath;
using platform::encodePath;

TEST(PathCodec, ValidUtf8DecodesAsText) {
    EXPECT_EQ(decodePath("/home/ann/Bilder/sommer.jpg"), QStringLiteral("/home/ann/Bilder/sommer.jpg"));
    EXPECT_EQ(decodePath("/tmp/caf\xc3\xa9 \xf0\x9f\x98\x80"), QString::fromUtf8("/tmp/café 😀"));
}

TEST(PathCodec, UndecodableBytesBecomeLoneSurrogatesAndComeBack) {
    const QByteArray cases[] = {
        QByteArray("/tmp/latin1-\xe9t\xe9.txt"), // Latin-1 bytes
        QByteArray("\xff\xfe"),                  // never valid
        QByteArray("a\xc3"),                     // truncated sequence at the end
        QByteArray("\xc0\xaf"),                  // overlong "/"
        QByteArray("\xed\xa0\x80"),              // an encoded surrogate
        QByteArray("\xf4\x90\x80\x80"),          // past U+10FFFF
        QByteArray("ok\x80\x80mid\xe2\x82"),     // stray continuation bytes
    };
    for (const QByteArray &bytes : cases) {
        const QString text = decodePath(bytes);
        EXPECT_EQ(encodePath(text), bytes) << bytes.toHex().constData();
    }
    const QString latin = decodePath("x\xe9");
    ASSERT_EQ(latin.size(), 2);
    EXPECT_EQ(latin[1].unicode(), 0xDCE9);
}

TEST(PathCodec, EveryByteValueSurvivesARoundTrip) {
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        all += char(b);
    EXPECT_EQ(encodePath(decodePath(all)), all);
}

TEST(PathCodec, TheStartOfALongNameIsDecodedAlone) {
    const QByteArray pile = "\xf0\x9f\x98\x80"; // one character, two UTF-16 units
    const struct {
        QByteArray bytes;
        qsizetype maxUnits;
        QString text;
        bool whole;
    } cases[] = {
        {"short", 10, QStringLiteral("short"), true},
        {"caf\xc3\xa9s", 4, QString::fromUtf8("café"), false},
        {"\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac", 2, QString::fromUtf8("€€"), false}, // cut before a character
        {"a" + pile + pile, 2, QStringLiteral("a"), false},                          // a pair is never split
        {"\xff\xfe\xfd\xfc", 2, decodePath("\xff\xfe"), false},
        {QByteArray(10'000'000, 'x'), 4000, QString(4000, u'x'), false},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.bytes.left(20).toHex().constData());
        const platform::TextStart start = platform::decodePathStart(row.bytes, row.maxUnits);
        EXPECT_EQ(start.text, row.text);
        EXPECT_EQ(start.whole, row.whole);
    }
}

TEST(PathCodec, NamesCompareInAnyCaseAsTheirLowerCaseTextsDo) {
    // Every character against its lower and its upper case.
    for (char32_t cp = 1; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        const QString text = QString::fromUcs4(&cp, 1);
        const QByteArray name = encodePath(text);
        ASSERT_TRUE(platform::sameTextIgnoringCase(name, encodePath(text.toLower())))
            << std::hex << unsigned(cp);
        const QString upper = text.toUpper();
        ASSERT_EQ(platform::sameTextIgnoringCase(name, encodePath(upper)), text.toLower() == upper.toLower())
            << std::hex << unsigned(cp);
    }
    const struct {
        QByteArray a, b;
        bool same;
    } cases[] = {
        {"C:\\A.TXT", "c:\\a.txt", true},
        {"\xe2\x84\xaa", "k", true},     // the Kelvin sign
        {"\xc4\xb0", "i\xcc\x87", true}, // a dotted capital I is i and a combining dot
        {"a", "", false},
        // Undecodable bytes compare as themselves. (QString::toLower turns their stand-ins into U+FFFD
        // when it changes a string, and would make these two equal.)
        {"x\xe9", "X\xe9", true},
        {"X\xe9", "X\xea", false},
    };
    for (const auto &row : cases)
        EXPECT_EQ(platform::sameTextIgnoringCase(row.a, row.b), row.same) << row.a.toHex().constData();
}
