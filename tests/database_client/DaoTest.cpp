// SPDX-License-Identifier: GPL-3.0-or-later
// The table list through DAO: attributes, catalog order, real files of every version, and files
// that are no databases or damaged ones.
#include "Fixtures.h"

#include "database_client/dao/Dao.h"

#include <QFile>

#include <gtest/gtest.h>

#include <random>

using namespace dao;
using fixtures::Folder;

namespace {

DBEngine &engine() {
    DBEngine &e = DBEngine::instance();
    e.setHost(fixtures::helperOptions());
    return e;
}

// Names of the ordinary tables, as the panel lists them.
QStringList ordinaryTables(const QString &path) {
    Database db = engine().OpenDatabase(path);
    QStringList names;
    for (const TableDef &t : db.TableDefs()) {
        if (t.Attributes() == 0)
            names << t.Name();
    }
    db.Close();
    return names;
}

qint32 attributesOf(Database &db, const QString &name) {
    for (const TableDef &t : db.TableDefs()) {
        if (t.Name() == name)
            return t.Attributes();
    }
    ADD_FAILURE() << "no table " << name.toStdString();
    return -1;
}

} // namespace

TEST(DaoAttributes, MapCatalogTypeAndFlags) {
    EXPECT_EQ(tableAttributes(1, 0), 0);
    EXPECT_EQ(tableAttributes(1, 0x80000000u), Attribute::SystemObject);
    EXPECT_EQ(tableAttributes(1, 0x2), Attribute::SystemObject);
    EXPECT_EQ(tableAttributes(1, 0x8), Attribute::HiddenObject);
    EXPECT_EQ(tableAttributes(1, 0xA), Attribute::SystemObject | Attribute::HiddenObject);
    EXPECT_EQ(tableAttributes(1, 0x80030000u), Attribute::SystemObject);
    EXPECT_EQ(tableAttributes(6, 0x00200000), Attribute::AttachedTable);
    EXPECT_EQ(tableAttributes(4, 0x20100000), Attribute::AttachedOdbc);
    EXPECT_EQ(tableAttributes(1, 0x00010000), 0) << "flags without meaning for the list";
}

TEST(Dao, TableDefsWalkTheCatalogInOrderWithAttributes) {
    Folder folder;
    Database db = engine().OpenDatabase(folder.write("m.mdb", fixtures::mixedCatalog()));
    QStringList names;
    for (const TableDef &t : db.TableDefs())
        names << t.Name();
    EXPECT_EQ(names, (QStringList{"MSysObjects", "Local Table", "Hidden Table", "MSysCustom",
                                  "MSysAccessLike", "Linked Table", "Odbc Link", "Second Table"}))
        << "queries and containers are no table definitions";
    EXPECT_EQ(attributesOf(db, "Local Table"), 0);
    EXPECT_EQ(attributesOf(db, "Hidden Table"), Attribute::HiddenObject);
    EXPECT_EQ(attributesOf(db, "MSysObjects"), Attribute::SystemObject);
    EXPECT_EQ(attributesOf(db, "MSysAccessLike"), Attribute::SystemObject);
    EXPECT_EQ(attributesOf(db, "Linked Table"), Attribute::AttachedTable);
    EXPECT_EQ(attributesOf(db, "Odbc Link"), Attribute::AttachedOdbc);
    db.Close();
    EXPECT_THROW(db.Close(), DaoError);
}

TEST(Dao, AClosedDatabaseHasNoTableDefs) {
    Folder folder;
    Database db = engine().OpenDatabase(folder.write("a.mdb", {fixtures::authors()}));
    db.Close();
    EXPECT_THROW(db.TableDefs(), DaoError);
}

TEST(Dao, OrdinaryTablesOfRealFilesOfEveryVersion) {
    if (!fixtures::samplesPresent())
        GTEST_SKIP() << "sample files not present";
    const std::pair<const char *, QStringList> cases[] = {
        {"jk_testV1997.mdb", {"Table1", "Table2", "Table3", "Table4"}},
        {"jk_testV2000.mdb", {"Table1", "Table2", "Table3", "Table4"}},
        {"DateTestDatabase.mdb", {"DateTest"}},
        {"mr_numeric.mdb", {"test"}},
        {"jk_testUnicodeCompV2003.mdb", {"Table"}},
        {"jk_emptyJet4.mdb", {}},
        {"jk_linkerTestV2007.accdb", {"Table1"}},
        {"jk_odbcLinkerTestV2007.accdb", {}}, // its only local table is hidden
    };
    for (const auto &[file, expected] : cases)
        EXPECT_EQ(ordinaryTables(fixtures::sample(file)), expected) << file;
}

TEST(Dao, LinksAndHiddenTablesOfRealFilesCarryAttributes) {
    if (!fixtures::samplesPresent())
        GTEST_SKIP() << "sample files not present";
    Database linker = engine().OpenDatabase(fixtures::sample("jk_linkerTestV2007.accdb"));
    EXPECT_EQ(attributesOf(linker, "Table2"), Attribute::AttachedTable);
    Database odbc = engine().OpenDatabase(fixtures::sample("jk_odbcLinkerTestV2007.accdb"));
    EXPECT_EQ(attributesOf(odbc, "Ordrar"), Attribute::AttachedOdbc);
    EXPECT_EQ(attributesOf(odbc, "Lokal"), Attribute::HiddenObject);
    EXPECT_EQ(attributesOf(odbc, "MSysNavPaneGroups"), Attribute::SystemObject | Attribute::HiddenObject);
}

TEST(Dao, OpeningWhatIsNoDatabaseFails) {
    Folder folder;
    folder.writeBytes("notes.txt",
                      "Shopping: bread, milk, and a much longer line of text to pass the size\n");
    folder.writeBytes("zero.mdb", "");
    jet4::Options encoded;
    encoded.pageKey = 0x5eed;
    QFile whole(folder.write("whole.mdb", {fixtures::authors()}, encoded));
    whole.open(QIODevice::ReadOnly);
    QByteArray scrambled = whole.readAll();
    for (qsizetype i = 4096; i < scrambled.size(); i += 7)
        scrambled[i] = char(scrambled[i] ^ 0x5a);
    const QString cases[] = {folder.path("missing.mdb"), folder.path(""), folder.path("notes.txt"),
                             folder.path("zero.mdb"), folder.writeBytes("scrambled.mdb", scrambled)};
    for (const QString &path : cases) {
        EXPECT_THROW(
            {
                Database db = engine().OpenDatabase(path);
                db.TableDefs();
            },
            DaoError)
            << path.toStdString();
    }
    EXPECT_EQ(ordinaryTables(folder.path("whole.mdb")), QStringList{"Authors"}) << "page encryption is read";
}

TEST(Dao, AMissingHelperFailsTheOpen) {
    DBEngine &e = DBEngine::instance();
    e.setHost(helper_protocol::HostOptions{QFile::encodeName(QStringLiteral("/nonexistent/helper"))});
    EXPECT_THROW(e.OpenDatabase(fixtures::sample("jk_testV2000.mdb")), DaoError);
}
