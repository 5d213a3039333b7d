// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <fcntl.h>
#include <functional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

namespace {

// The text a failure gives the user; empty for a success.
template <typename T> QString failureText(const Result<T> &result) {
    return result ? QString() : result.error().text();
}

// A success as yes, or the reason of the failure.
Result<bool> succeeded(const Result<void> &result) {
    if (!result)
        return result.error();
    return true;
}

class FilesInAFolder : public ::testing::Test {
protected:
    // By bytes: Qt cannot remove names that are not UTF-8, nor paths longer than the kernel looks up.
    ~FilesInAFolder() override {
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), dir.path()});
    }

    QByteArray path(const char *name) const { return QFile::encodeName(dir.path()) + '/' + name; }

    static void write(const QByteArray &file, const QByteArray &content) {
        ASSERT_TRUE(appendToFile(file, content));
    }
    static QByteArray contentOf(const QByteArray &file) {
        const Result<QByteArray> content = readWholeFile(file);
        EXPECT_TRUE(content) << file.constData();
        return content.value_or(QByteArray());
    }
    static bool waitForFile(const QByteArray &file) {
        QElapsedTimer waited;
        waited.start();
        while (!isRegularFile(file) && waited.elapsed() < 5000)
            QThread::msleep(20);
        QThread::msleep(50); // written, not only created
        return isRegularFile(file);
    }
    // Makes the file and the folders before it, relative to the folder, a folder at a time: its path
    // may be longer than the kernel looks up at once.
    bool makeFile(const QByteArray &relative, const QByteArray &content, mode_t mode) const {
        const QList<QByteArray> names = relative.split('/');
        Descriptor folder(
            ::open(QFile::encodeName(dir.path()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        for (qsizetype i = 0; i + 1 < names.size() && folder.valid(); ++i) {
            ::mkdirat(folder.get(), names[i].constData(), 0755);
            folder.reset(::openat(folder.get(), names[i].constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        }
        const Descriptor file(
            ::openat(folder.get(), names.last().constData(), O_WRONLY | O_CREAT | O_CLOEXEC, mode));
        return file.valid() && writeAll(file.get(), content.constData(), content.size()) &&
               ::fchmod(file.get(), mode) == 0;
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
    const Result<void> missing = writeFileAtomically(path("missing/save.txt"), "x");
    EXPECT_FALSE(missing);
    EXPECT_EQ(entries(), QStringList({"save.txt", "taken"}));
    EXPECT_FALSE(failureText(missing).isEmpty());
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
    write(script, "#!/bin/sh\necho started > \"$0.ran\"\n");
    ::chmod(script.constData(), 0755);
    DetachedProcessStarter starter;
    ASSERT_TRUE(starter.start(decodePath(script)));
    EXPECT_TRUE(waitForFile(script + ".ran"));

    EXPECT_FALSE(starter.start(QString()));
    // No shell and no command line: such texts name no file, and nothing starts.
    EXPECT_FALSE(starter.start(QStringLiteral("echo hi > ") + dir.filePath("shell")));
    EXPECT_FALSE(starter.start(QStringLiteral("\"") + decodePath(script) + QStringLiteral("\" marker")));
    QThread::msleep(300);
    EXPECT_FALSE(QFile::exists(dir.filePath("shell")));
}

TEST_F(FilesInAFolder, RunStartsExactlyTheFileTheWholeTextNamesOrNothing) {
    // Folders of 200 bytes, 22 deep: a path over 4,096 bytes, as the kernel cannot look up at once.
    QByteArray deep = "run me";
    for (int i = 0; i < 22; ++i)
        deep += '/' + QByteArray(200, char('a' + i));
    const QByteArray log = path("log");
    // Started ones write their name and argument count into the log; "gone" and "run" are what a split
    // at the blank would start.
    const struct {
        QByteArray file; // made with `mode` unless empty
        mode_t mode;
        QByteArray started; // what Run is given
        bool starts;
    } cases[] = {
        {"gone", 0755, "gone me.sh", false}, // vanished since it was found
        {"run", 0755, "run", true},
        {"run me.sh", 0755, "run me.sh", true},
        {"it's \"quoted\".sh", 0755, "it's \"quoted\".sh", true},
        {"tab\there \xe9.sh", 0755, "tab\there \xe9.sh", true},
        {"plain.txt", 0644, "plain.txt", false},
        {deep + "/deep.sh", 0755, deep + "/deep.sh", true},
        {deep + "/plain.sh", 0644, deep + "/plain.sh", false},
        {"", 0, deep + "/missing.sh", false},
        {"", 0, deep, false}, // a folder
    };
    QByteArray expected;
    for (const auto &row : cases) {
        SCOPED_TRACE(row.started.right(40).constData());
        if (!row.file.isEmpty()) {
            EXPECT_TRUE(makeFile(row.file, "#!/bin/sh\necho \"${0##*/} $#\" >> '" + log + "'\n", row.mode));
        }
        EXPECT_EQ(DetachedProcessStarter().start(decodePath(path("") + row.started)), row.starts);
        if (row.starts)
            expected += row.started.mid(row.started.lastIndexOf('/') + 1) + " 0\n";
    }
    QElapsedTimer waited;
    waited.start();
    while (QFileInfo(QString::fromLocal8Bit(log)).size() < expected.size() && waited.elapsed() < 5000)
        QThread::msleep(20);
    QThread::msleep(300); // time for anything started wrongly
    QList<QByteArray> lines = contentOf(log).split('\n');
    QList<QByteArray> wanted = expected.split('\n');
    std::sort(lines.begin(), lines.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(lines, wanted);
}

TEST_F(FilesInAFolder, SpecialFilesAreNeitherPicturesNorCopiedAndNothingWaitsForThem) {
    FifoGuard fifo(path("pipe"));
    ASSERT_TRUE(fifo.created());
    // Each call would wait for a writer if it opened the pipe as a file: the guard rescues it.
    EXPECT_FALSE(loadPicture(fifo.path()).has_value());
    EXPECT_FALSE(copyFile(fifo.path(), path("copy")));
    EXPECT_FALSE(readWholeFile(fifo.path()));
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
    const Result<QByteArray> expected = readWholeFile("/proc/version");
    ASSERT_TRUE(expected);
    ASSERT_FALSE(expected->isEmpty());
    ASSERT_TRUE(copyFile("/proc/version", path("version")));
    EXPECT_EQ(contentOf(path("version")), *expected);
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

TEST_F(FilesInAFolder, OwnFilesFollowOnlyTheUsersLinksOrRootsInRootsFolder) {
    const struct passwd *other = ::getpwnam("nobody");
    if (::geteuid() != 0 || !other)
        GTEST_SKIP() << "needs root, to give links and folders to the user nobody";
    // The user's file that another user's link points at, as the issue's ~/.profile.
    const QByteArray profile = path("profile");
    write(profile, "mine\n");
    write(path("source"), "copied\n");
    const uid_t me = ::geteuid();
    const struct {
        const char *what;
        uid_t folderOwner;
        uid_t linkOwner;
        bool followed;
    } cases[] = {
        {"my link in my folder", me, me, true},
        {"another's link in my folder", me, other->pw_uid, false},
        {"another's link in their folder open to all", other->pw_uid, other->pw_uid, false},
        {"my link in another's folder open to all", other->pw_uid, me, true},
    };
    // Each operation on an own file named by a link; what it writes is checked in the profile.
    const struct {
        const char *what;
        std::function<Result<bool>(const QByteArray &)> run;
        QByteArray profileAfter; // when the link is followed
    } operations[] = {
        {"append", [](const QByteArray &file) { return succeeded(appendToFile(file, "added\n")); },
         "mine\nadded\n"},
        {"read", [](const QByteArray &file) { return fileHolds(file, "mine\n"); }, "mine\n"},
        {"rewrite", [](const QByteArray &file) { return succeeded(writeFileAtomically(file, "new\n")); },
         "mine\n"},
        {"copy onto", [this](const QByteArray &file) { return succeeded(copyFile(path("source"), file)); },
         "mine\n"},
    };
    for (const auto &row : cases) {
        for (const auto &operation : operations) {
            SCOPED_TRACE(std::string(row.what) + ", " + operation.what);
            const QByteArray folder = path("app");
            ASSERT_EQ(::mkdir(folder.constData(), 0777), 0);
            ASSERT_EQ(::chmod(folder.constData(), 0777), 0);
            ASSERT_EQ(::chown(folder.constData(), row.folderOwner, -1), 0);
            const QByteArray link = folder + "/save.txt";
            ASSERT_EQ(::symlink(profile.constData(), link.constData()), 0);
            ASSERT_EQ(::lchown(link.constData(), row.linkOwner, -1), 0);
            const Result<bool> outcome = operation.run(link);
            EXPECT_EQ(outcome.value_or(false), row.followed);
            if (!row.followed) {
                EXPECT_EQ(failureText(outcome), QString::fromLocal8Bit(std::strerror(EACCES)));
            }
            EXPECT_EQ(contentOf(profile), row.followed ? operation.profileAfter : QByteArray("mine\n"));
            ASSERT_TRUE(writeFileAtomically(profile, "mine\n"));
            QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), QString::fromLocal8Bit(folder)});
        }
    }
    // A dangling link of another's creates nothing where it points.
    ASSERT_EQ(::symlink(path("created").constData(), path("dangling").constData()), 0);
    ASSERT_EQ(::lchown(path("dangling").constData(), other->pw_uid, -1), 0);
    EXPECT_FALSE(appendToFile(path("dangling"), "x"));
    EXPECT_FALSE(QFile::exists(dir.filePath("created")));
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
    const Result<QByteArray> said = readWholeFile(captured);
    ASSERT_TRUE(said);
    EXPECT_FALSE(said->contains("ALSA")) << said->constData();
}
