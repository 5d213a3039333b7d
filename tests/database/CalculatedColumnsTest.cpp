// SPDX-License-Identifier: GPL-3.0-or-later
// Calculated columns, typed by the ResultType of the table's property blocks as Access writes them,
// and the property block reader: damaged blocks, and the real files as the mdbtools command reads them.
#include "Fixtures.h"

#include "database_client/ado/Ado.h"
#include "database_client/ado/ConnectionString.h"
#include "dbhost/Properties.h"
#include "dbhost/Service.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <functional>
#include <random>

using fixtures::Folder;
using jet4::Column;
using jet4::Type;
using jet4::Value;

namespace {

const QLocale us(QLocale::English, QLocale::UnitedStates);

struct ResultCase {
    Column column;
    Value value;
    QString text; // the value as the report prints it
    int adoType;
    qint32 definedSize;
    int precision, scale;
};

Column calculated(Column c) {
    c.calculated = true;
    return c;
}

const std::vector<uint8_t> guid = {0x78, 0x56, 0x34, 0x12, 0x34, 0x12, 0x78, 0x56,
                                   0x9a, 0xbc, 0xde, 0xf0, 0x12, 0x34, 0x56, 0x78};

// Every result type a calculated column can have; Currency, Boolean, Single and Memo are stored
// under another type byte.
const std::vector<ResultCase> resultCases = {
    {calculated({"Text", Type::Text, 30}), Value::ofText("sum é"), "sum é", 202, 30, 255, 255},
    {calculated({"Memo", Type::Memo}), Value::ofText(std::string(300, 'm')), QString(300, u'm'), 203,
     536870910, 255, 255},
    {calculated({"Integer", Type::Integer}), Value::of(-300), "-300", 2, 2, 5, 255},
    {calculated({"Long", Type::Long}), Value::of(-7), "-7", 3, 4, 10, 255},
    {calculated({"Currency", Type::Currency}), Value::of(833333333), "83333.3333", 6, 8, 19, 255},
    {calculated({"Single", Type::Single}), Value::ofReal(0.375), "0.375", 4, 4, 7, 255},
    {calculated({"Double", Type::Double}), Value::ofReal(-2.5e-3), "-0.0025", 5, 8, 15, 255},
    {calculated({"Date", Type::Date}), Value::ofReal(45000.5), "3/15/2023 12:00:00 PM", 7, 8, 255, 255},
    {calculated({"Boolean", Type::Boolean}), Value::of(1), "True", 11, 2, 255, 255},
    {calculated({"Decimal", Type::Numeric, 0, 0, 2}), Value::of(-12345), "-123.45", 131, 19, 28, 0},
    {calculated({"Guid", Type::Guid}), Value::ofBytes(guid), "{12345678-1234-5678-9ABC-DEF012345678}", 72, 16,
     255, 255},
};

jet4::Object resultTable() {
    jet4::Object t("Calculated");
    jet4::Row row;
    for (const ResultCase &c : resultCases) {
        t.columns.push_back(c.column);
        row.push_back(c.value);
    }
    t.rows = {row, jet4::Row(resultCases.size())};
    return t;
}

jet4::Options ace2010() {
    jet4::Options o;
    o.version = 3;
    return o;
}

std::unique_ptr<ado::Connection> openConnection(const QString &path) {
    auto c = std::make_unique<ado::Connection>(fixtures::helperOptions());
    c->setConnectionString(ado::connectionStringFor(path));
    c->Open();
    return c;
}

ado::Recordset selectAll(ado::Connection &c, const QString &table) {
    ado::Command command;
    command.setActiveConnection(c);
    command.setCommandText(QStringLiteral("SELECT * FROM ") + table);
    return command.Execute();
}

// A calculated Currency column alone: its blocks hold the names, the table's block and one column's.
std::vector<uint8_t> currencyBlocks(uint8_t version = 3) {
    jet4::Object t("T");
    t.columns = {calculated({"Price", Type::Currency})};
    return jet4::propertyBlocks(t, version);
}

std::optional<helper_protocol::ColumnType> resultTypeIn(const std::vector<uint8_t> &blocks,
                                                        bool jet3 = false) {
    return dbhost::parseProperties(blocks.data(), blocks.size(), jet3, 1252).resultType("Price");
}

void put16(std::vector<uint8_t> &b, size_t at, uint32_t v) {
    b.at(at) = uint8_t(v);
    b.at(at + 1) = uint8_t(v >> 8);
}

void put32(std::vector<uint8_t> &b, size_t at, uint32_t v) {
    put16(b, at, v & 0xffff);
    put16(b, at + 2, v >> 16);
}

size_t get32(const std::vector<uint8_t> &b, size_t at) {
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | size_t(b.at(at + 3)) << 24;
}

// Where the parts of currencyBlocks() lie: the blocks follow the 4-byte marker, each starting with
// its length; the column's name part and then its first value follow the column block's header.
struct Layout {
    size_t names = 4, table, column, columnNamePart, firstValue;
    explicit Layout(const std::vector<uint8_t> &b)
        : table(names + get32(b, names))
        , column(table + get32(b, table))
        , columnNamePart(column + 6)
        , firstValue(columnNamePart + get32(b, columnNamePart)) {}
};

} // namespace

TEST(CalculatedColumns, EveryResultTypeReadsAsAnOrdinaryColumnOfThatType) {
    Folder folder;
    auto c = openConnection(folder.write("calculated.accdb", {resultTable()}, ace2010()));
    ado::Recordset rs = selectAll(*c, "Calculated");
    ASSERT_EQ(rs.Fields().Count(), int(resultCases.size()));
    for (int row = 0; row < 2; ++row, rs.MoveNext()) {
        ASSERT_FALSE(rs.Eof());
        for (size_t i = 0; i < resultCases.size(); ++i) {
            const ResultCase &expected = resultCases[i];
            const ado::Field f = rs.Fields().Item(int(i));
            SCOPED_TRACE(expected.column.name);
            EXPECT_EQ(ado::variantText(f.Value(), us).toStdString(),
                      (row == 0 ? expected.text : QString()).toStdString());
            EXPECT_EQ(f.Type(), expected.adoType);
            EXPECT_EQ(f.DefinedSize(), expected.definedSize);
            EXPECT_EQ(f.Precision(), expected.precision);
            EXPECT_EQ(f.NumericScale(), expected.scale);
        }
    }
    EXPECT_TRUE(rs.Eof());
}

TEST(PropertyBlocks, DamagedBlocksGiveNoProperties) {
    const std::vector<uint8_t> whole = currencyBlocks();
    ASSERT_EQ(resultTypeIn(whole), helper_protocol::ColumnType::Currency);
    std::vector<uint8_t> jet3 = currencyBlocks(0);
    EXPECT_EQ(resultTypeIn(jet3, true), helper_protocol::ColumnType::Currency) << "Jet 3's marker and names";

    const Layout at(whole);
    using Damage = std::function<void(std::vector<uint8_t> &)>;
    const std::vector<std::pair<const char *, Damage>> damages = {
        {"an unknown header", [](auto &b) { b[0] = 'X'; }},
        {"a block length past the end", [&](auto &b) { put32(b, at.column, 0x7fffffff); }},
        {"a block length under its own header", [&](auto &b) { put32(b, at.table, 5); }},
        {"a name length past its block", [&](auto &b) { put16(b, at.names + 6, 0xfff0); }},
        {"a name part past its block", [&](auto &b) { put32(b, at.columnNamePart, 0x10000); }},
        {"a name part under its own length", [&](auto &b) { put32(b, at.columnNamePart, 3); }},
        {"a value length past its block", [&](auto &b) { put16(b, at.firstValue, 0xfff0); }},
        {"a value length under its header", [&](auto &b) { put16(b, at.firstValue, 7); }},
        {"a value's data past the value", [&](auto &b) { put16(b, at.firstValue + 6, 0x200); }},
        {"a name index out of range", [&](auto &b) { put16(b, at.firstValue + 4, 2); }},
        {"a result type that is no type of values", [&](auto &b) { b.back() = 0x12; }},
    };
    for (const auto &[what, damage] : damages) {
        std::vector<uint8_t> b = whole;
        damage(b);
        EXPECT_EQ(resultTypeIn(b), std::nullopt) << what;
    }
    for (size_t length = 0; length < whole.size(); ++length) // the column's block comes last
        EXPECT_EQ(resultTypeIn({whole.begin(), whole.begin() + long(length)}), std::nullopt) << length;

    std::mt19937 random(19);
    for (int run = 0; run < 20000; ++run) { // ends, and reads nothing outside the bytes
        std::vector<uint8_t> b = whole;
        for (int k = 0; k < 1 + run % 4; ++k)
            b[random() % b.size()] = uint8_t(random());
        dbhost::parseProperties(b.data(), b.size(), run % 2, 1252);
    }
}

TEST(PropertyBlocks, ATableWithDamagedPropertiesReadsByItsTypeBytes) {
    jet4::Object t("Calc");
    t.columns = {calculated({"Sum", Type::Long}), calculated({"Price", Type::Currency})};
    t.rows = {{Value::of(42), Value::of(15000)}};
    std::vector<uint8_t> damaged = jet4::propertyBlocks(t, 3);
    put32(damaged, Layout(damaged).table, 0x7fffffff);
    t.propertyBlocks = damaged;
    Folder folder;
    auto c = openConnection(folder.write("damaged.accdb", {t}, ace2010()));
    ado::Recordset rs = selectAll(*c, "Calc");
    EXPECT_EQ(ado::variantText(rs.Fields().Item(0).Value(), us), "42");
    EXPECT_EQ(rs.Fields().Item(1).Type(), 5) << "a Currency result read as the Double its type byte says";
}

// Each set of properties (the table's, each column's) of every ordinary table of the real files, with
// the names of its properties, compared with what `mdb-prop` prints (it prints them in no fixed order).
TEST(PropertyBlocks, RealFilesReadAsTheMdbtoolsCommandReadsThem) {
    if (!fixtures::samplesPresent())
        GTEST_SKIP() << "sample files not present";
    const QDir samples(QFileInfo(fixtures::sample(QStringLiteral("jk_testV2000.mdb"))).absolutePath());
    int tables = 0;
    for (const QString &name : samples.entryList({"*.mdb", "*.accdb"}, QDir::Files, QDir::Name)) {
        const QString path = samples.filePath(name);
        const dbhost::JetFile file(QFile::encodeName(path));
        for (const helper_protocol::CatalogObject &o : dbhost::readCatalog(file)) {
            if (o.type != helper_protocol::ObjectType::LocalTable || (o.flags & 0x80000002u) != 0)
                continue;
            QStringList ours;
            for (const dbhost::PropertySet &set : dbhost::readProperties(file, o.id).sets) {
                QStringList names;
                for (const dbhost::Property &p : set.properties)
                    names << p.name;
                names.sort();
                ours << (set.name.isEmpty() ? QStringLiteral("(none)") : set.name) + u':' + names.join(u',');
            }
            QProcess command;
            command.start(QStringLiteral("mdb-prop"), {path, o.name});
            command.waitForFinished(30000);
            QStringList theirs, names;
            for (const QString &line : QString::fromUtf8(command.readAllStandardOutput()).split(u'\n')) {
                if (line.startsWith(QStringLiteral("name: "))) {
                    names.sort();
                    if (!theirs.isEmpty())
                        theirs.last() += names.join(u',');
                    theirs << line.mid(6) + u':';
                    names.clear();
                } else if (line.startsWith(u'\t') && line.contains(QStringLiteral(": "))) {
                    names << line.mid(1, line.indexOf(QStringLiteral(": ")) - 1);
                }
            }
            names.sort();
            if (!theirs.isEmpty())
                theirs.last() += names.join(u',');
            EXPECT_EQ(ours.join(u'\n').toStdString(), theirs.join(u'\n').toStdString())
                << name.toStdString() << " " << o.name.toStdString();
            ++tables;
        }
    }
    EXPECT_GE(tables, 20);
}
