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
