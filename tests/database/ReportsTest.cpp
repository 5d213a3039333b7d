// SPDX-License-Identifier: GPL-3.0-or-later
// "DB Info" and "DB Properties" through the panel, compared with their golden files under
// tests/database/golden/, with Label34.
#include "Fixtures.h"

#include "Fakes.h"
#include "Golden.h"
#include "ListTexts.h"
#include "database/DatabasePanel.h"
#include "database/ReportList.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using database::DatabasePanel;

using fixtures::Folder;

namespace {

const QString T = QStringLiteral("\t");

QString golden(const char *name) {
    return QStringLiteral(LUMSIFTER_GOLDEN_DIR "/") + QLatin1String(name);
}

struct Panel {
    QString path;
    DatabasePanel panel;

    explicit Panel(const QString &applicationFolder = QStringLiteral("/opt/lumsifter"),
                   const QString &helper = fixtures::helperProgram())
        : panel(nullptr, DatabasePanel::MainWindowView{[this] { return path; }, [this] { return path; }},
                std::make_shared<FakeMessageBox>(), applicationFolder, helper) {}

    // Select on a database, then pick a table of the list.
    void select(const QString &database, const QString &table = {}) {
        path = database;
        panel.Command18()->click();
        for (QListWidgetItem *item : panel.List2()->findItems(table, Qt::MatchExactly))
            item->setSelected(!table.isEmpty());
    }

    QStringList dbInfo() {
        panel.Command20()->click();
        return itemTexts(*panel.List3());
    }

    QStringList dbProperties() {
        panel.Command21()->click();
        return itemTexts(*panel.List3());
    }

    QString count() const { return panel.Label34()->text(); }
};

const QString adoHeader = QStringLiteral("*** ADO ERROR CONDITION! ***");

// The helpers this test process started.
void killHelpers() {
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> after = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (line.contains("(lumsifter-dbhos") && after.size() > 1 && after[1].toInt() == getpid())
            ::kill(pid.toInt(), SIGKILL);
    }
}

} // namespace

TEST(DatabaseReport, ListsEveryRecordAndNineLinesPerColumn) {
    Folder folder;
    Panel p;
    p.select(folder.write("a.mdb", {fixtures::authors()}), "Authors");
    EXPECT_TRUE(matchesGolden(golden("authors-db-info.txt"), p.dbInfo()));
    EXPECT_EQ(p.count(), "41");
    EXPECT_EQ(p.panel.reportState().lastErrorNumber, "") << "no error so far";
}

TEST(DatabaseReport, ATableOfThreeColumnsGivesThirtyColumnLines) {
    Folder folder;
    Panel p;
    p.select(folder.write("a.mdb", {fixtures::authors()}), "Authors");
    const QStringList lines = p.dbInfo();
    const qsizetype from = lines.indexOf("Dumping properties of each column in the recordset...");
    const qsizetype to = lines.indexOf("*** Success! ***");
    EXPECT_EQ(to - from - 1, 30);
    EXPECT_EQ(lines.filter(QRegularExpression("^    Field #")),
              (QStringList{"    Field #0", "    Field #1", "    Field #2"}));
}

TEST(DatabaseReport, AnEmptyTableEndsInTheErrorReportsAfterRequery) {
    jet4::Object empty = fixtures::authors();
    empty.rows.clear();
    Folder folder;
    Panel p;
    p.select(folder.write("e.mdb", {empty}), "Authors");
    const QStringList lines = p.dbInfo();
    EXPECT_TRUE(matchesGolden(golden("empty-table-db-info.txt"), lines));
    EXPECT_EQ(p.count(), QString::number(lines.size()));
    EXPECT_EQ(p.panel.reportState().lastErrorNumber, "-2146825267");
    EXPECT_EQ(p.panel.reportState().lastErrorSource, "ADO.Field");
    EXPECT_EQ(p.panel.reportState().lastErrorDescription,
              QStringLiteral("There is no current record: the result is at its end."));
}

TEST(DatabaseReport, NoSelectedTableIsRejectedAfterTheCommandLine) {
    Folder folder;
    Panel p;
    p.select(folder.write("a.mdb", {fixtures::authors()}));
    ASSERT_EQ(p.panel.List2()->count(), 1);
    EXPECT_TRUE(matchesGolden(golden("no-table-db-info.txt"), p.dbInfo()));
    EXPECT_EQ(p.count(), "17");
}

TEST(DatabaseReport, ATableWithoutYearBornEndsAfterTheRecordHeading) {
    Folder folder;
    Panel p;
    jet4::Object titles("Odd ]Titles[");
    titles.columns = {{"Title", jet4::Type::Text, 50}, {"Year", jet4::Type::Integer}};
    titles.rows = {{jet4::Value::ofText("A"), jet4::Value::of(1)}};
    p.select(folder.write("t.mdb", {titles}), "Odd ]Titles[");
    EXPECT_TRUE(matchesGolden(golden("no-year-born-db-info.txt"), p.dbInfo()))
        << "the bracketed name with ] doubled ran";
}

TEST(DatabaseReport, AnUnopenableFileEndsAfterTheOpeningLines) {
    Folder folder;
    Panel p;
    p.select(folder.write("a.mdb", {fixtures::authors()}), "Authors");
    QFile::remove(folder.path("a.mdb"));
    QStringList lines = p.dbInfo();
    lines.replaceInStrings(folder.path(QString()), QStringLiteral("<folder>/"));
    EXPECT_TRUE(matchesGolden(golden("unopenable-db-info.txt"), lines));
    EXPECT_EQ(p.count(), "16");
}

TEST(DatabaseReport, AHelperKilledMidReportEndsItInTheErrorReports) {
    Folder folder;
    Panel p;
    p.select(folder.write("a.mdb", {fixtures::authors()}), "Authors");
    QObject::connect(p.panel.List3()->model(), &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex &, int row) {
                         if (p.panel.List3()->itemText(row) == "Dumping contents of each record...")
                             killHelpers();
                     });
    const QStringList lines = p.dbInfo();
    // The records and the heading of the columns, as in the whole report, then the helper's failure.
    const QStringList head = goldenLines(golden("authors-db-info.txt")).mid(0, 10) +
                             QStringList{adoHeader, "ADO Error #1:", T + "ADO Error   #-2147467259"};
    EXPECT_EQ(lines.mid(0, head.size()), head);
    EXPECT_EQ(lines.mid(head.size() + 5, 2),
              (QStringList{T + "SQLState     HY000", "*** ERROR CONDITION! ***"}));
    EXPECT_TRUE(p.panel.reportState().lastErrorDescription.contains("signal 9"))
        << "the records came in one batch";
    EXPECT_EQ(p.count(), QString::number(lines.size()));
}

TEST(DatabaseReport, AMissingHelperTakesTheGeneralRoute) {
    Panel p(QStringLiteral("/opt/lumsifter"), QStringLiteral("/nonexistent/lumsifter-dbhost"));
    EXPECT_TRUE(matchesGolden(golden("missing-helper-db-info.txt"), p.dbInfo()));
    EXPECT_EQ(p.count(), "7");
    EXPECT_TRUE(matchesGolden(golden("missing-helper-db-properties.txt"), p.dbProperties()));
    EXPECT_EQ(p.count(), "4");
}

TEST(PropertiesReport, DumpsTheFourObjectsOfTheDemonstrationDatabase) {
    Panel p(builtProgramFolder());
    const QStringList lines = p.dbProperties();
    EXPECT_EQ(lines.size(), 4 + 4 * (12 + 3 + 6 + 5) + 1);
    EXPECT_EQ(p.count(), QString::number(lines.size()));
    EXPECT_TRUE(lines.contains(T + "       Value = " + builtProgramFolder() + "/ADODEMO.MDB"));
    EXPECT_TRUE(lines.contains(T + "       Type = (adBigInt) An 8-byte signed integer"));
    QStringList shown = lines;
    shown.replaceInStrings(builtProgramFolder() + u'/', QStringLiteral("<program folder>/"));
    EXPECT_TRUE(matchesGolden(golden("adodemo-db-properties.txt"), shown));
}

TEST(PropertiesReport, ADatabaseWithoutAuthorsEndsAfterTheConnectionBlock) {
    Folder folder;
    jet4::Object titles("Titles");
    titles.columns = {{"Title", jet4::Type::Text, 50}};
    Panel p;
    p.select(folder.write("t.mdb", {titles}), "Titles");
    QStringList lines = p.dbProperties();
    EXPECT_EQ(lines.size(), 1 + 4 * 12 + 9 + 4);
    lines.replaceInStrings(folder.path(QString()), QStringLiteral("<folder>/"));
    EXPECT_TRUE(matchesGolden(golden("no-authors-db-properties.txt"), lines));
}

TEST(PropertiesReport, ReplacesTheDatabaseReportAndAnUnopenableFileGivesOnlyErrors) {
    Folder folder;
    Panel p;
    p.select(folder.write("a.mdb", {fixtures::authors()}), "Authors");
    p.dbInfo();
    const QStringList properties = p.dbProperties();
    EXPECT_FALSE(properties.contains("Opening Access Database ADODEMO.MDB..."));
    EXPECT_EQ(properties.size(), 109);
    QFile::remove(folder.path("a.mdb"));
    const QStringList failed = p.dbProperties();
    EXPECT_EQ(failed.size(), 1 + 8 + 4);
    EXPECT_EQ(failed.first(), adoHeader);
    EXPECT_EQ(p.count(), "13");
}
