// SPDX-License-Identifier: GPL-3.0-or-later
// The fixture writer's files read back by the mdbtools commands, a reader independent of ours.
#include "Jet4Writer.h"
#include "TempFolder.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

using namespace jet4;

namespace {

using TextRow = std::vector<std::optional<std::string>>; // nothing: NULL

std::string run(const QString &program, const QStringList &arguments) {
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(30000);
    return p.readAllStandardOutput().toStdString();
}

// A written file, read with the commands; rows come back as their text with real NULLs.
class Readback {
public:
    explicit Readback(const std::vector<Object> &objects, const Options &options = {}) {
        path_ = dir_.filePath("fixture.mdb").toStdString();
        writeFile(path_, objects, options);
    }

    QString file() const { return QString::fromStdString(path_); }

    // Fields apart by '|', NULL as '~', dates as ISO text, binary as hex.
    std::vector<TextRow> rows(const char *table) const {
        std::vector<TextRow> out;
        std::istringstream lines(run("mdb-export", {"-H", "-Q", "-d", "|", "-0", "~", "-T",
                                                    "%Y-%m-%d %H:%M:%S", "-b", "hex", file(), table}));
        for (std::string line; std::getline(lines, line);) {
            TextRow row;
            std::istringstream fields(line);
            for (std::string field; std::getline(fields, field, '|');)
                row.push_back(field == "~" ? std::nullopt : std::optional(field));
            if (!line.empty() && line.back() == '|')
                row.push_back(std::string());
            out.push_back(row);
        }
        return out;
    }

    std::string schema(const char *table) const { return run("mdb-schema", {"-T", table, file(), "access"}); }

private:
    TempFolder dir_;
    std::string path_;
};

Object authors() {
    Object t{"Authors"};
    t.columns = {{"Au_ID", Type::Long}, {"Author", Type::Text, 50}, {"Year Born", Type::Integer}};
    t.rows = {{Value::of(1), Value::ofText(""), Value::null()},
              {Value::of(2), Value::null(), Value::of(-1)},
              {Value::of(3), Value::ofText("Jürgen € 😀"), Value::of(32767)}};
    return t;
}

Object allTypes() {
    Object t{"AllTypes"};
    t.columns = {{"b", Type::Boolean},     {"y", Type::Byte},
                 {"i", Type::Integer},     {"l", Type::Long},
                 {"m", Type::Currency},    {"s", Type::Single},
                 {"d", Type::Double},      {"dt", Type::Date},
                 {"bin", Type::Binary, 8}, {"tx", Type::Text, 10},
                 {"o", Type::Ole},         {"me", Type::Memo},
                 {"g", Type::Guid},        {"n", Type::Numeric, 0, 12, 2}};
    std::vector<uint8_t> guid(16);
    for (int k = 0; k < 16; ++k)
        guid[k] = uint8_t(k);
    t.rows = {{Value::of(1), Value::of(200), Value::of(-2), Value::of(-70000), Value::of(-15000),
               Value::ofReal(0.25), Value::ofReal(-1e100), Value::ofReal(36526.5),
               Value::ofBytes({'A', 'B', 'C'}), Value::ofText("abc"), Value::ofBytes({1, 2, 3}),
               Value::ofText(std::string(1000, 'm')), Value::ofBytes(guid), Value::of(-12345678901LL)},
              Row(14)};
    t.rows[1][0] = Value::of(0);
    return t;
}

} // namespace

TEST(Jet4Writer, EveryColumnTypeReadsBackThroughTheCommands) {
    Readback db({allTypes()});
    const auto rows = db.rows("AllTypes");
    ASSERT_EQ(rows.size(), 2u);
    const std::vector<std::string> expected = {
        "1", "200", "-2", "-70000", "-1.5000", "0.25", "-1e+100", "2000-01-01 12:00:00", "414243", "abc"};
    for (size_t k = 0; k < expected.size(); ++k)
        EXPECT_EQ(rows[0][k], expected[k]) << "column " << k;
    EXPECT_EQ(rows[0][11], std::string(1000, 'm'));
    EXPECT_EQ(rows[0][13], "-123456789.01");
    EXPECT_EQ(rows[1][0], "0") << "a false Boolean is a value, not NULL";
    for (size_t k = 1; k < rows[1].size(); ++k)
        EXPECT_FALSE(rows[1][k]) << "column " << k;
}

TEST(Jet4Writer, ColumnDefinitionsKeepSizesNumericPrecisionAndNullability) {
    Object t{"T"};
    t.columns = {{"Required Text", Type::Text, 50, 0, 0, true}, {"Amount", Type::Numeric, 0, 18, 4}};
    Readback db({t});
    const std::string schema = db.schema("T");
    EXPECT_NE(schema.find("[Required Text]\t\t\tText (50) NOT NULL"), std::string::npos) << schema;
    EXPECT_NE(schema.find("[Amount]\t\t\tNumeric (18, 4)"), std::string::npos) << schema;
}

// The commands print empty text as they print NULL; the helper's tests tell the two apart.
TEST(Jet4Writer, NullsAndTextOutsideAsciiSurvive) {
    Readback db({authors()});
    const auto rows = db.rows("Authors");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_FALSE(rows[0][2]);
    EXPECT_FALSE(rows[1][1]);
    EXPECT_EQ(rows[1][2], "-1");
    EXPECT_EQ(rows[2][1].value_or("").substr(0, 11), "Jürgen €") << "the BMP part";
}

TEST(Jet4Writer, TablesSpanSeveralDataPagesInRowOrder) {
    Object big{"Big"};
    big.columns = {{"ID", Type::Long}, {"Name", Type::Text, 100}};
    for (int i = 0; i < 3000; ++i)
        big.rows.push_back({Value::of(i), Value::ofText(std::string(i % 90, 'x'))});
    for (const uint32_t key : {0u, 0xdeadbeefu}) {
        Options options;
        options.pageKey = key;
        const std::vector<uint8_t> image = build({big}, options);
        EXPECT_EQ(image[2 * 4096] == 0x02, key == 0) << "an encoded catalog definition hides its page type";
        Readback db({big}, options);
        const auto rows = db.rows("Big");
        ASSERT_EQ(rows.size(), 3000u);
        for (size_t i = 1; i < rows.size(); i += 499) { // not a multiple of 90: no empty text
            EXPECT_EQ(rows[i][0], std::to_string(i));
            EXPECT_EQ(rows[i][1].value_or("?").size(), i % 90);
        }
        EXPECT_EQ(rows.back()[0], "2999");
    }
}

TEST(Jet4Writer, CatalogCarriesSystemHiddenLinkedOdbcAndQueryRows) {
    Object user{"Authors"};
    user.columns = {{"Au_ID", Type::Long}};
    Object hidden{"Hidden", ObjectType::Table, 0x8};
    hidden.columns = {{"X", Type::Long}};
    Object system{"MSysX", ObjectType::Table, 0x80000000u};
    system.columns = {{"X", Type::Long}};
    Object access{"MSysAccessLike", ObjectType::Table, 0x2};
    access.columns = {{"X", Type::Long}};
    Object linked{"Linked", ObjectType::LinkedTable, 0x00200000};
    linked.database = "/data/other.mdb";
    linked.foreignName = "Titles";
    Object odbc{"Odbc", ObjectType::OdbcLink, 0x20100000};
    odbc.connect = "ODBC;DSN=books";
    odbc.foreignName = "dbo.titles";
    Object query{"qryAuthors", ObjectType::Query, 0x3};
    Readback db({user, hidden, system, access, linked, odbc, query});

    // Name 2, Type 3, Flags 7, Database 8, Connect 9, ForeignName 10
    std::map<std::string, TextRow> byName;
    for (const TextRow &r : db.rows("MSysObjects"))
        byName[r[2].value_or("")] = r;
    auto typeAndFlags = [&](const char *name) {
        return byName[name][3].value_or("") + "/" + byName[name][7].value_or("");
    };
    EXPECT_EQ(typeAndFlags("Authors"), "1/0");
    EXPECT_EQ(typeAndFlags("Hidden"), "1/8");
    EXPECT_EQ(typeAndFlags("MSysX"), "1/-2147483648");
    EXPECT_EQ(typeAndFlags("MSysAccessLike"), "1/2");
    EXPECT_EQ(typeAndFlags("Linked"), "6/2097152");
    EXPECT_EQ(typeAndFlags("Odbc"), "4/537919488");
    EXPECT_EQ(typeAndFlags("qryAuthors"), "5/3");
    const TextRow &l = byName["Linked"];
    EXPECT_TRUE(l[8] == "/data/other.mdb" && l[10] == "Titles" && !l[9]);
    const TextRow &o = byName["Odbc"];
    EXPECT_TRUE(o[9] == "ODBC;DSN=books" && o[10] == "dbo.titles" && !o[8]);

    EXPECT_EQ(run("mdb-tables", {"-1", db.file()}), "Authors\nHidden\n")
        << "the command lists local non-system tables, hidden ones included";
    EXPECT_NE(run("mdb-tables", {"-1", "-S", db.file()}).find("MSysX\n"), std::string::npos);
}

TEST(Jet4Writer, CalculatedColumnsKeepTheirResultTypeInTheirProperties) {
    Object t{"Calc"};
    t.columns = {{"Price", Type::Currency}, {"Flag", Type::Boolean}, {"Plain", Type::Long, 0, 0, 0, true}};
    t.columns[0].calculated = t.columns[1].calculated = true;
    t.columns[0].expression = "[Plain]*2";
    Options ace;
    ace.version = 3;
    Readback db({t}, ace);
    EXPECT_EQ(run("mdb-prop", {db.file(), "Calc"}),
              "name: (none)\n\n"
              "name: Price\n\tExpression: [Plain]*2\n\tResultType: 5\n\n"
              "name: Flag\n\tExpression: 1\n\tResultType: 1\n\n"
              "name: Plain\n\tRequired: yes\n\n");
    const std::string schema = db.schema("Calc");
    EXPECT_NE(schema.find("[Price]\t\t\tDouble"), std::string::npos) << "stored as Double\n" << schema;
    EXPECT_NE(schema.find("[Flag]\t\t\tInteger"), std::string::npos) << "stored as Integer\n" << schema;
}

TEST(Jet4Writer, MdbExportPrintsTheRowsExactly) {
    Readback db({authors()});
    EXPECT_EQ(run("mdb-export", {db.file(), "Authors"}),
              "Au_ID,Author,Year Born\n1,,\n2,,-1\n3,\"Jürgen € ??\",32767\n")
        << "the command prints NULL and empty text alike, and characters outside the BMP as ??";
    EXPECT_EQ(run("mdb-ver", {db.file()}), "JET4\n");
}

TEST(Jet4Writer, RejectsWhatTheFormatCannotHold) {
    Object longText{"T"};
    longText.columns = {{"tx", Type::Text, 3}};
    longText.rows = {{Value::ofText("too long")}};
    EXPECT_THROW(build({longText}), std::invalid_argument);

    Object shortRow{"U"};
    shortRow.columns = {{"a", Type::Long}, {"b", Type::Long}};
    shortRow.rows = {{Value::of(1)}};
    EXPECT_THROW(build({shortRow}), std::invalid_argument);

    Object wideRow{"W"};
    wideRow.columns = {{"me", Type::Memo}};
    wideRow.rows = {{Value::ofText(std::string(5000, 'x'))}};
    EXPECT_THROW(build({wideRow}), std::invalid_argument);

    Options jet3;
    jet3.version = 0;
    Object longJet3Row{"L"};
    longJet3Row.columns = {{"tx", Type::Text, 255}};
    longJet3Row.rows = {{Value::ofText(std::string(255, 'x'))}}; // with its offsets past 255 bytes
    EXPECT_THROW(build({longJet3Row}, jet3), std::invalid_argument);
    Object notLatin1{"N"};
    notLatin1.columns = {{"tx", Type::Text, 10}};
    notLatin1.rows = {{Value::ofText("\xE2\x82\xAC")}}; // the euro sign
    EXPECT_THROW(build({notLatin1}, jet3), std::invalid_argument);
    Options longPassword;
    longPassword.password = std::string(21, 'p');
    EXPECT_THROW(build({}, longPassword), std::invalid_argument);

    EXPECT_EQ(utf16le("\xF0\x9F\x98\x80"), (std::vector<uint8_t>{0x3d, 0xd8, 0x00, 0xde}));
    EXPECT_THROW(utf16le("\xC3"), std::invalid_argument);
    EXPECT_THROW(utf16le("\xC3("), std::invalid_argument);
}
