#include "platform/Files.h"
#include "platform/PathCodec.h"
#include "platform/Pictures.h"
#include "platform/Processes.h"
#include "platform/Sound.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace platform;

namespace {

class FilesInAFolder : public ::testing::Test {
protected:
    QByteArray path(const char *name) const { return QFile::encodeName(dir.path()) + '/' + name; }

    static void write(const QByteArray &file, const QByteArray &content) {
        ASSERT_TRUE(appendToFile(file, content));
    }
    static QByteArray contentOf(const QByteArray &file) {
        QByteArray content;
        EXPECT_TRUE(readWholeFile(file, content)) << file.constData();
        return content;
    }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(FilesInAFolder, CopyWritesTheTargetAndOverwritesAnOldOne) {
    write(path("a.jpg"), "picture bytes");
    write(path("b.jpg"), "an older, longer content");
    ASSERT_TRUE(copyFile(path("a.jpg"), path("b.jpg")));
    EXPECT_EQ(contentOf(path("b.jpg")), "picture bytes");
    ASSERT_TRUE(copyFile(path("a.jpg"), path("new.jpg")));
    EXPECT_EQ(contentOf(path("new.jpg")), "picture bytes");
    EXPECT_EQ(entries(), QStringList({"a.jpg", "b.jpg", "new.jpg"})); // no temporary file left
}

TEST_F(FilesInAFolder, CopyOntoItselfFailsAndLeavesTheFileWhole) {
    write(path("same.txt"), "keep me");
    EXPECT_FALSE(copyFile(path("same.txt"), path("same.txt")));
    QDir().mkdir(dir.filePath("sub"));
    EXPECT_FALSE(copyFile(path("same.txt"), path("sub/../same.txt")));
    EXPECT_FALSE(copyFile(path("same.txt"), path("/same.txt").replace("//", "/")));
    EXPECT_EQ(contentOf(path("same.txt")), "keep me");
}

TEST_F(FilesInAFolder, CopyFailsForMissingSourceDirectoryOrFolderTarget) {
    write(path("a.txt"), "x");
    QDir().mkdir(dir.filePath("folder"));
    EXPECT_FALSE(copyFile(path("missing.txt"), path("b.txt")));
    EXPECT_FALSE(copyFile(path("folder"), path("b.txt")));
    EXPECT_FALSE(copyFile(path("a.txt"), path("folder")));
    EXPECT_FALSE(copyFile(path("a.txt"), path(""))); // the folder and a separator alone
    EXPECT_FALSE(copyFile(path("a.txt"), path("no/such/b.txt")));
    EXPECT_FALSE(copyFile({}, path("b.txt")));
    EXPECT_EQ(entries(), QStringList({"a.txt", "folder"}));
}

TEST_F(FilesInAFolder, ADoubledSeparatorNamesTheSameFile) {
    write(path("a.txt"), "x");
    ASSERT_TRUE(copyFile(path("a.txt"), QFile::encodeName(dir.path()) + "//copy.txt"));
    EXPECT_EQ(contentOf(path("copy.txt")), "x");
}

TEST_F(FilesInAFolder, NamesThatAreNotUtf8AreCopiedAndDeletedByTheirBytes) {
    const QByteArray odd = path("caf\xe9 \xff.txt");
    write(odd, "latin-1 name");
    ASSERT_TRUE(copyFile(odd, path("plain.txt")));
    ASSERT_TRUE(copyFile(path("plain.txt"), path("\xfe.copy")));
    EXPECT_EQ(contentOf(path("\xfe.copy")), "latin-1 name");
    EXPECT_TRUE(deleteFile(odd));
    EXPECT_FALSE(isRegularFile(odd));
}

TEST_F(FilesInAFolder, DeleteTakesFilesOnly) {
    write(path("a.txt"), "x");
    QDir().mkdir(dir.filePath("folder"));
    EXPECT_FALSE(deleteFile(path("folder")));
    EXPECT_TRUE(QDir(dir.filePath("folder")).exists());
    EXPECT_FALSE(deleteFile({}));
    EXPECT_FALSE(deleteFile(path("missing")));
    EXPECT_TRUE(deleteFile(path("a.txt")));
    EXPECT_FALSE(isRegularFile(path("a.txt")));
}

TEST_F(FilesInAFolder, AtomicWriteReplacesOrKeepsTheOldContent) {
    write(path("save.txt"), "old");
    ASSERT_TRUE(writeFileAtomically(path("save.txt"), "new content"));
    EXPECT_EQ(contentOf(path("save.txt")), "new content");
    QDir().mkdir(dir.filePath("taken"));
    EXPECT_FALSE(writeFileAtomically(path("taken"), "x")); // a folder stands there
    EXPECT_FALSE(writeFileAtomically(path("missing/save.txt"), "x"));
    EXPECT_EQ(entries(), QStringList({"save.txt", "taken"}));
    EXPECT_FALSE(lastErrorText().isEmpty());
}

TEST_F(FilesInAFolder, PicturesLoadByContentAndNothingElseLoads) {
    QImage image(7, 5, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(dir.filePath("red.png")));
    QFile::copy(dir.filePath("red.png"), dir.filePath("named-wrongly.jpg"));
    write(path("notes.txt"), "not a picture");
    const std::optional<QImage> loaded = loadPicture(path("red.png"));
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->size(), QSize(7, 5));
    EXPECT_TRUE(loadPicture(path("named-wrongly.jpg")).has_value());
    EXPECT_FALSE(loadPicture(path("notes.txt")).has_value());
    EXPECT_FALSE(loadPicture(QFile::encodeName(dir.path())).has_value());
    EXPECT_FALSE(loadPicture(path("missing.png")).has_value());
    EXPECT_FALSE(loadPicture({}).has_value());
    ASSERT_TRUE(copyFile(path("red.png"), path("\xe9t\xe9.png")));
    EXPECT_TRUE(loadPicture(path("\xe9t\xe9.png")).has_value());
}

TEST_F(FilesInAFolder, RunStartsAProgramByItsBytesWithoutAShell) {
    const QByteArray script = path("run \xe9.sh");
    write(script, "#!/bin/sh\necho started > \"$1\"\n");
    ::chmod(script.constData(), 0755);
    DetachedProcessStarter starter;
    const QString marker = dir.filePath("marker");
    ASSERT_TRUE(starter.start(QStringLiteral("\"") + decodePath(script) + QStringLiteral("\" ") + marker));
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(marker) && waited.elapsed() < 5000)
        QThread::msleep(20);
    EXPECT_TRUE(QFile::exists(marker));

    // Unquoted, the blank splits the name: nothing starts. Nor does an empty line.
    EXPECT_FALSE(starter.start(decodePath(script)));
    EXPECT_FALSE(starter.start(QString()));
    // No shell: a redirection is just a word handed to the program.
    ASSERT_TRUE(starter.start(QStringLiteral("echo hi > ") + dir.filePath("shell")));
    QThread::msleep(300);
    EXPECT_FALSE(QFile::exists(dir.filePath("shell")));
}

TEST(Sound, NothingPlayableFallsBackWithoutHangingOrCrashing) {
    CanberraSoundPlayer player;
    player.play("/no/such/sound.wav");
    player.play({});
    SUCCEED();
}
