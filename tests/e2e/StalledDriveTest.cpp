// SPDX-License-Identifier: GPL-3.0-or-later
// A drive that stopped answering, as a share whose server went away does: the program starts, lists
// it, keeps its drive count current and ends as usual.
#include "AtSpi.h"
#include "PrivateDesktop.h"
#include "StallingMount.h"
#include "X11Driver.h"
#include "platform/Twips.h"
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

// Searching all drives, the dead one among them: its search gives up, the next drive is searched, the
// overview ends the run and Exit ends the program.
TEST(StalledDrive, SearchingAllDrivesGivesUpTheDeadOneAndEndsWithTheOverview) {
    const std::optional<StallingMount> mount = StallingMount::current();
    if (!mount)
        return StallingMount::runCurrentTestInside();
    X11Driver x;
    ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
    x.start();
    const QString window = x.waitForWindow(QStringLiteral("Not Set"), 3000);
    ASSERT_FALSE(window.isEmpty());
    mount->stall();
    const QPoint patternBox = twipsRect(4440, 5760, 4335, 360).center();
    x.click(window, patternBox.x(), patternBox.y());
    x.type(window, QStringLiteral("no-such-file-anywhere.none"));
    const QPoint allDrives = twipsRect(10320, 5760, 2175, 375).center();
    x.click(window, allDrives.x(), allDrives.y());
    ASSERT_TRUE(x.closeTimeTitledBox()) << "no question before searching all drives"; // Yes
    const QString overview = x.waitForWindow(QStringLiteral("Search Result"), 80000);
    ASSERT_FALSE(overview.isEmpty()) << "the search of all drives did not end";
    x.key(overview, QStringLiteral("Return"));
    ASSERT_TRUE(x.exitProgram(window));
    // The window closes at once. The process itself ends only once the readers it left in the dead
    // file system return, which the kernel holds until the mount answers (the mount's end does that).
    QElapsedTimer closing;
    closing.start();
    while (!x.waitForWindow(QStringLiteral("Not Set"), 100).isEmpty() && closing.elapsed() < 2000)
        QThread::msleep(100);
    EXPECT_LT(closing.elapsed(), 2000) << "the window was still there two seconds after Yes";
}
