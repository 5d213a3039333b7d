#include "platform/Files.h"
#include "FifoGuard.h"
#include "TempFolder.h"
#include "platform/PathCodec.h"
#include "platform/Pictures.h"
#include "platform/Processes.h"
#include "platform/Sound.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    static bool waitForFile(const QByteArray &file) {
        QElapsedTimer waited;
        waited.start();
        while (!isRegularFile(file) && waited.elapsed() < 5000)
            QThread::msleep(20);
        QThread::msleep(50); // written, not only created
        return isRegularFile(file);
    }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    TempFolder dir;
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
    EXPECT_TRUE(waitForFile(QFile::encodeName(marker)));

    EXPECT_FALSE(starter.start(QString()));
    // No shell: a redirection is just a word handed to the program.
    ASSERT_TRUE(starter.start(QStringLiteral("echo hi > ") + dir.filePath("shell")));
    QThread::msleep(300);
    EXPECT_FALSE(QFile::exists(dir.filePath("shell")));
}

TEST_F(FilesInAFolder, RunStartsExactlyTheFileTheWholeTextNames) {
    // Each script writes how many arguments it got beside itself: it must be started alone.
    const QByteArray body = "#!/bin/sh\necho $# > \"$0.ran\"\n";
    // Split as a command line, "run me.sh" would start "run" with the argument "me.sh".
    write(path("run"), body);
    ::chmod(path("run").constData(), 0755);
    for (const char *name : {"run me.sh", "it's \"quoted\".sh", "tab\there \xe9.sh"}) {
        SCOPED_TRACE(name);
        const QByteArray script = path(name);
        write(script, body);
        ::chmod(script.constData(), 0755);
        ASSERT_TRUE(DetachedProcessStarter().start(decodePath(script)));
        ASSERT_TRUE(waitForFile(script + ".ran"));
        EXPECT_EQ(contentOf(script + ".ran"), "0\n");
    }
    QThread::msleep(300);
    EXPECT_FALSE(QFile::exists(dir.filePath("run.ran")));
    // A folder, or a file that cannot be started, starts nothing.
    QDir().mkdir(dir.filePath("folder"));
    EXPECT_FALSE(DetachedProcessStarter().start(dir.filePath("folder")));
    write(path("plain.txt"), "not a program");
    EXPECT_FALSE(DetachedProcessStarter().start(dir.filePath("plain.txt")));
}

TEST_F(FilesInAFolder, SpecialFilesAreNeitherPicturesNorCopiedAndNothingWaitsForThem) {
    FifoGuard fifo(path("pipe"));
    ASSERT_TRUE(fifo.created());
    // Each call would wait for a writer if it opened the pipe as a file: the guard rescues it.
    EXPECT_FALSE(loadPicture(fifo.path()).has_value());
    EXPECT_FALSE(copyFile(fifo.path(), path("copy")));
    QByteArray content;
    EXPECT_FALSE(readWholeFile(fifo.path(), content));
    EXPECT_FALSE(appendToFile(fifo.path(), "x"));
    EXPECT_FALSE(fifo.rescued());
    EXPECT_FALSE(isRegularFile(path("copy")));
    EXPECT_FALSE(copyFile("/dev/null", path("copy"))); // a device is no file to copy either
}

TEST_F(FilesInAFolder, CopyDropsSetIdBitsAndFollowsTheUmask) {
    const mode_t old = ::umask(027);
    write(path("tool"), "#!/bin/sh\n");
    ::chmod(path("tool").constData(), 06755 | S_ISVTX);
    ASSERT_TRUE(copyFile(path("tool"), path("copy")));
    struct stat info {};
    ASSERT_EQ(::stat(path("copy").constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0750u);
    // A read-only source gives a read-only copy that still holds the whole content.
    write(path("ro"), "read-only content");
    ::chmod(path("ro").constData(), 0444);
    ASSERT_TRUE(copyFile(path("ro"), path("ro-copy")));
    ASSERT_EQ(::stat(path("ro-copy").constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0440u);
    EXPECT_EQ(contentOf(path("ro-copy")), "read-only content");
    ::umask(old);
}

TEST_F(FilesInAFolder, CopyOfAFileThatReportsNoSizeCopiesWhatItReads) {
    // Files of /proc say they are empty and still have content.
    QByteArray expected;
    ASSERT_TRUE(readWholeFile("/proc/version", expected));
    ASSERT_FALSE(expected.isEmpty());
    ASSERT_TRUE(copyFile("/proc/version", path("version")));
    EXPECT_EQ(contentOf(path("version")), expected);
}

TEST_F(FilesInAFolder, DeleteLeavesAReadOnlyFileButTakesALinkToOne) {
    write(path("ro.txt"), "keep");
    ::chmod(path("ro.txt").constData(), 0444);
    EXPECT_FALSE(deleteFile(path("ro.txt")));
    EXPECT_TRUE(isRegularFile(path("ro.txt")));
    ASSERT_EQ(::symlink("ro.txt", path("link").constData()), 0);
    EXPECT_TRUE(deleteFile(path("link")));
    EXPECT_TRUE(isRegularFile(path("ro.txt")));
}

TEST(Sound, NothingPlayableFallsBackQuietlyWithoutHangingOrCrashing) {
    // Whatever the sound library says on the way goes to stderr: capture it.
    TempFolder dir;
    const QByteArray captured = QFile::encodeName(dir.filePath("stderr"));
    const int saved = ::dup(STDERR_FILENO);
    const int file = ::open(captured.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, STDERR_FILENO);
    CanberraSoundPlayer player;
    player.play("/no/such/sound.wav");
    player.play({});
    ::dup2(saved, STDERR_FILENO);
    ::close(file);
    ::close(saved);
    QByteArray said;
    ASSERT_TRUE(readWholeFile(captured, said));
    EXPECT_FALSE(said.contains("ALSA")) << said.constData();
}
