// SPDX-License-Identifier: GPL-3.0-or-later
// The database panel standing alone: its controls, Select, Close and Open MDB.
#include "Fixtures.h"

#include "Fakes.h"
#include "ListTexts.h"
#include "database/DatabasePanel.h"
#include "database/ReportList.h"
#include "platform/Twips.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

using database::DatabasePanel;

using fixtures::Folder;

namespace {

// A panel whose main window shows the path given to select(), in both Text3 and Label31 unless the
// test sets them apart.
struct PanelUnderTest {
    QString text3, label31;
    std::shared_ptr<FakeMessageBox> messages = std::make_shared<FakeMessageBox>();
    DatabasePanel panel{nullptr,
                        DatabasePanel::MainWindowView{[this] { return text3; }, [this] { return label31; }},
                        messages, QStringLiteral("/opt/lumsifter"), fixtures::helperProgram()};

    void select(const QString &path) {
        text3 = label31 = path;
        panel.Command18()->click();
    }
};

std::vector<jet4::Object> booksDatabase() {
    jet4::Object titles("Titles");
    titles.columns = {{"Title", jet4::Type::Text, 50}};
    return {titles, fixtures::authors()};
}

} // namespace

TEST(DatabasePanel, HasItsControlsWithCaptionsAndPlaces) {
    PanelUnderTest t;
    EXPECT_EQ(t.panel.objectName(), "Picture6");
    EXPECT_EQ(t.panel.size(), twipsRect(0, 0, 12255, 4215).size());
    EXPECT_TRUE(t.panel.autoFillBackground());
    EXPECT_EQ(t.panel.palette().color(QPalette::Window), QColor(192, 192, 192));
    EXPECT_EQ(t.panel.Label35()->palette().color(QPalette::WindowText), QColor(64, 64, 64));
    struct Control {
        const char *name, *kind, *caption;
        QRect place;
    };
    const Control controls[] = {
        {"Label33", "QLabel", "DESCRIPTION:", twipsRect(240, 120, 1335, 375)},
        {"Label34", "QLabel", "0", twipsRect(1560, 120, 1335, 375)},
        {"Label35", "QLabel", "Select database file path above", twipsRect(9240, 120, 4215, 375)},
        {"List3", "database::ReportListView", nullptr, twipsRect(240, 360, 11895, 1740)},
        {"Label32", "QLabel", "TABLES:", twipsRect(240, 2040, 855, 375)},
        {"Label30", "QLabel", "0", twipsRect(1080, 2040, 1935, 255)},
        {"List2", "QListWidget", nullptr, twipsRect(240, 2400, 11895, 780)},
        {"Command18", "QPushButton", "Select", twipsRect(5400, 3360, 1575, 495)},
        {"Command20", "QPushButton", "DB Info", twipsRect(7080, 3360, 1575, 495)},
        {"Command21", "QPushButton", "DB Properties", twipsRect(8760, 3360, 1575, 495)},
        {"Command19", "QPushButton", "Close", twipsRect(10560, 3360, 1575, 495)},
    };
    const QList<QWidget *> children = t.panel.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    EXPECT_EQ(children.size(), int(std::size(controls)));
    for (const Control &c : controls) {
        auto *w = t.panel.findChild<QWidget *>(c.name);
        ASSERT_TRUE(w) << c.name;
        EXPECT_STREQ(w->metaObject()->className(), c.kind) << c.name;
        EXPECT_EQ(w->geometry(), c.place) << c.name;
        if (auto *label = qobject_cast<QLabel *>(w)) {
            EXPECT_EQ(label->text(), c.caption) << c.name;
        }
        if (auto *button = qobject_cast<QPushButton *>(w)) {
            EXPECT_EQ(button->text(), c.caption) << c.name;
        }
    }
}

TEST(DatabasePanel, SelectListsTheOrdinaryTablesInCatalogOrderWithTheirCount) {
    Folder folder;
    PanelUnderTest t;
    t.select(folder.write("m.mdb", fixtures::mixedCatalog()));
    EXPECT_EQ(itemTexts(*t.panel.List2()), (QStringList{"Local Table", "Second Table"}));
    EXPECT_EQ(t.panel.Label30()->text(), "2");
    EXPECT_TRUE(t.messages->shown.empty());
}

TEST(DatabasePanel, SelectWithAnEmptyPathAsksForOneAndChangesNothing) {
    Folder folder;
    PanelUnderTest t;
    t.select(folder.write("b.mdb", booksDatabase()));
    t.text3.clear();
    t.panel.Command18()->click();
    ASSERT_EQ(t.messages->shown.size(), 1u);
    EXPECT_EQ(t.messages->shown[0].prompt, "Select database file path");
    EXPECT_EQ(t.messages->shown[0].style, 0);
    EXPECT_EQ(t.messages->shown[0].title, "") << "the application title shows";
    EXPECT_EQ(itemTexts(*t.panel.List2()), (QStringList{"Titles", "Authors"}));
    EXPECT_EQ(t.panel.Label30()->text(), "2");
}

TEST(DatabasePanel, SelectOpensThePathOfLabel31) {
    Folder folder;
    PanelUnderTest t;
    t.text3 = QStringLiteral("/not/the/database.mdb");
    t.label31 = folder.write("b.mdb", booksDatabase());
    t.panel.Command18()->click();
    EXPECT_EQ(itemTexts(*t.panel.List2()), (QStringList{"Titles", "Authors"}));
}

TEST(DatabasePanel, ASecondSelectReplacesTheFirstList) {
    Folder folder;
    PanelUnderTest t;
    t.select(folder.write("b.mdb", booksDatabase()));
    t.select(folder.write("m.mdb", fixtures::mixedCatalog()));
    EXPECT_EQ(itemTexts(*t.panel.List2()), (QStringList{"Local Table", "Second Table"}));
    EXPECT_EQ(t.panel.Label30()->text(), "2");
}

TEST(DatabasePanel, WhatIsNoDatabaseGivesAnEmptyListAndNoMessage) {
    Folder folder;
    PanelUnderTest t;
    t.select(folder.write("b.mdb", booksDatabase()));
    t.select(folder.writeBytes("readme.txt", "This is a plain text file and no database at all.\n"));
    EXPECT_TRUE(itemTexts(*t.panel.List2()).isEmpty());
    EXPECT_EQ(t.panel.Label30()->text(), "0");
    t.select(folder.path("missing.mdb"));
    t.select(folder.path(""));
    EXPECT_EQ(t.panel.Label30()->text(), "0");
    EXPECT_TRUE(t.messages->shown.empty());
}

TEST(DatabasePanel, ADatabaseWithOnlySystemTablesListsNothing) {
    Folder folder;
    jet4::Object system("MSysOnly", jet4::ObjectType::Table, 0x80000000u);
    system.columns = {{"ID", jet4::Type::Long}};
    PanelUnderTest t;
    t.select(folder.write("s.mdb", {system}));
    EXPECT_EQ(t.panel.List2()->count(), 0);
    EXPECT_EQ(t.panel.Label30()->text(), "0");
}

TEST(DatabasePanel, CloseHidesAndOpenShowsWithEverythingKept) {
    Folder folder;
    PanelUnderTest t;
    t.panel.open();
    EXPECT_TRUE(t.panel.isVisible());
    t.select(folder.write("b.mdb", booksDatabase()));
    t.panel.List3()->addItem(QStringLiteral("a report line"));
    t.panel.Label34()->setText(QStringLiteral("1"));
    t.panel.Command19()->click();
    EXPECT_FALSE(t.panel.isVisible());
    t.panel.Command19()->click();
    EXPECT_FALSE(t.panel.isVisible());
    t.panel.open();
    t.panel.open();
    EXPECT_TRUE(t.panel.isVisible());
    EXPECT_EQ(itemTexts(*t.panel.List2()), (QStringList{"Titles", "Authors"}));
    EXPECT_EQ(itemTexts(*t.panel.List3()), QStringList{"a report line"});
    EXPECT_EQ(t.panel.Label30()->text(), "2");
    EXPECT_EQ(t.panel.Label34()->text(), "1");
}

TEST(DatabasePanel, ReportsUseTheDemonstrationDatabaseUntilASelectListsAnother) {
    Folder folder;
    PanelUnderTest t;
    EXPECT_EQ(t.panel.connectionString(),
              "Provider=Lumsifter.Access.1;Data Source=/opt/lumsifter/ADODEMO.MDB");
    t.select(folder.writeBytes("readme.txt", "This is a plain text file and no database at all.\n"));
    EXPECT_TRUE(t.panel.connectionString().endsWith("/opt/lumsifter/ADODEMO.MDB")) << "nothing was listed";
    const QString books = folder.write("b.mdb", booksDatabase());
    t.select(books);
    EXPECT_EQ(t.panel.connectionString(), "Provider=Lumsifter.Access.1;Data Source=" + books);
}
