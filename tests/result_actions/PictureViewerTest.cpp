// SPDX-License-Identifier: GPL-3.0-or-later
// The picture viewer panel and its slideshow, tick by tick.
#include "result_actions/PictureViewer.h"
#include "AppFixture.h"
#include "platform/TimeText.h"

using result_actions::PictureViewer;

namespace {

class Viewer : public AppFixture {
protected:
    PictureViewer &panel() { return form().Picture1(); }
    PictureViewerControls v() { return PictureViewerControls(panel()); }
    void fill(const QStringList &entries) {
        c().List1->clear();
        for (const QString &entry : entries)
            c().List1->addItem(entry);
        c().Label4->setText(QString::number(entries.size())); // as the mirror keeps it
    }
    void tick() { panel().on_Timer1_timeout(); }
};

} // namespace

TEST_F(Viewer, OpensClosesAndSwitchesFrames) {
    c().Command5->click();
    EXPECT_TRUE(panel().isVisibleTo(&form()));
    v().Option1->click();
    EXPECT_TRUE(v().Image1->isVisibleTo(&panel()));
    EXPECT_FALSE(v().Image2->isVisibleTo(&panel()));
    v().Command3->click();
    EXPECT_FALSE(panel().isVisibleTo(&form()));
    c().Command5->click(); // the frame choice survives closing
    EXPECT_TRUE(v().Image1->isVisibleTo(&panel()));
    v().Option2->click();
    EXPECT_FALSE(v().Image1->isVisibleTo(&panel()));
    EXPECT_TRUE(v().Image2->isVisibleTo(&panel()));
}

TEST_F(Viewer, AutoPlayRunsTheTimerAndLocksTheList) {
    v().Check1->setChecked(true);
    EXPECT_TRUE(panel().Timer1().isActive());
    EXPECT_FALSE(c().List1->isEnabled());
    v().Check1->setChecked(false);
    EXPECT_FALSE(panel().Timer1().isActive());
    EXPECT_TRUE(c().List1->isEnabled());
}

TEST_F(Viewer, SlidesStepThroughTheListAndCountFromZero) {
    fill({"/p/1.jpg", "/p/2.jpg", "/p/3.jpg", "/p/4.jpg", "/p/5.jpg"});
    v().Text7->setText(QStringLiteral("no-such-name"));
    v().Check1->setChecked(true);
    tick();
    EXPECT_EQ(c().List1->listIndex(), 0);
    EXPECT_EQ(c().Text3->text(), QStringLiteral("/p/1.jpg"));
    EXPECT_EQ(v().Label19->text(), QStringLiteral("0 of 5"));
    for (int i = 0; i < 6; ++i)
        tick(); // past the last entry the selection stays there
    EXPECT_EQ(c().List1->listIndex(), 4);
    EXPECT_EQ(v().Label19->text(), QStringLiteral("4 of 5"));
    EXPECT_TRUE(panel().Timer1().isActive()); // it keeps ticking on the last entry
}

TEST_F(Viewer, IntervalFollowsTheChosenSeconds) {
    fill({"/p/1.jpg", "/p/2.jpg"});
    v().Check1->setChecked(true);
    v().Combo1->setCurrentIndex(0); // ".1"
    tick();
    EXPECT_EQ(panel().Timer1().interval(), 100);
    v().Combo1->setCurrentText(QStringLiteral("5"));
    tick();
    EXPECT_EQ(panel().Timer1().interval(), 5000);
}

TEST_F(Viewer, StopsAtATypedNameWithItsCaseAndSaysSo) {
    fill({"/p/Home.jpg", "/p/myhome.jpg", "/p/last.jpg"});
    v().Text7->setText(QStringLiteral("home.jpg"));
    v().Check1->setChecked(true);
    tick(); // "Home.jpg" differs in case: no stop
    EXPECT_TRUE(panel().Timer1().isActive());
    EXPECT_TRUE(boxes().empty());
    tick(); // "myhome.jpg" ends with the typed name
    EXPECT_EQ(c().List1->listIndex(), 1);
    EXPECT_FALSE(panel().Timer1().isActive());
    EXPECT_TRUE(c().List1->isEnabled());
    EXPECT_TRUE(v().Check1->isChecked());
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].prompt, QStringLiteral("File has been found!"));
    EXPECT_EQ(boxes()[0].style, 64);
    EXPECT_EQ(boxes()[0].title, platform::timeOfDayText(fakes.clock->now));
}

TEST_F(Viewer, AnEmptyNameStopsAfterEverySingleStep) {
    fill({"/p/1.jpg", "/p/2.jpg", "/p/3.jpg"});
    for (int expected = 0; expected < 2; ++expected) {
        v().Check1->setChecked(false);
        v().Check1->setChecked(true);
        tick();
        EXPECT_EQ(c().List1->listIndex(), expected);
        EXPECT_FALSE(panel().Timer1().isActive());
    }
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Viewer, AnEmptyListCountsMinusOneOfZero) {
    fill({});
    v().Text7->setText(QStringLiteral("x.jpg"));
    v().Check1->setChecked(true);
    tick();
    EXPECT_EQ(v().Label19->text(), QStringLiteral("-1 of 0"));
}

TEST_F(Viewer, ClosingDuringASlideshowStopsItAndFreesTheList) {
    c().Command5->click();
    v().Check1->setChecked(true);
    v().Command3->click();
    EXPECT_FALSE(panel().Timer1().isActive());
    EXPECT_TRUE(c().List1->isEnabled());
    EXPECT_FALSE(v().Check1->isChecked());
    c().Command5->click();
    EXPECT_FALSE(v().Check1->isChecked());
}
