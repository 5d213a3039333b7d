// SPDX-License-Identifier: GPL-3.0-or-later
// The status window's ticks and its overview, driven tick by tick.
#include "AppFixture.h"
#include "platform/TimeText.h"

#include <QSignalSpy>

using app::LumsifterApp;
using status_window::Form2;

using StatusWindow = AppFixture;

TEST_F(StatusWindow, TimersHaveTheirIntervals) {
    app.reset();
    startInSetUp = false;
    platform::Platform p = fakes.platform(appFolder());
    p.component = component;
    LumsifterApp fresh(p);
    Form2 &s = fresh.statusWindow();
    EXPECT_EQ(s.Timer1->interval(), 1);
    EXPECT_EQ(s.Timer2->interval(), 110);
    EXPECT_EQ(s.Timer3->interval(), 110);
    EXPECT_EQ(s.Timer4->interval(), 1000);
    EXPECT_EQ(s.Timer5->interval(), 100);
    EXPECT_TRUE(s.Timer1->isActive() && s.Timer2->isActive() && s.Timer3->isActive() && s.Timer4->isActive());
    EXPECT_FALSE(s.Timer5->isActive());
    EXPECT_EQ(s.Label2.Caption, QStringLiteral("Label2"));
    EXPECT_EQ(s.Caption, QStringLiteral("Form2"));
}

TEST_F(StatusWindow, FolderCountStartsAtOneFromTheFirstCaption) {
    status().on_Timer1_timeout();
    EXPECT_EQ(c().Label6->text(), QStringLiteral("Not Set"));
    EXPECT_EQ(c().Label20->text(), QString()); // the caption reaches Label1 one tick later
    status().on_Timer1_timeout();
    EXPECT_EQ(status().Label1().Caption, QStringLiteral("Not Set"));
    EXPECT_EQ(c().Label20->text(), QStringLiteral("1"));
    status().on_Timer1_timeout();
    EXPECT_EQ(c().Label20->text(), QStringLiteral("1")); // no change, no count
}

TEST_F(StatusWindow, TwoCaptionChangesBetweenTicksCountOnce) {
    status().on_Timer1_timeout();
    status().on_Timer1_timeout();
    form().setWindowTitle(QStringLiteral("/home/a"));
    form().setWindowTitle(QStringLiteral("/home/b"));
    status().on_Timer1_timeout();
    status().on_Timer1_timeout();
    EXPECT_EQ(c().Label20->text(), QStringLiteral("2"));
    EXPECT_EQ(c().Label6->text(), QStringLiteral("/home/b"));
}

TEST_F(StatusWindow, MirrorCopiesCountsDriveAndSelection) {
    c().Label4->setText(QStringLiteral("x"));
    status().on_Timer1_timeout();
    EXPECT_EQ(c().Label4->text(), QStringLiteral("12"));
    EXPECT_EQ(c().Label12->text(), QStringLiteral("1"));
    EXPECT_EQ(c().Text2->text(), QStringLiteral("c: "));
    EXPECT_EQ(c().Label31->text(), QString());
    c().List1->setListIndex(0);
    status().on_Timer1_timeout();
    EXPECT_EQ(c().Label31->text(), QStringLiteral("WELCOME!"));
    c().List1->setListIndex(-1);
    status().on_Timer1_timeout();
    EXPECT_EQ(c().Label31->text(), QString());
}

TEST_F(StatusWindow, TitlePulsesThroughTwelveGreys) {
    std::vector<int> greys;
    for (int tick = 0; tick < 14; ++tick) {
        status().on_Timer2_timeout();
        greys.push_back(c().lblTitle->palette().color(QPalette::WindowText).red());
    }
    EXPECT_EQ(greys, (std::vector<int>{0, 64, 128, 192, 224, 255, 255, 224, 192, 128, 64, 0, 0, 64}));
    const QColor colour = c().lblTitle->palette().color(QPalette::WindowText);
    EXPECT_EQ(colour.red(), colour.green());
    EXPECT_EQ(colour.green(), colour.blue());
}

TEST_F(StatusWindow, TitleStepOutsideTheTableChangesNothing) {
    status().Tag = QStringLiteral("20");
    const QColor before = c().lblTitle->palette().color(QPalette::WindowText);
    status().on_Timer2_timeout();
    EXPECT_EQ(status().Tag, QStringLiteral("21"));
    EXPECT_EQ(c().lblTitle->palette().color(QPalette::WindowText), before);
}

TEST_F(StatusWindow, DurationClockFollowsTheTwoTimes) {
    status().on_Timer4_timeout();
    EXPECT_EQ(c().Label29->text(), QStringLiteral("00:00:00")); // both texts empty before the first search

    status().Text1.Text = platform::timeOfDayText(QTime(10, 0, 0));
    status().Text2.Text = platform::timeOfDayText(QTime(11, 2, 3));
    status().on_Timer4_timeout();
    EXPECT_EQ(status().Label2.Caption, QStringLiteral("01:02:03"));
    EXPECT_EQ(c().Label29->text(), QStringLiteral("01:02:03"));

    status().Text2.Text = QStringLiteral("not a time"); // keeps the last end time
    status().Text1.Text = platform::timeOfDayText(QTime(11, 0, 0));
    status().on_Timer4_timeout();
    EXPECT_EQ(c().Label29->text(), QStringLiteral("00:02:03"));
}

TEST_F(StatusWindow, DurationPastMidnightIsTheRealElapsedTime) {
    status().Text1.Text = platform::timeOfDayText(QTime(23, 59, 30));
    status().Text2.Text = platform::timeOfDayText(QTime(0, 1, 0));
    status().on_Timer4_timeout();
    EXPECT_EQ(c().Label29->text(), QStringLiteral("00:01:30"));
}

TEST_F(StatusWindow, EndTimeTickWritesTheCurrentTime) {
    fakes.clock->now = QTime(14, 15, 16);
    status().on_Timer5_timeout();
    EXPECT_EQ(status().Text2.Text, platform::timeOfDayText(QTime(14, 15, 16)));
}

TEST_F(StatusWindow, CompuStopsTheClockAndReportsWhatStands) {
    status().Timer5->start();
    status().Text1.Text = platform::timeOfDayText(QTime(9, 0, 0));
    status().Text2.Text = platform::timeOfDayText(QTime(9, 0, 0));
    c().Text2->setText(QStringLiteral("d: "));
    status().compu();
    EXPECT_FALSE(status().Timer5->isActive());
    EXPECT_EQ(c().Label29->text(), QStringLiteral("00:00:00"));
    ASSERT_EQ(boxes().size(), 1u);
    const QStringList lines = boxes()[0].prompt.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines[2], QStringLiteral("Overview") + QString(22, u' '));
    EXPECT_EQ(lines[6], QStringLiteral("Duration: 00:00:00"));
    EXPECT_EQ(lines[7], QStringLiteral("Keyword: "));
    EXPECT_EQ(lines[8], QStringLiteral("Result found: 12")); // whatever the list holds
    EXPECT_EQ(lines[9], QStringLiteral("Last Drive searched:d: "));
    EXPECT_FALSE(boxes()[0].prompt.endsWith(QStringLiteral("\r\n")));
}

TEST_F(StatusWindow, TicksGoOnWhileTheMainWindowIsReloaded) {
    QSignalSpy refreshed(app.get(), &LumsifterApp::refreshed);
    emit c().Label16->clicked();
    ASSERT_TRUE(refreshed.wait(2000));
    status().on_Timer1_timeout();
    EXPECT_EQ(c().Label6->text(), QStringLiteral("Not Set"));
    EXPECT_EQ(c().Label4->text(), QStringLiteral("12"));
}
