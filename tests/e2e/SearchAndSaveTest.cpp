// SPDX-License-Identifier: GPL-3.0-or-later
// The real program searches its drive for a file, the result is selected and kept in the saved list.
#include "TempFolder.h"
#include "X11Driver.h"
#include "platform/Files.h"
#include "platform/Twips.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QThread>
#include <QUuid>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

QPoint centre(int left, int top, int width, int height) {
    return twipsRect(left, top, width, height).center();
}

// A picture of a name no other file has, in a temporary tree on drive C:.
class UniquePicture {
public:
    UniquePicture()
        : name_(QStringLiteral("e2e-") + QUuid::createUuid().toString(QUuid::Id128) +
                QStringLiteral(".png")) {
        QDir().mkpath(tree_.filePath(QStringLiteral("deep/er")));
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        path_ = tree_.filePath(QStringLiteral("deep/er/") + name_);
        picture.save(path_);
    }
    const QString &name() const { return name_; }
    const QString &path() const { return path_; }

private:
    TempFolder tree_{QStringLiteral("lumsifter-e2e")};
    QString name_;
    QString path_;
};

// Searches C: for the picture, selects the first result and saves it; returns save.txt's content.
QByteArray searchSelectAndSave(X11Driver &x, const QString &window, const UniquePicture &picture) {
    // On drive C:, the root, which holds the temporary folder.
    if (!x.searchFor(window, picture.name())) {
        ADD_FAILURE() << "the search did not end with its overview";
        return {};
    }
    x.selectFirstAndSave(window);
    return X11Driver::waitForContent(x.programFolderBytes() + "/save.txt");
}

void exitProgram(X11Driver &x, const QString &window) {
    ASSERT_TRUE(x.exitProgram(window)) << "Exit did not ask";
    EXPECT_TRUE(x.process().waitForFinished(2000));
}

} // namespace

TEST(SearchAndSave, AFoundPictureIsSelectedSavedAndShownInTheSavedList) {
    X11Driver x;
    ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
    const UniquePicture picture;
    x.start();
    const QString window = x.waitForWindow(QStringLiteral("Not Set"));
    ASSERT_FALSE(window.isEmpty());
    EXPECT_EQ(searchSelectAndSave(x, window, picture), '"' + QFile::encodeName(picture.path()) + "\"\r\n");

    // The " has been saved!" box is titled with the time of day.
    ASSERT_TRUE(x.closeTimeTitledBox());
    const QPoint open = centre(10080, 4080, 1095, 495);
    x.click(window, open.x(), open.y());
    QThread::msleep(500);
    EXPECT_TRUE(x.screenshot(QDir::current().filePath(QStringLiteral("e2e-screenshots/saved-list.png"))));
    exitProgram(x, window);
}

TEST(SearchAndSave, AProgramFolderNamedInAnotherEncodingKeepsItsFilesThere) {
    // The folder's name is Latin-1, not UTF-8: the component loads from it and save.txt lands in it.
    X11Driver x("caf\xe9 program");
    ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
    const UniquePicture picture;
    x.start();
    const QString window = x.waitForWindow(QStringLiteral("Not Set"));
    ASSERT_FALSE(window.isEmpty());
    EXPECT_EQ(searchSelectAndSave(x, window, picture), '"' + QFile::encodeName(picture.path()) + "\"\r\n");
    ASSERT_TRUE(x.closeTimeTitledBox());
    exitProgram(x, window);
}

// What the first run read of drive C: outlives it, privately in the user's cache, and the next run
// reads that file for its first search.
TEST(SearchAndSave, TheNextRunReadsTheDriveFromTheFileTheRunBeforeLeft) {
    const UniquePicture picture;
    TempFolder cache;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache.path());
    const QByteArray folder = QFile::encodeName(cache.path()) + "/lumsifter";
    int watch = -1;
    for (int run = 1; run <= 2; ++run) {
        X11Driver x;
        ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
        x.start(environment);
        const QString window = x.waitForWindow(QStringLiteral("Not Set"));
        ASSERT_FALSE(window.isEmpty());
        if (run == 2) {
            watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            ::inotify_add_watch(watch, folder.constData(), IN_ACCESS);
        }
        ASSERT_TRUE(x.searchFor(window, picture.name())) << "run " << run;
        // The file is written after the search, on a thread of its own: it comes, then the run ends.
        QStringList files;
        for (int waited = 0; files.isEmpty() && waited < 30000; waited += 100) {
            QThread::msleep(100);
            files = QDir(QFile::decodeName(folder)).entryList(QDir::Files | QDir::Hidden);
        }
        exitProgram(x, window);
        ASSERT_EQ(files.size(), 1) << files.join(u' ').toStdString();
        struct stat folderInfo, fileInfo;
        ASSERT_EQ(::stat(folder.constData(), &folderInfo), 0);
        ASSERT_EQ(::stat((folder + '/' + QFile::encodeName(files[0])).constData(), &fileInfo), 0);
        EXPECT_EQ(folderInfo.st_mode & 07777, 0700u);
        EXPECT_EQ(fileInfo.st_mode & 07777, 0600u);
    }
    char events[4096];
    EXPECT_GT(::read(watch, events, sizeof events), 0) << "the second run did not read the file";
    ::close(watch);
}
