// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's general commands: fade-in, refresh, Exit, About, Help, the key filter.
#include "AppFixture.h"
#include "result_actions/PictureViewer.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using app::LumsifterApp;
using status_window::Form2;

using Form1Reactions = AppFixture;

TEST_F(Form1Reactions, FadeRisesByFiveAndStopsAt230) {
    form().Timer2().stop();
    std::vector<int> alphas;
    for (int tick = 0; tick < 46; ++tick) {
        form().on_Timer2_timeout();
        alphas.push_back(form().lngAlpha());
    }
    EXPECT_EQ(alphas.front(), 5);
    EXPECT_EQ(alphas[1], 10);
    EXPECT_EQ(alphas.back(), 230);
    EXPECT_FALSE(form().Timer2().isActive());
    EXPECT_NEAR(form().windowOpacity(), 230 / 255.0, 0.01);
    EXPECT_EQ(c().Label1->property("Tag").toString(), QStringLiteral("230"));
}

TEST_F(Form1Reactions, RealTimerFadesInTo230) {
    QTRY_VERIFY_WITH_TIMEOUT(!form().Timer2().isActive(), 5000);
    EXPECT_EQ(form().lngAlpha(), 230);
}

TEST_F(Form1Reactions, RefreshReloadsTheMainWindowAndKeepsTheStatusWindow) {
    c().Text1->setEditText(QStringLiteral("*.jpg"));
    c().Text3->setText(QStringLiteral("/tmp/a.jpg"));
    c().Label4->setText(QStringLiteral("7"));
    c().Label29->setText(QStringLiteral("00:01:02"));
    c().List1->clear();
    status().setLabel1Tag(QStringLiteral("41"));
    status().Text1.Text = QStringLiteral("start");
    Form2 *statusBefore = &status();

    QSignalSpy refreshed(app.get(), &LumsifterApp::refreshed);
    emit c().Label16->clicked();
    ASSERT_TRUE(refreshed.wait(2000));

    EXPECT_EQ(c().List1->listCount(), 12);
    EXPECT_EQ(c().Text1->currentText(), QString());
    EXPECT_EQ(c().Text3->text(), QString());
    EXPECT_EQ(c().Label4->text(), QStringLiteral("0"));
    EXPECT_EQ(c().Label29->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(form().windowTitle(), QStringLiteral("Not Set"));
    EXPECT_EQ(form().lngAlpha(), 230);
    EXPECT_NEAR(form().windowOpacity(), 230 / 255.0, 0.01);
    EXPECT_FALSE(form().Timer2().isActive());
    EXPECT_EQ(c().Label12->text(), QStringLiteral("1"));
    EXPECT_EQ(&status(), statusBefore);
    EXPECT_EQ(status().Label1().Tag, QStringLiteral("41"));
    EXPECT_EQ(status().Text1.Text, QStringLiteral("start"));
}

TEST_F(Form1Reactions, ExitAsksAndNoChangesNothing) {
    fakes.messages->answers = {platform::Answer::No};
    c().Command2->click();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].prompt, QStringLiteral("Exit now?"));
    EXPECT_EQ(boxes()[0].style, 36);
    EXPECT_EQ(boxes()[0].title, QStringLiteral("Confirm"));
    EXPECT_FALSE(app->hasEnded());
    EXPECT_NE(app->form1(), nullptr);
    EXPECT_TRUE(form().isVisible());
}

TEST_F(Form1Reactions, ExitYesEndsTheProgramAndEveryTimer) {
    status().Timer1->start();
    fakes.messages->answers = {platform::Answer::Yes};
    QSignalSpy ended(app.get(), &LumsifterApp::ended);
    c().Command2->click();
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(app->hasEnded());
    for (QTimer *timer :
         {status().Timer1, status().Timer2, status().Timer3, status().Timer4, status().Timer5})
        EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(form().Timer2().isActive());
    EXPECT_FALSE(form().isVisible());
}

TEST_F(Form1Reactions, ClosingTheWindowEndsTheProgram) {
    QSignalSpy ended(app.get(), &LumsifterApp::ended);
    form().close();
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(Form1Reactions, AboutAndHelpShowTheirTexts) {
    c().Command6->click();
    c().Command7->click();
    ASSERT_EQ(boxes().size(), 2u);
    const QStringList about = boxes()[0].prompt.split(QStringLiteral("\r\n"));
    ASSERT_EQ(about.size(), 7);
    EXPECT_EQ(about[0], QStringLiteral("KORVA'S FILE MANAGER UTILITY"));
    EXPECT_EQ(about[1], QString());
    EXPECT_EQ(about[4], QStringLiteral("Created by Halvekor"));
    EXPECT_TRUE(about[6].startsWith(u' '));
    EXPECT_EQ(boxes()[0].style, 64);
    EXPECT_EQ(boxes()[0].title, QStringLiteral("About"));
    EXPECT_EQ(
        boxes()[1].prompt,
        QStringLiteral("Place this application in C:/, D:/ , E:/ or any other Drive together with the file "
                       "'Lumsift.ocx'.\r\nDo not place this in any FOLDER or SUBFOLDER.\r\n"));
    EXPECT_EQ(boxes()[1].style, 64);
    EXPECT_EQ(boxes()[1].title, QStringLiteral("HELP"));
}

TEST_F(Form1Reactions, KeysTypedIntoTheIntervalBoxChangeNothing) {
    QComboBox *combo = PictureViewerControls(form().Picture1()).Combo1;
    for (QWidget *target : {static_cast<QWidget *>(combo), static_cast<QWidget *>(combo->lineEdit())}) {
        QTest::keyClicks(target, QStringLiteral("9x"));
        QTest::keyClick(target, Qt::Key_Backspace);
    }
    EXPECT_EQ(combo->currentText(), QStringLiteral("3"));
    combo->setCurrentIndex(0);
    EXPECT_EQ(combo->currentText(), QStringLiteral(".1"));
}

TEST_F(Form1Reactions, ClickOnLookInShowsTheDriveSelector) {
    emit c().Text2->clicked();
    EXPECT_TRUE(c().Drive1->isVisibleTo(&form()));
}
