// SPDX-License-Identifier: GPL-3.0-or-later
// What no sample file shows, written by the fixture writer: databases protected by a password (Jet 3,
// Jet 4) or encrypted as a whole (ACE), which must not open; Large Number, Date/Time Extended and
// calculated columns, which must read back typed as ADO types them; Jet 3 files of our own; and a
// table past the reach of one usage bitmap.
#include "Fixtures.h"

#include "database_client/ado/Ado.h"
#include "database_client/ado/ConnectionString.h"
#include "database_client/dao/Dao.h"
#include "helper_protocol/HostSession.h"
#include "helper_protocol/Protocol.h"

#include <QCborArray>
#include <QFile>

#include <gtest/gtest.h>

using fixtures::Folder;
using jet4::Column;
using jet4::Type;
using jet4::Value;

namespace {

QString openError(const QString &path) {
    helper_protocol::HostSession s(fixtures::helperOptions());
    QCborMap open = helper_protocol::request(QStringLiteral("open"));
    open[QStringLiteral("path")] = QFile::encodeName(path);
    const QCborMap reply = s.call(open);
    return reply.value(helper_protocol::Key::ok).toBool()
               ? QStringLiteral("ok")
               : reply.value(helper_protocol::Key::error).toString();
}

QString copyWithPassword(Folder &folder, const QString &sample, const QString &name,
                         const std::string &password) {
    QFile in(fixtures::sample(sample));
    in.open(QIODevice::ReadOnly);
    const QByteArray bytes = in.readAll();
    std::vector<uint8_t> image(bytes.begin(), bytes.end());
    jet4::setPassword(image, password);
    return folder.writeBytes(
        name, QByteArray(reinterpret_cast<const char *>(image.data()), qsizetype(image.size())));
}

// 100 ns units since 0001-01-01 00:00.
qint64 ticks(int year, int month, int day, qint64 secondsOfDay, qint64 units = 0) {
    return QDate(1, 1, 1).daysTo(QDate(year, month, day)) * 864000000000LL + secondsOfDay * 10000000LL +
           units;
}

jet4::Object newKinds() {
    jet4::Object t("Kinds");
    t.columns = {{"Big", Type::BigInt},        {"Stamp", Type::DateTimeExtended},
                 {"Attached", Type::Complex},  {"CalcLong", Type::Long},
                 {"CalcDouble", Type::Double}, {"CalcText", Type::Text, 30},
                 {"CalcFlag", Type::Boolean},  {"CalcDecimal", Type::Numeric, 0, 0, 2},
                 {"CalcMemo", Type::Memo}};
    for (size_t c = 3; c < t.columns.size(); ++c)
        t.columns[c].calculated = true;
    t.rows = {{Value::of(std::numeric_limits<int64_t>::min()), Value::of(ticks(1, 1, 1, 0)), Value::of(1),
               Value::of(-7), Value::ofReal(2.5), Value::ofText("sum é"), Value::of(1), Value::of(-12345),
               Value::ofText(std::string(100, 'x'))},
              {Value::of(9007199254740993LL), Value::of(ticks(9999, 12, 31, 86399, 9999999)), Value::of(2),
               Value::of(2147483647), Value::ofReal(-0.125), Value::ofText(""), Value::of(0), Value::of(5),
               Value::null()},
              {Value::null(), Value::of(ticks(1000, 12, 30, 45296, 7891234)), Value::null(), Value::null(),
               Value::null(), Value::null(), Value::null(), Value::null(), Value::null()}};
    return t;
}

} // namespace

TEST(ProtectedDatabases, APasswordOrEncryptionKeepsTheDatabaseShut) {
    Folder folder;
    const std::vector<jet4::Object> objects = {fixtures::authors()};
    jet4::Options withPassword;
    withPassword.password = "Geheim! 😀";
    jet4::Options encryptedAce;
    encryptedAce.version = 3; // ACE 2010
    encryptedAce.pageKey = 0x5eed;
    jet4::Options plainAce;
    plainAce.version = 3;
    EXPECT_EQ(openError(folder.write("plain.mdb", objects)), "ok");
    EXPECT_EQ(openError(folder.write("password.mdb", objects, withPassword)),
              helper_protocol::Error::needsPassword);
    EXPECT_EQ(openError(folder.write("encrypted.accdb", objects, encryptedAce)),
              helper_protocol::Error::needsPassword);
    EXPECT_EQ(openError(folder.write("plain.accdb", objects, plainAce)), "ok");
    if (fixtures::samplesPresent()) {
        // Real files given a password by the writer: Jet 3 keeps it plain, Jet 4 mixed with the date.
        EXPECT_EQ(openError(copyWithPassword(folder, "jk_testV1997.mdb", "v97.mdb", "pw")),
                  helper_protocol::Error::needsPassword);
        EXPECT_EQ(openError(copyWithPassword(folder, "jk_testV1997.mdb", "v97-none.mdb", "")), "ok");
        EXPECT_EQ(openError(copyWithPassword(folder, "mr_V2000_no-password.mdb", "v2000.mdb", "x")),
                  helper_protocol::Error::needsPassword);
        EXPECT_EQ(openError(copyWithPassword(folder, "mr_V2000_no-password.mdb", "v2000-none.mdb", "")),
                  "ok");
    }
}

TEST(ProtectedDatabases, AJet3PasswordWrittenFromScratch) {
    Folder folder;
    jet4::Object t("Sorte");
    t.columns = {{"Nr", Type::Long}, {"Name", Type::Text, 40}};
    t.rows = {{Value::of(1), Value::ofText("Kümmel")}};
    jet4::Options jet3;
    jet3.version = 0;
    EXPECT_EQ(openError(folder.write("plain97.mdb", {t}, jet3)), "ok");
    jet3.password = "Geheim";
    EXPECT_EQ(openError(folder.write("password97.mdb", {t}, jet3)), helper_protocol::Error::needsPassword);
}

TEST(ProtectedDatabases, DaoListsNothingAndAdoSaysWhy) {
    Folder folder;
    jet4::Options withPassword;
    withPassword.password = "secret";
    const QString path = folder.write("password.mdb", {fixtures::authors()}, withPassword);
    dao::DBEngine &engine = dao::DBEngine::instance();
    engine.setHost(fixtures::helperOptions());
    EXPECT_THROW(engine.OpenDatabase(path), dao::DaoError);
    ado::Connection c(fixtures::helperOptions());
    c.setConnectionString(ado::connectionStringFor(path));
    try {
        c.Open();
        FAIL() << "a protected database opened";
    } catch (const ado::AdoError &e) {
        EXPECT_EQ(e.number(), ado::HResult::AuthenticationFailed);
    }
    ASSERT_EQ(c.Errors().size(), 1u);
    EXPECT_EQ(c.Errors()[0].SQLState(), "28000");
    EXPECT_TRUE(c.Errors()[0].Description().contains("password"))
        << c.Errors()[0].Description().toStdString();
}

TEST(NewColumnKinds, LargeNumbersExtendedDatesAndCalculatedValuesReadBackTyped) {
    Folder folder;
    jet4::Options ace;
    ace.version = 5; // ACE 2016
    ado::Connection c(fixtures::helperOptions());
    c.setConnectionString(ado::connectionStringFor(folder.write("kinds.accdb", {newKinds()}, ace)));
    c.Open();
    ado::Command command;
    command.setActiveConnection(c);
    command.setCommandText("SELECT * FROM Kinds");
    ado::Recordset rs = command.Execute();
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QStringList rows;
    while (!rs.Eof()) {
        QStringList values;
        for (int i = 0; i < rs.Fields().Count(); ++i)
            values << ado::variantText(rs.Fields().Item(i).Value(), us);
        rows << values.join(u'|');
        rs.MoveNext();
    }
    EXPECT_EQ(rows, (QStringList{
                        "-9223372036854775808|1/1/0001|1|-7|2.5|sum é|True|-123.45|" + QString(100, u'x'),
                        "9007199254740993|12/31/9999 11:59:59.9999999 PM|2|2147483647|-0.125||False|0.05|",
                        "|12/30/1000 12:34:56.7891234 PM|||||||", // a calculated Boolean may be NULL
                    }))
        << rows.join(u'\n').toStdString();
    rs.Requery();
    struct Expected {
        int type;
        qint32 definedSize;
        int precision, scale;
    };
    const Expected expected[] = {{20, 8, 19, 255},  {135, 16, 27, 7}, {3, 4, 10, 255},
                                 {3, 4, 10, 255},   {5, 8, 15, 255},  {202, 30, 255, 255},
                                 {11, 2, 255, 255}, {131, 19, 28, 0}, {203, 536870910, 255, 255}};
    for (int i = 0; i < rs.Fields().Count(); ++i) {
        const ado::Field f = rs.Fields().Item(i);
        EXPECT_EQ(f.Type(), expected[i].type) << i;
        EXPECT_EQ(f.DefinedSize(), expected[i].definedSize) << i;
        EXPECT_EQ(f.Precision(), expected[i].precision) << i;
        EXPECT_EQ(f.NumericScale(), expected[i].scale) << i;
    }
}

TEST(WrittenFiles, Jet3TablesReadBackThroughEveryLayer) {
    jet4::Object t("Sorte");
    t.columns = {{"Nr", Type::Long},
                 {"Name", Type::Text, 40},
                 {"Preis", Type::Currency},
                 {"Notiz", Type::Memo},
                 {"Da", Type::Boolean}};
    t.rows = {{Value::of(1), Value::ofText("Kümmel"), Value::of(12500), Value::ofText("mild"), Value::of(1)},
              {Value::of(-2), Value::null(), Value::null(), Value::ofText(""), Value::of(0)}};
    jet4::Options jet3;
    jet3.version = 0;
    Folder folder;
    jet4::Object hidden("Versteckt", jet4::ObjectType::Table, 0x8);
    hidden.columns = {{"Nr", Type::Long}};
    jet4::Object empty("Leer");
    empty.columns = {{"Nr", Type::Long}};
    const QString path = folder.write("v97.mdb", {t, hidden, empty}, jet3);
    dao::DBEngine::instance().setHost(fixtures::helperOptions());
    dao::Database db = dao::DBEngine::instance().OpenDatabase(path);
    QStringList names;
    for (const dao::TableDef &d : db.TableDefs())
        if (d.Attributes() == 0)
            names << d.Name();
    EXPECT_EQ(names, (QStringList{"Sorte", "Leer"}));
    ado::Connection c(fixtures::helperOptions());
    c.setConnectionString(ado::connectionStringFor(path));
    c.Open();
    EXPECT_EQ(c.Properties().Item(QStringLiteral("Page Size")).Value().integer, 2048);
    ado::Command command;
    command.setActiveConnection(c);
    command.setCommandText("SELECT * FROM Sorte");
    ado::Recordset rs = command.Execute();
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QStringList rows;
    for (; !rs.Eof(); rs.MoveNext()) {
        QStringList values;
        for (int i = 0; i < rs.Fields().Count(); ++i)
            values << ado::variantText(rs.Fields().Item(i).Value(), us);
        rows << values.join(u'|');
    }
    EXPECT_EQ(rows, (QStringList{"1|Kümmel|1.25|mild|True", "-2||||False"}))
        << rows.join(u'\n').toStdString();
    rs.Requery();
    EXPECT_EQ(rs.Fields().Item(1).DefinedSize(), 40) << "Jet 3 counts text in characters";
}

TEST(WrittenFiles, ATablePastOneUsageBitmapReadsInOrder) {
    jet4::Object big("Big");
    big.columns = {{"ID", Type::Long}, {"Label", Type::Text, 40}};
    for (int i = 0; i < 60000; ++i) // about 1,000 pages: past the 512 one map row spans
        big.rows.push_back({Value::of(i), Value::ofText("row number " + std::to_string(i))});
    Folder folder;
    helper_protocol::HostSession s(fixtures::helperOptions());
    QCborMap open = helper_protocol::request(QStringLiteral("open"));
    open[QStringLiteral("path")] = QFile::encodeName(folder.write("big.mdb", {big}));
    ASSERT_TRUE(s.call(open).value(helper_protocol::Key::ok).toBool());
    QCborMap query = helper_protocol::request(QStringLiteral("query"));
    query[QStringLiteral("table")] = "Big";
    QCborMap fetch = helper_protocol::request(QStringLiteral("fetch"));
    fetch[QStringLiteral("cursor")] = s.call(query).value(QStringLiteral("cursor"));
    fetch[QStringLiteral("max")] = 4096;
    qint64 expected = 0;
    bool inOrder = true;
    for (bool end = false; !end;) {
        const QCborMap batch = s.call(fetch);
        ASSERT_TRUE(batch.value(helper_protocol::Key::ok).toBool());
        end = batch.value(QStringLiteral("end")).toBool();
        for (const QCborValue &row : batch.value(QStringLiteral("rows")).toArray())
            inOrder = inOrder && row[0].toInteger() == expected++;
    }
    EXPECT_EQ(expected, 60000);
    EXPECT_TRUE(inOrder);
}

TEST(WrittenFiles, MovedRowsKeepTheirPlaceAndDeletedOnesAreGone) {
    jet4::Object t("Moved");
    t.columns = {{"ID", Type::Long}, {"Label", Type::Text, 20}};
    for (int i = 0; i < 12; ++i)
        t.rows.push_back({Value::of(i), Value::ofText("row " + std::to_string(i))});
    t.movedRows = {0, 5, 11};
    t.deletedRows = {3, 8};
    Folder folder;
    ado::Connection c(fixtures::helperOptions());
    c.setConnectionString(ado::connectionStringFor(folder.write("moved.mdb", {t})));
    c.Open();
    ado::Command command;
    command.setActiveConnection(c);
    command.setCommandText("SELECT * FROM Moved");
    ado::Recordset rs = command.Execute();
    QStringList ids;
    for (; !rs.Eof(); rs.MoveNext())
        ids << ado::variantText(rs.Fields().Item(0).Value()) + u':' +
                   ado::variantText(rs.Fields().Item(1).Value());
    EXPECT_EQ(ids, (QStringList{"0:row 0", "1:row 1", "2:row 2", "4:row 4", "5:row 5", "6:row 6", "7:row 7",
                                "9:row 9", "10:row 10", "11:row 11"}));
}
