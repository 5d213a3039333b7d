// SPDX-License-Identifier: GPL-3.0-or-later
// The real program on a real X server: it opens its window and Exit ends it.
#include "X11Driver.h"
#include "platform/Twips.h"

#include <QDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

QString shotFolder() {
    return QDir::current().filePath(QStringLiteral("e2e-screenshots"));
}

QPoint centreOf(const QRect &rect) {
    return rect.center();
}

} // namespace

TEST(StartAndExit, WindowOpensAtItsSizeAndExitEndsTheProgram) {
    X11Driver x;
    ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
    x.start();
    const QString window = x.waitForWindow(QStringLiteral("Not Set"));
    ASSERT_FALSE(window.isEmpty()) << "no window titled Not Set";
    EXPECT_EQ(x.geometry(window).size(), QSize(851, 568));
    QThread::msleep(500); // the fade-in
    EXPECT_TRUE(x.screenshot(shotFolder() + QStringLiteral("/main-window.png")));

    const QPoint exit = centreOf(twipsRect(10440, 6720, 2055, 735));
    x.click(window, exit.x(), exit.y());
    const QString confirm = x.waitForWindow(QStringLiteral("Confirm"));
    ASSERT_FALSE(confirm.isEmpty()) << "no Confirm box";
    x.key(confirm, QStringLiteral("Return")); // Yes is the default button

    ASSERT_TRUE(x.process().waitForFinished(2000)) << "still running two seconds after Yes";
    EXPECT_EQ(x.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(x.process().exitCode(), 0);
}

TEST(StartAndExit, AnsweringNoKeepsTheProgramRunning) {
    X11Driver x;
    ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
    x.start();
    const QString window = x.waitForWindow(QStringLiteral("Not Set"));
    ASSERT_FALSE(window.isEmpty());
    const QPoint exit = centreOf(twipsRect(10440, 6720, 2055, 735));
    x.click(window, exit.x(), exit.y());
    const QString confirm = x.waitForWindow(QStringLiteral("Confirm"));
    ASSERT_FALSE(confirm.isEmpty());
    x.key(confirm, QStringLiteral("n")); // the No button's mnemonic
    EXPECT_FALSE(x.process().waitForFinished(1000));
    EXPECT_FALSE(x.waitForWindow(QStringLiteral("Not Set"), 2000).isEmpty());
}
