// SPDX-License-Identifier: GPL-3.0-or-later
// The installed Debian package (check-package.sh installs it, then runs this as root under xvfb-run):
// /usr/bin/lumsifter started by a user who may not write the program's folder. The search still loads
// the component from beside the program, and the Save lands in the user's own data folder.
#include "TempFolder.h"
#include "X11Driver.h"
#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QUuid>

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Gives a file or folder to the user, with these permissions.
bool give(const QString &path, uid_t uid, gid_t gid, mode_t mode) {
    const QByteArray bytes = QFile::encodeName(path);
    return ::chown(bytes.constData(), uid, gid) == 0 && ::chmod(bytes.constData(), mode) == 0;
}

} // namespace

TEST(InstalledPackage, AUserFindsAFileSavesItIntoTheirDataFolderAndExits) {
    X11Driver x{X11Driver::Installed{}};
    ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
    ASSERT_EQ(::geteuid(), 0u) << "becoming another user needs root";
    const QString program = QStringLiteral("/usr/bin/lumsifter");
    ASSERT_TRUE(QFileInfo(program).isSymLink()) << "the package is not installed";
    const QString folder = QFileInfo(QFileInfo(program).symLinkTarget()).path();

    const passwd *user = ::getpwnam("nobody");
    ASSERT_NE(user, nullptr) << "no user nobody";
    const uid_t uid = user->pw_uid;
    const gid_t gid = user->pw_gid;
    // The program's folder is the system's: the user may not write there.
    ASSERT_NE(QFileInfo(folder).ownerId(), uid);
    ASSERT_FALSE(QFileInfo(folder).permission(QFile::WriteOther)) << folder.toStdString();

    // The user's home, with the X server's cookie and a picture of a name no other file has.
    TempFolder home;
    ASSERT_TRUE(give(home.path(), uid, gid, 0700));
    const QString cookie = qEnvironmentVariable("XAUTHORITY");
    if (!cookie.isEmpty()) {
        ASSERT_TRUE(QFile::copy(cookie, home.filePath(QStringLiteral(".Xauthority"))));
        ASSERT_TRUE(give(home.filePath(QStringLiteral(".Xauthority")), uid, gid, 0600));
    }
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("runtime")));
    ASSERT_TRUE(give(home.filePath(QStringLiteral("runtime")), uid, gid, 0700));
    const QString name =
        QStringLiteral("package-") + QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".png");
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(home.filePath(name)));
    ASSERT_TRUE(give(home.filePath(name), uid, gid, 0600));

    QProcessEnvironment environment;
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("USER"), QString::fromLocal8Bit(user->pw_name));
    environment.insert(QStringLiteral("LOGNAME"), QString::fromLocal8Bit(user->pw_name));
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/local/bin:/usr/bin:/bin"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    if (!cookie.isEmpty())
        environment.insert(QStringLiteral("XAUTHORITY"), home.filePath(QStringLiteral(".Xauthority")));
    x.startInstalled(program, environment, [uid, gid] {
        // Runs in the new process: it becomes the user before the program starts, or never starts.
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(126);
    });
    const QString window = x.waitForWindow(QStringLiteral("Not Set"));
    ASSERT_FALSE(window.isEmpty()) << "no main window";
    ASSERT_TRUE(x.searchFor(window, name)) << "the search did not end with its overview";
    x.selectFirstAndSave(window);

    const QString data = home.filePath(QStringLiteral(".local/share/lumsifter"));
    EXPECT_EQ(X11Driver::waitForContent(QFile::encodeName(data) + "/save.txt"),
              '"' + QFile::encodeName(home.filePath(name)) + "\"\r\n");
    EXPECT_EQ(QFileInfo(data).ownerId(), uid);
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/save.txt")));
    ASSERT_TRUE(x.closeTimeTitledBox());
    ASSERT_TRUE(x.exitProgram(window)) << "Exit did not ask";
    ASSERT_TRUE(x.process().waitForFinished(2000)) << "still running after Exit";
    EXPECT_EQ(x.process().exitCode(), 0);
}
