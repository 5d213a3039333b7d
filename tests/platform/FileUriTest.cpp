// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileUri.h"

#include <QUrl>

#include <gtest/gtest.h>

using platform::fileUri;

TEST(FileUri, KeepsUnreservedCharactersAndEncodesTheRest) {
    EXPECT_EQ(fileUri("/home/ann/Report-2024_v1.0~.txt"), "file:///home/ann/Report-2024_v1.0~.txt");
    EXPECT_EQ(fileUri("/"), "file:///");
    // Characters that mean something in a URI, or in a uri-list line, never pass as they are.
    EXPECT_EQ(fileUri("/a b/#1?x=%&y;\r\n"), "file:///a%20b/%231%3Fx%3D%25%26y%3B%0D%0A");
}

TEST(FileUri, EncodesTheBytesOfAnyNameExactly) {
    EXPECT_EQ(fileUri("/tmp/caf\xe9.txt"), "file:///tmp/caf%E9.txt");        // Latin-1
    EXPECT_EQ(fileUri("/tmp/caf\xc3\xa9.txt"), "file:///tmp/caf%C3%A9.txt"); // UTF-8
    EXPECT_EQ(fileUri(QByteArray("/x\x01\x7f\xff", 5)), "file:///x%01%7F%FF");
}

TEST(FileUri, AnotherReaderGetsTheSameBytesBack) {
    QByteArray every;
    for (int b = 1; b < 256; ++b)
        every += char(b);
    const QByteArray path = "/tmp/" + every.replace('/', "");
    const QUrl url(QString::fromLatin1(fileUri(path)), QUrl::StrictMode);
    ASSERT_TRUE(url.isValid()) << url.errorString().toStdString();
    EXPECT_EQ(url.scheme(), QStringLiteral("file"));
    EXPECT_EQ(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()), path);
}
