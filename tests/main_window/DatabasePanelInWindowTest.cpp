// SPDX-License-Identifier: GPL-3.0-or-later
// The database panel in the main window: Open MDB, and both reports on the demonstration database.
#include "AppFixture.h"
#include "ListTexts.h"
#include "database/DatabasePanel.h"
#include "database/ReportList.h"
#include "platform/Twips.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>

using database::DatabasePanel;

namespace {

class DatabaseInWindow : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        demo = appFolder() + QStringLiteral("/ADODEMO.MDB");
        ASSERT_TRUE(QFile::copy(builtProgramFolder() + QStringLiteral("/ADODEMO.MDB"), demo));
    }
    DatabasePanel &panel() { return form().Picture6(); }
    // Selects the path in List1 and lets the mirror copy it into Label31, as a click would.
    void selectInResults(const QString &path) {
        c().List1->clear();
        c().List1->addItem(path);
        ASSERT_TRUE(c().List1->setListIndex(0));
        status().on_Timer1_timeout();
    }
    QString demo;
};

} // namespace

TEST_F(DatabaseInWindow, OpenMdbShowsThePanelInItsPlace) {
    EXPECT_FALSE(panel().isVisibleTo(&form()));
    c().Command17->click();
    EXPECT_TRUE(panel().isVisibleTo(&form()));
    EXPECT_EQ(panel().geometry(), twipsRect(240, 3960, 12255, 4215));
    panel().Command19()->click();
    EXPECT_FALSE(panel().isVisibleTo(&form()));
}

TEST_F(DatabaseInWindow, TheSelectedDemonstrationDatabaseListsAndReports) {
    selectInResults(demo);
    c().Command17->click();
    panel().Command18()->click();
    const QStringList tables = itemTexts(*panel().List2());
    ASSERT_TRUE(tables.contains(QStringLiteral("Authors"))) << tables.join(u',').toStdString();
    EXPECT_EQ(panel().Label30()->text(), QString::number(tables.size()));

    panel().List2()->setCurrentRow(int(tables.indexOf(QStringLiteral("Authors"))));
    panel().Command20()->click();
    QStringList report = itemTexts(*panel().List3());
    ASSERT_FALSE(report.isEmpty());
    EXPECT_EQ(report.first(), QStringLiteral("Opening Access Database ADODEMO.MDB..."));
    EXPECT_EQ(report.last(), QStringLiteral("*** Success! ***"));
    EXPECT_EQ(panel().Label34()->text(), QString::number(report.size()));

    panel().Command21()->click();
    report = itemTexts(*panel().List3());
    EXPECT_TRUE(
        report.first().startsWith(QStringLiteral("*** *** *** *** *** Dumping contents of the Properties "
                                                 "Collection for the Connection object")));
    EXPECT_EQ(report.last(), QStringLiteral("*** Success! ***"));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(DatabaseInWindow, SelectWithoutAPathAsksForOne) {
    c().Text3->clear();
    panel().Command18()->click();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].prompt, QStringLiteral("Select database file path"));
    EXPECT_EQ(boxes()[0].style, 0);
}
