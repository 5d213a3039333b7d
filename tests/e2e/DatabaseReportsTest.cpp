// SPDX-License-Identifier: GPL-3.0-or-later
// The real program opens a database that a search found and prints both reports.
#include "TempFolder.h"
#include "X11Driver.h"
#include "platform/Twips.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

namespace {

// A point inside the database panel, given in twips relative to the panel.
QPoint inPanel(int left, int top, int width, int height) {
    return twipsRect(240, 3960, 0, 0).topLeft() + twipsRect(left, top, width, height).center();
}

} // namespace

TEST(DatabaseReports, BothReportsRunOnTheDemonstrationDatabase) {
    X11Driver x;
    ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
    TempFolder tree(QStringLiteral("lumsifter-e2e"));
    const QString name =
        QStringLiteral("e2e-") + QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".mdb");
    ASSERT_TRUE(QFile::copy(x.programFolder() + QStringLiteral("/ADODEMO.MDB"), tree.filePath(name)));

    x.start();
    const QString window = x.waitForWindow(QStringLiteral("Not Set"));
    ASSERT_FALSE(window.isEmpty());
    const QPoint patternBox = twipsRect(4440, 5760, 4335, 360).center();
    x.click(window, patternBox.x(), patternBox.y());
    x.type(window, name);
    x.key(window, QStringLiteral("Return"));
    const QString overview = x.waitForWindow(QStringLiteral("Search Result"), 90000);
    ASSERT_FALSE(overview.isEmpty());
    x.key(overview, QStringLiteral("Return"));

    const QPoint firstResult = twipsRect(360, 600, 12135, 2940).topLeft() + QPoint(60, 8);
    x.click(window, firstResult.x(), firstResult.y());
    const QPoint openMdb = twipsRect(6360, 6720, 2055, 735).center();
    x.click(window, openMdb.x(), openMdb.y());
    const QPoint select = inPanel(5400, 3360, 1575, 495);
    x.click(window, select.x(), select.y());
    QThread::msleep(1000);
    const QPoint firstTable =
        twipsRect(240, 3960, 0, 0).topLeft() + twipsRect(240, 2400, 0, 0).topLeft() + QPoint(60, 8);
    x.click(window, firstTable.x(), firstTable.y()); // Authors, the first table
    const QPoint dbInfo = inPanel(7080, 3360, 1575, 495);
    x.click(window, dbInfo.x(), dbInfo.y());
    QThread::msleep(1500);
    const QString shots = QDir::current().filePath(QStringLiteral("e2e-screenshots"));
    EXPECT_TRUE(x.screenshot(shots + QStringLiteral("/db-info.png")));
    const QPoint dbProperties = inPanel(8760, 3360, 1575, 495);
    x.click(window, dbProperties.x(), dbProperties.y());
    QThread::msleep(1500);
    EXPECT_TRUE(x.screenshot(shots + QStringLiteral("/db-properties.png")));

    EXPECT_EQ(x.process().state(), QProcess::Running);
    const QPoint close = inPanel(10560, 3360, 1575, 495); // the panel lies over the action row
    x.click(window, close.x(), close.y());
    const QPoint exit = twipsRect(10440, 6720, 2055, 735).center();
    x.click(window, exit.x(), exit.y());
    const QString confirm = x.waitForWindow(QStringLiteral("Confirm"));
    ASSERT_FALSE(confirm.isEmpty());
    x.key(confirm, QStringLiteral("Return"));
    EXPECT_TRUE(x.process().waitForFinished(2000));
}
