// SPDX-License-Identifier: GPL-3.0-or-later
// What the result list shows of a file when the pointer rests on it, and what it hands to other
// programs: read from real files of every kind, whatever their names are made of.
#include "search_component/ResultDetails.h"
#include "search_component/ResultTransfer.h"

#include "FifoGuard.h"
#include "TempFolder.h"
#include "platform/Files.h"

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QMimeData>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using search_component::detailsText;
using search_component::humanSize;

namespace {

const QLocale english(QLocale::English, QLocale::UnitedStates);

class ResultDetails : public ::testing::Test {
protected:
    QByteArray path(const QByteArray &name) const { return QFile::encodeName(dir.path()) + '/' + name; }
    QByteArray file(const QByteArray &name, const QByteArray &content) {
        const QByteArray at = path(name);
        EXPECT_TRUE(platform::writeFileAtomically(at, content));
        return at;
    }
    // Sets the file's modification time and returns it as the details show it.
    QString modifiedAt(const QByteArray &at, const QDateTime &when) {
        const timespec times[2] = {{when.toSecsSinceEpoch(), 0}, {when.toSecsSinceEpoch(), 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, at.constData(), times, AT_SYMLINK_NOFOLLOW), 0);
        return QStringLiteral("Modified: ") + english.toString(when, QLocale::ShortFormat);
    }

    TempFolder dir;
};

} // namespace

TEST(HumanSize, BytesThenBinaryUnitsWithTheExactCount) {
    EXPECT_EQ(humanSize(0, english), QStringLiteral("0 bytes"));
    EXPECT_EQ(humanSize(1, english), QStringLiteral("1 byte"));
    EXPECT_EQ(humanSize(1023, english), QStringLiteral("1,023 bytes"));
    EXPECT_EQ(humanSize(1024, english), QStringLiteral("1.0 KiB (1,024 bytes)"));
    EXPECT_EQ(humanSize(1536, english), QStringLiteral("1.5 KiB (1,536 bytes)"));
    EXPECT_EQ(humanSize(10239, english), QStringLiteral("10 KiB (10,239 bytes)")); // 9.999 rounds to 10
    EXPECT_EQ(humanSize(500 * 1024 + 300, english), QStringLiteral("500 KiB (512,300 bytes)"));
    // Just under a unit, rounding would read "1024 KiB": the next unit is used instead.
    EXPECT_EQ(humanSize(1024 * 1024 - 1, english), QStringLiteral("1.0 MiB (1,048,575 bytes)"));
    EXPECT_EQ(humanSize(qint64(5) << 30, english), QStringLiteral("5.0 GiB (5,368,709,120 bytes)"));
    EXPECT_EQ(humanSize(std::numeric_limits<qint64>::max(), english),
              QStringLiteral("8.0 EiB (9,223,372,036,854,775,807 bytes)"));
}

TEST(HumanSize, FollowsTheLocalesNumbers) {
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(humanSize(1536, german), QStringLiteral("1,5 KiB (1.536 bytes)"));
    EXPECT_EQ(humanSize(2048, QLocale::c()), QStringLiteral("2.0 KiB (2048 bytes)"));
}

TEST_F(ResultDetails, ARegularFileIsTypedByItsContentAsWellAsItsName) {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(QString::fromLocal8Bit(path("picture.dat")), "PNG"));
    const QByteArray png = path("picture.dat");
    const QString modified = modifiedAt(png, QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7)));
    const QStringList lines = detailsText(png, english).split(u'\n');
    ASSERT_EQ(lines.size(), 3) << detailsText(png, english).toStdString();
    EXPECT_EQ(lines[0],
              QStringLiteral("Size: ") + humanSize(QFile(QString::fromLocal8Bit(png)).size(), english));
    EXPECT_EQ(lines[1], modified);
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("Type: "))) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("(image/png)"))) << lines[2].toStdString();
}

TEST_F(ResultDetails, NamesInAnyEncodingAndEmptyFilesAreTypedByName) {
    const QByteArray latin = file("caf\xe9 notes.txt", "plain words\n");
    EXPECT_TRUE(detailsText(latin, english).endsWith(QStringLiteral("(text/plain)")))
        << detailsText(latin, english).toStdString();
    const QByteArray empty = file("empty.txt", "");
    const QString details = detailsText(empty, english);
    EXPECT_TRUE(details.startsWith(QStringLiteral("Size: 0 bytes\n"))) << details.toStdString();
    EXPECT_TRUE(details.endsWith(QStringLiteral("(text/plain)"))) << details.toStdString();
}

TEST_F(ResultDetails, AFolderHasNoSize) {
    const QByteArray folder = path("sub");
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    const QString modified = modifiedAt(folder, QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)));
    const QStringList lines = detailsText(folder, english).split(u'\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], modified);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("(inode/directory)"))) << lines[1].toStdString();
}

TEST_F(ResultDetails, ANamedPipeAndALinkToItAreDescribedWithoutWaiting) {
    FifoGuard fifo(path("pipe"));
    ASSERT_TRUE(fifo.created());
    const QString details = detailsText(fifo.path(), english);
    EXPECT_TRUE(details.startsWith(QStringLiteral("Size: 0 bytes\nModified: "))) << details.toStdString();
    EXPECT_TRUE(details.endsWith(QStringLiteral("(inode/fifo)"))) << details.toStdString();

    // A link is described itself, never followed to what it names.
    ASSERT_EQ(::symlink("pipe", path("link").constData()), 0);
    const QStringList lines = detailsText(path("link"), english).split(u'\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("Size: 4 bytes"));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("(inode/symlink)"))) << lines[2].toStdString();
    EXPECT_EQ(lines[3], QStringLiteral("Link to: pipe"));
    EXPECT_FALSE(fifo.rescued()) << "reading the details waited on the pipe";
}

TEST_F(ResultDetails, AVanishedFileSaysSo) {
    const QByteArray gone = file("gone.txt", "x");
    ASSERT_EQ(::unlink(gone.constData()), 0);
    EXPECT_EQ(detailsText(gone, english), QStringLiteral("This file is no longer there."));
    EXPECT_EQ(detailsText(gone + "/below", english), QStringLiteral("This file is no longer there."));
}

TEST(ResultTransfer, ThePathAsTextKeepsEveryByte) {
    const QByteArray path("/tmp/caf\xe9 \xff.txt");
    const std::unique_ptr<QMimeData> text(search_component::pathAsText(path));
    EXPECT_EQ(text->formats(), QStringList{QStringLiteral("text/plain")});
    EXPECT_EQ(text->data(QStringLiteral("text/plain")), path);
}

TEST(ResultTransfer, TheFileGoesAsItsUriAndItsPath) {
    const QByteArray path("/tmp/caf\xe9 #1.txt");
    const std::unique_ptr<QMimeData> file(search_component::fileForTransfer(path));
    EXPECT_EQ(file->data(QStringLiteral("text/uri-list")), "file:///tmp/caf%E9%20%231.txt\r\n");
    EXPECT_EQ(file->data(QStringLiteral("x-special/gnome-copied-files")),
              "copy\nfile:///tmp/caf%E9%20%231.txt");
    EXPECT_EQ(file->data(QStringLiteral("text/plain")), path);
}
