// SPDX-License-Identifier: GPL-3.0-or-later
// The single-location and the all-drives search, on a fake component and fake drives.
#include "AppFixture.h"
#include "platform/TimeText.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

using app::LumsifterApp;

namespace {

class Search : public AppFixture {
protected:
    void SetUp() override {
        fakes.volumes->list = {{'C', "/"}, {'D', "/data"}};
        AppFixture::SetUp();
        component->found[QStringLiteral("/")] = {QStringLiteral("/pics/a.jpg"),
                                                 QStringLiteral("/pics/b.jpg")};
        component->found[QStringLiteral("/data")] = {QStringLiteral("/data/c.jpg")};
        status().on_Timer1_timeout(); // the mirror fills Text2 from the drive selector
    }

    QString now() const { return platform::timeOfDayText(fakes.clock->now); }

    QStringList entries() {
        QStringList out;
        for (int i = 0; i < c().List1->listCount(); ++i)
            out << c().List1->itemText(i);
        return out;
    }
};

} // namespace

TEST_F(Search, FindsIntoTheListAndReportsTheOverview) {
    c().Text1->setEditText(QStringLiteral("*.jpg"));
    c().Text3->setText(QStringLiteral("old selection"));
    bool disabledDuringCall = false;
    component->during = [&] { disabledDuringCall = !form().isEnabled(); };
    fakes.clock->now = QTime(10, 0, 0);
    component->during = [&] {
        disabledDuringCall = !form().isEnabled();
        fakes.clock->now = QTime(10, 1, 5);
    };

    c().Command1->click();

    ASSERT_EQ(component->calls.size(), 1u);
    EXPECT_EQ(component->calls[0].folder, QStringLiteral("/"));
    EXPECT_EQ(component->calls[0].pattern, QStringLiteral("*.jpg"));
    EXPECT_TRUE(disabledDuringCall);
    EXPECT_TRUE(form().isEnabled());
    EXPECT_EQ(entries(), QStringList({"/pics/a.jpg", "/pics/b.jpg"}));
    EXPECT_EQ(c().Text3->text(), QString());
    EXPECT_EQ(form().windowTitle(), QStringLiteral("Finish search!"));
    EXPECT_EQ(c().Label4->text(), QStringLiteral("2"));
    EXPECT_FALSE(status().Timer5->isActive());
    EXPECT_EQ(c().Label29->text(), QStringLiteral("00:01:05"));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].title, QStringLiteral("Search Result"));
    EXPECT_EQ(boxes()[0].style, 64);
    EXPECT_EQ(boxes()[0].prompt,
              QStringLiteral("LUMSIFTER FINISHED!\r\n\r\nOverview                      \r\n\r\n"
                             "Start Time: ") +
                  platform::timeOfDayText(QTime(10, 0, 0)) + QStringLiteral("\r\nEnd Time: ") +
                  platform::timeOfDayText(QTime(10, 1, 5)) +
                  QStringLiteral("\r\nDuration: 00:01:05\r\nKeyword: *.jpg\r\nResult found: "
                                 "2\r\nLast Drive searched:c: "));
}

TEST_F(Search, EnterInThePatternBoxSearchesLikeTheButton) {
    c().Text1->setEditText(QStringLiteral("*.jpg"));
    QTest::keyClick(c().Text1, Qt::Key_Return);
    ASSERT_EQ(component->calls.size(), 1u);
    QTest::keyClick(c().Text1->lineEdit(), Qt::Key_Enter);
    ASSERT_EQ(component->calls.size(), 2u);
    EXPECT_EQ(c().List1->listCount(), 2);
    EXPECT_EQ(boxes().size(), 2u);
    EXPECT_EQ(c().Text1->count(), 14); // Enter adds nothing to the pattern list
}

TEST_F(Search, EmptyPatternOnlyResetsTheClock) {
    c().Label29->setText(QStringLiteral("00:09:09"));
    status().setLabel1Tag(QStringLiteral("17"));
    c().Text3->setText(QStringLiteral("kept"));
    c().Command1->click();
    EXPECT_TRUE(status().Timer5->isActive());
    EXPECT_EQ(c().Label29->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(status().Text1.Text, now());
    EXPECT_EQ(status().Label1().Tag, QStringLiteral("0"));
    EXPECT_TRUE(component->calls.empty());
    EXPECT_EQ(c().List1->listCount(), 12);
    EXPECT_EQ(c().Text3->text(), QStringLiteral("kept"));
    EXPECT_EQ(form().windowTitle(), QStringLiteral("Not Set"));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Search, APatternOfBlanksIsSearched) {
    c().Text1->setEditText(QStringLiteral("  "));
    c().Command1->click();
    ASSERT_EQ(component->calls.size(), 1u);
    EXPECT_EQ(component->calls[0].pattern, QStringLiteral("  "));
}

TEST_F(Search, NoMatchStillFinishesAndReports) {
    c().Text1->setEditText(QStringLiteral("nothing.here"));
    component->found.clear();
    c().Command1->click();
    EXPECT_EQ(c().List1->listCount(), 0);
    EXPECT_EQ(c().Label4->text(), QStringLiteral("0"));
    EXPECT_EQ(form().windowTitle(), QStringLiteral("Finish search!"));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_TRUE(boxes()[0].prompt.contains(QStringLiteral("\r\nResult found: 0\r\n")));
}

TEST_F(Search, AMissingComponentGivesAnEmptyListAndTheOverview) {
    app.reset();
    component.reset();
    platform::Platform p = fakes.platform(appFolder());
    p.componentFile = appFolder() + QStringLiteral("/Lumsift.ocx"); // not there
    app = std::make_unique<LumsifterApp>(p);
    app->start();
    status().stopTimers();
    c().Text1->setEditText(QStringLiteral("*.jpg"));
    c().Command1->click();
    EXPECT_EQ(c().List1->listCount(), 0);
    EXPECT_EQ(c().Label4->text(), QStringLiteral("0"));
    EXPECT_TRUE(form().isEnabled());
    EXPECT_EQ(boxes().size(), 1u);
}

TEST_F(Search, ASecondSearchReplacesTheFirst) {
    c().Text1->setEditText(QStringLiteral("*.jpg"));
    c().Command11->click(); // all drives: C: and D:
    const int afterAll = c().List1->listCount();
    component->found[QStringLiteral("/")] = {QStringLiteral("/x/only.jpg")};
    status().on_Timer1_timeout(); // Text2 follows the drive selector again
    c().Drive1->setDrive(QStringLiteral("C:"));
    status().on_Timer1_timeout();
    c().Command1->click();
    EXPECT_GT(afterAll, 1);
    EXPECT_EQ(entries(), QStringList({"/x/only.jpg"}));
}

TEST_F(Search, AllDrivesAsksFirstWithTheTimeAsTitle) {
    c().Text1->setEditText(QStringLiteral("*.jpg"));
    fakes.messages->answers = {platform::Answer::No};
    c().Label29->setText(QStringLiteral("00:05:00"));
    c().Command11->click();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].prompt,
              QStringLiteral(
                  "Are you sure you want to search *.jpg in all drives?\r\nThis will take long search and "
                  "cannot be stop once started.\r\nDo you want to continue?"));
    EXPECT_EQ(boxes()[0].style, 36);
    EXPECT_EQ(boxes()[0].title, now());
    EXPECT_TRUE(status().Timer5->isActive());
    EXPECT_EQ(c().Label29->text(), QStringLiteral("00:00:00"));
    EXPECT_TRUE(component->calls.empty());
    EXPECT_EQ(c().List1->listCount(), 12);
}

TEST_F(Search, AllDrivesWithEmptyPatternAsksNothing) {
    c().Command11->click();
    EXPECT_TRUE(boxes().empty());
    EXPECT_TRUE(status().Timer5->isActive());
}

TEST_F(Search, AllDrivesAccumulatesEveryDriveOfTheCount) {
    c().Text1->setEditText(QStringLiteral("*.jpg"));
    c().Label12->setText(QStringLiteral("3")); // C:, D: and E:; there is no E:
    c().Command11->click();
    ASSERT_EQ(component->calls.size(), 2u);
    EXPECT_EQ(component->calls[0].folder, QStringLiteral("/"));
    EXPECT_EQ(component->calls[1].folder, QStringLiteral("/data"));
    EXPECT_EQ(entries(), QStringList({"/pics/a.jpg", "/pics/b.jpg", "/data/c.jpg"}));
    EXPECT_EQ(c().Label4->text(), QStringLiteral("3"));
    EXPECT_EQ(c().Drive1->drive(), QStringLiteral("d: [/data]")); // the last letter that could be selected
    EXPECT_EQ(c().Text2->text(), QStringLiteral("E:"));
    EXPECT_EQ(form().windowTitle(), QStringLiteral("Finish search!"));
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_TRUE(boxes()[1].prompt.endsWith(QStringLiteral("Result found: 3\r\nLast Drive searched:E:")));
}

TEST_F(Search, AllDrivesWithACountOutsideOneToFiveSearchesNothingButReports) {
    for (const char *count : {"0", "6"}) {
        fakes.messages->shown.clear();
        c().Text1->setEditText(QStringLiteral("*.jpg"));
        c().Label12->setText(QString::fromLatin1(count));
        c().Label4->setText(QStringLiteral("12"));
        c().Text3->setText(QStringLiteral("selected"));
        status().Text1.Text.clear();
        status().Text2.Text.clear();
        c().Command11->click();
        EXPECT_TRUE(component->calls.empty()) << count;
        EXPECT_EQ(c().List1->listCount(), 12) << count;
        EXPECT_EQ(c().Label4->text(), QStringLiteral("12")) << count;
        EXPECT_EQ(form().windowTitle(), QStringLiteral("Not Set")) << count;
        EXPECT_EQ(c().Text3->text(), QString()) << count;
        EXPECT_EQ(status().Text1.Text, now()) << count;
        EXPECT_EQ(status().Text2.Text, now()) << count;
        ASSERT_EQ(boxes().size(), 2u) << count;
        EXPECT_TRUE(boxes()[1].prompt.contains(QStringLiteral("Result found: 12"))) << count;
    }
}
