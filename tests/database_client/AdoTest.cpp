// SPDX-License-Identifier: GPL-3.0-or-later
// The ADO layer: connection strings, statements, value texts, and connections, commands and
// results on generated databases, with the errors they raise.
#include "Fixtures.h"

#include "database_client/ado/Ado.h"
#include "database_client/ado/ConnectionString.h"
#include "database_client/ado/Statement.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace ado;
using fixtures::Folder;

namespace {

helper_protocol::HostOptions helper() {
    return fixtures::helperOptions();
}

std::unique_ptr<Connection> openOn(const QString &path) {
    auto c = std::make_unique<Connection>(helper());
    c->setConnectionString(connectionStringFor(path));
    c->Open();
    return c;
}

Recordset select(Connection &c, const QString &text) {
    Command command;
    command.setActiveConnection(c);
    command.setCommandText(text);
    return command.Execute();
}

QString tableOf(const QString &statement) {
    const auto parsed = parseStatement(statement);
    const auto *select = std::get_if<SelectAll>(&parsed);
    return select ? select->table : QStringLiteral("<error>");
}

qint32 errorNumber(const std::function<void()> &work) {
    try {
        work();
    } catch (const AdoError &e) {
        return e.number();
    }
    return 0;
}

Variant real(Variant::Kind kind, double v) {
    return Variant::of(kind, 0, v);
}

} // namespace

TEST(AdoConnectionString, QuotesWhatWouldBreakItAndParsesItBack) {
    for (const QString &path :
         {QStringLiteral("/data/plain.mdb"), QStringLiteral("/data/semi;colon.mdb"),
          QStringLiteral("/data/\"quoted\".mdb"), QStringLiteral(" /leading blank.mdb")}) {
        const auto parts = parseConnectionString(connectionStringFor(path));
        ASSERT_TRUE(parts) << path.toStdString();
        EXPECT_EQ(parts->at("data source"), path);
        EXPECT_EQ(parts->at("provider"), providerName);
    }
    EXPECT_EQ(connectionStringFor("/a/b.mdb"), "Provider=Lumsifter.Access.1;Data Source=/a/b.mdb");
    EXPECT_EQ(parseConnectionString(" provider = x ; DATA SOURCE='it''s.mdb';")->at("data source"),
              "it's.mdb");
    EXPECT_TRUE(parseConnectionString("")->empty());
    EXPECT_FALSE(parseConnectionString("Data Source=\"unclosed"));
    EXPECT_FALSE(parseConnectionString("no equals sign"));
}

TEST(AdoStatement, SelectsEveryRecordOfANamedTable) {
    EXPECT_EQ(tableOf("SELECT * FROM Authors"), "Authors");
    EXPECT_EQ(tableOf("select   *   from   authors ;  "), "authors");
    EXPECT_EQ(tableOf("SELECT * FROM [Year Born Table]"), "Year Born Table");
    EXPECT_EQ(tableOf("SELECT * FROM [odd]]name]"), "odd]name");
    EXPECT_EQ(tableOf("SELECT*FROM[x]"), "x");
    EXPECT_EQ(tableOf("SELECT * FROM Ärzte"), "Ärzte");
    for (const char *bad : {"", "SELECT * FROM", "SELECT * FROM []", "SELECT * FROM [unclosed",
                            "SELECT a FROM t", "SELECT * FROM two words", "SELECT * FROMt",
                            "SELECT * FROM t WHERE x = 1", "SELECT * FROM 'Authors'", "DELETE FROM t"})
        EXPECT_EQ(tableOf(bad), "<error>") << bad;
}

TEST(AdoVariant, TextsFollowTheLocale) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(variantText(Variant::null(), us), "");
    EXPECT_EQ(variantText(Variant(), us), "");
    EXPECT_EQ(variantText(Variant::boolean(true), us), "True");
    EXPECT_EQ(variantText(Variant::boolean(false), de), "False");
    EXPECT_EQ(variantText(Variant::number(-1234567), de), "-1234567") << "no grouping";
    EXPECT_EQ(variantText(real(Variant::Kind::Double, 3.25), de), "3,25");
    EXPECT_EQ(variantText(real(Variant::Kind::Double, 1.0 / 3), us), "0.333333333333333");
    EXPECT_EQ(variantText(real(Variant::Kind::Double, -1e100), us), "-1E+100");
    EXPECT_EQ(variantText(real(Variant::Kind::Single, float(0.1)), us), "0.1");
    EXPECT_EQ(variantText(Variant::of(Variant::Kind::Currency, 35000), de), "3,5");
    EXPECT_EQ(variantText(Variant::of(Variant::Kind::Currency, -120000), us), "-12");
    EXPECT_EQ(variantText(Variant::of(Variant::Kind::Currency, -5), us), "-0.0005");
    Variant decimal = Variant::of(Variant::Kind::Decimal);
    decimal.text = QStringLiteral("-12345.6700");
    EXPECT_EQ(variantText(decimal, de), "-12345,67");
    EXPECT_EQ(variantText(real(Variant::Kind::Date, 36526.75), us), "1/1/2000 6:00:00 PM")
        << "a four-digit year";
    EXPECT_EQ(variantText(real(Variant::Kind::Date, 36526.0), de), "01.01.2000");
    EXPECT_EQ(variantText(real(Variant::Kind::Date, 0.5), de), "12:00:00");
    EXPECT_EQ(variantText(real(Variant::Kind::Date, -1.25), de), "29.12.1899 06:00:00")
        << "the time part is absolute";
    Variant guid = Variant::of(Variant::Kind::Guid);
    guid.bytes = QByteArray::fromHex("78563412341278569abcdef012345678");
    EXPECT_EQ(variantText(guid, us), "{12345678-1234-5678-9ABC-DEF012345678}");
    Variant bytes = Variant::of(Variant::Kind::Bytes);
    bytes.bytes = QByteArray("a\0b\0c", 5);
    EXPECT_EQ(variantText(bytes, us), "ab") << "bytes taken as UTF-16 units";
}

TEST(AdoRecordset, WalksTheRecordsForwardWithTypedValuesAndRealNulls) {
    Folder folder;
    auto c = openOn(folder.write("a.mdb", {fixtures::authors()}));
    Recordset rs = select(*c, "SELECT * FROM [Authors]");
    const QLocale locale;
    QStringList lines;
    while (!rs.Eof()) {
        lines << variantText(rs.Fields().Item(0).Value()) + u'|' + variantText(rs.Fields().Item(1).Value()) +
                     u'|' + variantText(rs.Fields().Item(QStringLiteral("year born")).Value());
        EXPECT_EQ(rs.Fields().Item(2).Value().isNull(), lines.size() == 1);
        rs.MoveNext();
    }
    EXPECT_EQ(lines, (QStringList{"1||", "2||1931", "3|Åsa Öberg 😀|-12"}));
    EXPECT_EQ(errorNumber([&] { rs.MoveNext(); }), HResult::NoCurrentRecord);
    EXPECT_EQ(errorNumber([&] { rs.Fields().Item(0).Value(); }), HResult::NoCurrentRecord);
    rs.Requery();
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Fields().Item(0).Value().integer, 1);
    EXPECT_EQ(errorNumber([&] { rs.Fields().Item(3); }), HResult::ItemNotFound);
    EXPECT_EQ(errorNumber([&] { rs.Fields().Item(QStringLiteral("Born")); }), HResult::ItemNotFound);
    rs.Close();
    EXPECT_EQ(errorNumber([&] { rs.Eof(); }), HResult::ObjectClosed);
    EXPECT_TRUE(c->Errors().empty());
}

TEST(AdoRecordset, ManyRecordsArriveInBatchesInOrder) {
    jet4::Object big("Big");
    big.columns = {{"ID", jet4::Type::Long}, {"Label", jet4::Type::Text, 20}};
    for (int i = 0; i < 1000; ++i)
        big.rows.push_back({jet4::Value::of(i), jet4::Value::ofText("row " + std::to_string(i))});
    Folder folder;
    auto c = openOn(folder.write("big.mdb", {big}));
    Recordset rs = select(*c, "SELECT * FROM Big");
    int expected = 0;
    for (; !rs.Eof(); rs.MoveNext(), ++expected)
        ASSERT_EQ(rs.Fields().Item(0).Value().integer, expected);
    EXPECT_EQ(expected, 1000);
}

TEST(AdoField, DescribesEachColumnType) {
    Folder folder;
    auto c = openOn(folder.write("t.mdb", {fixtures::allTypes()}));
    Recordset rs = select(*c, "SELECT * FROM AllTypes");
    struct Expected {
        int type;
        qint32 definedSize, actualSize, attributes;
        int precision, scale;
        QString value;
    };
    const Expected expected[] = {
        {11, 2, 2, 0x10, 255, 255, "True"},
        {17, 1, 1, 0x70, 3, 255, "255"},
        {2, 2, 2, 0x70, 5, 255, "-32768"},
        {3, 4, 4, 0x70, 10, 255, "-2147483648"},
        {6, 8, 8, 0x70, 19, 255, variantText(Variant::of(Variant::Kind::Currency, 35000))},
        {4, 4, 4, 0x70, 7, 255, variantText(real(Variant::Kind::Single, 1.5))},
        {5, 8, 8, 0x70, 15, 255, variantText(real(Variant::Kind::Double, 3.25))},
        {7, 8, 8, 0x70, 255, 255, variantText(real(Variant::Kind::Date, 36526.75))},
        {204, 16, 4, 0x60, 255, 255, "ab"},
        {202, 20, 5, 0x60, 255, 255, "hello"},
        {205, 1073741823, 4, 0xE0, 255, 255, QString(QChar(0x4c4f)) + u'E'},
        {203, 536870910, 300, 0xE0, 255, 255, QString(300, u'm')},
        {72, 16, 16, 0x70, 255, 255, "{12345678-1234-5678-9ABC-DEF012345678}"},
        {131, 19, 19, 0x70, 18, 2, variantText([] {
             Variant d = Variant::of(Variant::Kind::Decimal);
             d.text = QStringLiteral("-12345.67");
             return d;
         }())},
    };
    ASSERT_EQ(rs.Fields().Count(), int(std::size(expected)));
    for (int i = 0; i < rs.Fields().Count(); ++i) {
        const Field f = rs.Fields().Item(i);
        const Expected &e = expected[i];
        EXPECT_EQ(f.Type(), e.type) << i;
        EXPECT_EQ(f.DefinedSize(), e.definedSize) << i;
        EXPECT_EQ(f.ActualSize(), e.actualSize) << i;
        EXPECT_EQ(f.Attributes(), e.attributes) << i;
        EXPECT_EQ(f.Precision(), e.precision) << i;
        EXPECT_EQ(f.NumericScale(), e.scale) << i;
        EXPECT_EQ(variantText(f.Value()), e.value) << i;
        EXPECT_EQ(variantText(f.OriginalValue()), e.value) << i;
    }
    rs.MoveNext();
    EXPECT_EQ(rs.Fields().Item(1).ActualSize(), 0) << "a NULL";
    rs.MoveNext();
    EXPECT_EQ(rs.Fields().Item(1).ActualSize(), -1) << "no current record";
}

TEST(AdoRecordset, AnEmptyTableIsAtItsEndAtOnce) {
    jet4::Object empty = fixtures::authors();
    empty.rows.clear();
    Folder folder;
    auto c = openOn(folder.write("e.mdb", {empty}));
    Recordset rs = select(*c, "SELECT * FROM Authors");
    EXPECT_TRUE(rs.Eof());
    rs.Requery();
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(rs.Fields().Count(), 3);
    EXPECT_EQ(rs.Fields().Item(0).Name(), "Au_ID");
    EXPECT_EQ(rs.Fields().Item(0).ActualSize(), -1);
    EXPECT_EQ(errorNumber([&] { rs.Fields().Item(0).OriginalValue(); }), HResult::NoCurrentRecord);
    EXPECT_EQ(errorNumber([&] { rs.Fields().Item(0).Value(); }), HResult::NoCurrentRecord);
}

TEST(AdoErrors, ProviderErrorsFillTheConnectionsErrors) {
    Folder folder;
    auto c = openOn(folder.write("a.mdb", {fixtures::authors()}));
    EXPECT_EQ(errorNumber([&] { select(*c, "SELECT * FROM [Nowhere]"); }), HResult::NoSuchTable);
    ASSERT_EQ(c->Errors().size(), 1u);
    EXPECT_EQ(c->Errors()[0].Number(), HResult::NoSuchTable);
    EXPECT_EQ(c->Errors()[0].Source(), providerSource);
    EXPECT_EQ(c->Errors()[0].SQLState(), "42S02");
    EXPECT_EQ(c->Errors()[0].Description(), "The database has no table 'Nowhere'.");
    EXPECT_EQ(errorNumber([&] { select(*c, "SELECT * FROM []"); }), HResult::SyntaxError);
    EXPECT_EQ(c->Errors().size(), 1u) << "each failing call replaces the errors";
    EXPECT_EQ(errorNumber([&] { select(*c, ""); }), HResult::NoCommand);
    EXPECT_EQ(errorNumber([] {
                  Command unattached;
                  unattached.setCommandText("SELECT * FROM Authors");
                  unattached.Execute();
              }),
              HResult::InvalidConnection);
}

TEST(AdoErrors, ThePageReadersAccountIsASecondProviderError) {
    Folder folder;
    QFile whole(folder.write("a.mdb", {fixtures::authors()}));
    whole.open(QIODevice::ReadOnly);
    QByteArray bytes = whole.readAll();
    bytes.truncate(4096 * 4); // the catalog's data page (5) is gone
    auto c = openOn(folder.writeBytes("broken.mdb", bytes));
    EXPECT_EQ(errorNumber([&] { select(*c, "SELECT * FROM Authors"); }), HResult::Fail);
    ASSERT_EQ(c->Errors().size(), 2u);
    EXPECT_EQ(c->Errors()[0].Description(), "Table 'MSysObjects': page 5 lies past the end of the file.");
    EXPECT_EQ(c->Errors()[1].Source(), providerSource);
    EXPECT_EQ(c->Errors()[1].Description(),
              "Page 5 would start at byte 20480, but the file has 16384 bytes.");
}

TEST(AdoErrors, OpeningFailsClearly) {
    Folder folder;
    Connection c(helper());
    c.setConnectionString(
        connectionStringFor(folder.writeBytes("t.txt", "plain text that is not a database at all")));
    EXPECT_EQ(errorNumber([&] { c.Open(); }), HResult::Fail);
    ASSERT_EQ(c.Errors().size(), 1u);
    EXPECT_EQ(c.Errors()[0].Description(),
              "Cannot open the database '" + folder.path("t.txt") + "': The file is not an Access database.");
    EXPECT_EQ(errorNumber([&] { c.Open(QString()); }), HResult::Fail) << "a failed open leaves it closed";
    EXPECT_EQ(errorNumber([&] { c.Open(QStringLiteral("Provider=Other.Provider;Data Source=/x.mdb")); }),
              HResult::ProviderNotFound);
    Connection empty(helper());
    EXPECT_EQ(errorNumber([&] { empty.Open(); }), HResult::Fail) << "no database named";
    EXPECT_EQ(errorNumber([&] { empty.Close(); }), HResult::ObjectClosed);
    EXPECT_EQ(errorNumber([] {
                  Connection missing(
                      helper_protocol::HostOptions{QFile::encodeName(QStringLiteral("/nonexistent/helper"))});
              }),
              HResult::ClassNotRegistered);
}

TEST(AdoProperties, ConnectionPropertiesComeFromTheFileHeader) {
    Folder folder;
    jet4::Options options;
    options.codePage = 1250;
    options.localeId = 0x405;
    options.pageKey = 0x1234;
    const QString path = folder.write("a.mdb", {fixtures::authors()}, options);
    auto c = openOn(path);
    const PropertyList p = c->Properties();
    EXPECT_EQ(p.Count(), 12);
    EXPECT_EQ(p.Item(QStringLiteral("Data Source")).Value().text, path);
    EXPECT_EQ(p.Item(QStringLiteral("DBMS Name")).Value().text, "Jet");
    EXPECT_EQ(p.Item(QStringLiteral("DBMS Version")).Value().text, "4.0");
    EXPECT_EQ(p.Item(QStringLiteral("Page Size")).Value().integer, 4096);
    EXPECT_EQ(p.Item(QStringLiteral("Code Page")).Value().integer, 1250);
    EXPECT_EQ(p.Item(QStringLiteral("Locale Identifier")).Value().integer, 0x405);
    EXPECT_EQ(p.Item(QStringLiteral("Encrypted")).Value().integer, 1);
    EXPECT_EQ(p.Item(QStringLiteral("File Size")).Value().integer, QFile(path).size());
    EXPECT_EQ(p.Item(QStringLiteral("File Size")).Type(), DataType::BigInt);
    EXPECT_EQ(p.Item(QStringLiteral("Read-Only Data Source")).Attributes(), PropertyAttribute::Read);
    EXPECT_EQ(errorNumber([&] { p.Item(12); }), HResult::ItemNotFound);
}

TEST(AdoProperties, RealFilesReportTheirEngine) {
    if (!fixtures::samplesPresent())
        GTEST_SKIP() << "sample files not present";
    const std::pair<const char *, const char *> cases[] = {{"jk_testV1997.mdb", "Jet 3.0 2048"},
                                                           {"jk_testV2000.mdb", "Jet 4.0 4096"},
                                                           {"jk_linkerTestV2007.accdb", "ACE 12.0 4096"}};
    for (const auto &[file, engine] : cases) {
        auto c = openOn(fixtures::sample(file));
        const PropertyList p = c->Properties();
        EXPECT_EQ(p.Item(QStringLiteral("DBMS Name")).Value().text + u' ' +
                      p.Item(QStringLiteral("DBMS Version")).Value().text + u' ' +
                      QString::number(p.Item(QStringLiteral("Page Size")).Value().integer),
                  engine);
    }
}

TEST(AdoRecordset, RealFilesOfEveryVersionReadToTheEnd) {
    if (!fixtures::samplesPresent())
        GTEST_SKIP() << "sample files not present";
    const std::pair<const char *, const char *> cases[] = {
        {"jk_testV1997.mdb", "Table1"},           {"jk_testV2000.mdb", "Table1"},
        {"jk_testUnicodeCompV2003.mdb", "Table"}, {"mr_numeric.mdb", "test"},
        {"DateTestDatabase.mdb", "DateTest"},     {"jk_linkerTestV2007.accdb", "Table1"}};
    for (const auto &[file, table] : cases) {
        auto c = openOn(fixtures::sample(file));
        Recordset rs = select(*c, QStringLiteral("SELECT * FROM [%1]").arg(QLatin1String(table)));
        int records = 0;
        for (; !rs.Eof(); rs.MoveNext(), ++records) {
            for (int i = 0; i < rs.Fields().Count(); ++i)
                variantText(rs.Fields().Item(i).Value());
        }
        EXPECT_GT(records, 0) << file;
    }
}
