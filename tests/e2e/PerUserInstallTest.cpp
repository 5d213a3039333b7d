// SPDX-License-Identifier: GPL-3.0-or-later
// A per-user install (cmake --install --prefix ~/.local) started through its link in bin/: the
// program finds its folder through the link, may write there, and keeps its files there.
#include "TempFolder.h"
#include "X11Driver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

TEST(PerUserInstall, TheLinkStartsTheProgramWhichWritesIntoItsOwnFolder) {
    X11Driver x{X11Driver::Installed{}};
    ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
    const QString build = QStringLiteral(LUMSIFTER_BUILD_DIR);
    TempFolder home;
    const QString prefix = home.path() + QStringLiteral("/.local");
    QProcess install;
    install.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    install.start(QStringLiteral("cmake"), {"--install", build, "--prefix", prefix});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0);

    const QFileInfo link(prefix + QStringLiteral("/bin/lumsifter"));
    ASSERT_TRUE(link.isSymLink());
    EXPECT_TRUE(QFileInfo(link.symLinkTarget()).exists());
    char target[4096] = {};
    ASSERT_GT(::readlink(QFile::encodeName(link.filePath()).constData(), target, sizeof target - 1), 0);
    EXPECT_TRUE(QByteArray(target).startsWith("../") && QByteArray(target).endsWith("/lumsifter/lumsifter"))
        << target << ": relative, so that the tree can move";
    const QString folder = QFileInfo(link.symLinkTarget()).path();
    for (const char *name : {"Lumsift.ocx", "lumsifter-dbhost", "ADODEMO.MDB"})
        EXPECT_TRUE(QFileInfo::exists(folder + u'/' + QLatin1String(name))) << name;

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.remove(QStringLiteral("XDG_DATA_HOME"));
    x.startInstalled(link.filePath(), environment);
    const QString window = x.waitForWindow(QStringLiteral("Not Set"));
    ASSERT_FALSE(window.isEmpty());
    x.selectFirstAndSave(window); // the first instruction line is an entry like any other
    EXPECT_EQ(X11Driver::waitForContent(QFile::encodeName(folder) + "/save.txt"), "\"WELCOME!\"\r\n");
    EXPECT_FALSE(QFileInfo::exists(home.path() + QStringLiteral("/.local/share/lumsifter")));
    ASSERT_TRUE(x.closeTimeTitledBox());
    ASSERT_TRUE(x.exitProgram(window)) << "Exit did not ask";
    ASSERT_TRUE(x.process().waitForFinished(2000));
    EXPECT_EQ(x.process().exitCode(), 0);
}
