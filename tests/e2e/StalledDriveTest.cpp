// SPDX-License-Identifier: GPL-3.0-or-later
// A drive that stopped answering, as a share whose server went away does: the program starts, lists
// it, keeps its drive count current and ends as usual.
#include "AtSpi.h"
#include "PrivateDesktop.h"
#include "StallingMount.h"
#include "X11Driver.h"
#include "platform/Volumes.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The drive count, as assistive tools read it: the label just before "drive(s) found".
QString driveCount(AtSpi &tools) {
    const std::vector<AtSpi::Object> objects = tools.waitFor(
        QStringLiteral("Lumsifter"),
        [](const AtSpi::Object &o) { return o.name == QStringLiteral("drive(s) found"); }, 3000);
    const auto label = std::find_if(objects.begin(), objects.end(), [](const AtSpi::Object &o) {
        return o.name == QStringLiteral("drive(s) found");
    });
    return label == objects.end() || label == objects.begin() ? QString() : (label - 1)->name;
}

} // namespace

TEST(StalledDrive, TheWindowShowsAtOnceWithTheDriveListedAndItsCountKeptCurrent) {
    const std::optional<StallingMount> mount = StallingMount::current();
    if (!mount)
        return StallingMount::runCurrentTestInside();
    X11Driver x;
    ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
    PrivateDesktop desktop(true);
    ASSERT_TRUE(desktop.ready()) << desktop.failure().toStdString();
    const std::vector<platform::Drive> drives = platform::MountedVolumes().drives();
    ASSERT_TRUE(std::any_of(drives.begin(), drives.end(),
                            [&](const platform::Drive &d) { return d.mountPoint == mount->folder(); }));
    mount->stall();

    QElapsedTimer started;
    started.start();
    x.start(desktop.environment());
    QString window = x.waitForWindow(QStringLiteral("Not Set"), 3000);
    ASSERT_FALSE(window.isEmpty()) << "no window within 3 s";
    AtSpi tools(desktop.busAddress());
    ASSERT_TRUE(tools.connected()) << "no accessibility bus";
    EXPECT_EQ(driveCount(tools), QString::number(drives.size()));

    // The refresh reads the drives again, and the status window writes their count into the new window.
    x.key(window, QStringLiteral("F5"));
    QThread::msleep(500);
    window = x.waitForWindow(QStringLiteral("Not Set"), 3000);
    ASSERT_FALSE(window.isEmpty()) << "no window within 3 s of the refresh";
    EXPECT_EQ(driveCount(tools), QString::number(drives.size()));

    ASSERT_TRUE(x.exitProgram(window));
    EXPECT_TRUE(x.process().waitForFinished(2000)) << "still running two seconds after Yes";
}
