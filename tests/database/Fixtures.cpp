// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fixtures.h"

#include "Fakes.h"

#include "helper_protocol/HostSession.h"
#include "helper_protocol/Protocol.h"
#include "platform/ApplicationFolder.h"

#include <QFile>

using namespace jet4;

namespace fixtures {

Object authors() {
    Object t("Authors");
    t.columns = {
        {"Au_ID", Type::Long, 0, 0, 0, true, true}, {"Author", Type::Text, 50}, {"Year Born", Type::Integer}};
    t.rows = {{Value::of(1), Value::ofText(""), Value::null()},
              {Value::of(2), Value::null(), Value::of(1931)},
              {Value::of(3), Value::ofText("Åsa Öberg 😀"), Value::of(-12)}};
    return t;
}

Object allTypes() {
    Object t("AllTypes");
    t.columns = {{"cBool", Type::Boolean},      {"cByte", Type::Byte},
                 {"cInt", Type::Integer},       {"cLong", Type::Long},
                 {"cMoney", Type::Currency},    {"cSingle", Type::Single},
                 {"cDouble", Type::Double},     {"cDate", Type::Date},
                 {"cBinary", Type::Binary, 16}, {"cText", Type::Text, 20},
                 {"cOle", Type::Ole},           {"cMemo", Type::Memo},
                 {"cGuid", Type::Guid},         {"cNumeric", Type::Numeric, 0, 18, 2}};
    const std::vector<uint8_t> guid = {0x78, 0x56, 0x34, 0x12, 0x34, 0x12, 0x78, 0x56,
                                       0x9a, 0xbc, 0xde, 0xf0, 0x12, 0x34, 0x56, 0x78};
    t.rows = {{Value::of(1), Value::of(255), Value::of(-32768), Value::of(-2147483647 - 1), Value::of(35000),
               Value::ofReal(1.5), Value::ofReal(3.25), Value::ofReal(36526.75),
               Value::ofBytes({'a', 0, 'b', 0}), Value::ofText("hello"), Value::ofBytes({'O', 'L', 'E', 0}),
               Value::ofText(std::string(300, 'm')), Value::ofBytes(guid), Value::of(-1234567)},
              Row(14)};
    t.rows[1][0] = Value::of(0);
    return t;
}

std::vector<Object> mixedCatalog() {
    Object local("Local Table");
    local.columns = {{"ID", Type::Long}};
    Object hidden("Hidden Table", ObjectType::Table, 0x8);
    hidden.columns = {{"ID", Type::Long}};
    Object system("MSysCustom", ObjectType::Table, 0x80000000u);
    system.columns = {{"ID", Type::Long}};
    Object access("MSysAccessLike", ObjectType::Table, 0x2);
    access.columns = {{"ID", Type::Long}};
    Object linked("Linked Table", ObjectType::LinkedTable, 0x00200000);
    linked.database = "/data/other.mdb";
    linked.foreignName = "Titles";
    Object odbc("Odbc Link", ObjectType::OdbcLink, 0x20100000);
    odbc.connect = "ODBC;DSN=books";
    odbc.foreignName = "dbo.titles";
    Object query("qryAuthors", ObjectType::Query, 0x3);
    Object second("Second Table");
    second.columns = {{"ID", Type::Long}};
    return {local, hidden, system, access, linked, odbc, query, second};
}

QString Folder::write(const QString &name, const std::vector<Object> &objects, const Options &options) {
    const QString file = path(name);
    writeFile(QFile::encodeName(file).toStdString(), objects, options);
    return file;
}

QString Folder::writeBytes(const QString &name, const QByteArray &bytes) {
    const QString file = path(name);
    QFile f(file);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return file;
}

QString sample(const QString &name) {
    const QString folder =
        qEnvironmentVariable("LUMSIFTER_ACCESS_SAMPLES", QStringLiteral("/work/shared/testdata/access"));
    return folder + u'/' + name;
}

bool samplesPresent() {
    return QFile::exists(sample(QStringLiteral("jk_testV2000.mdb")));
}

QString helperProgram() {
    return builtProgramFolder() + u'/' + platform::helperFileName;
}

helper_protocol::HostOptions helperOptions() {
    return helper_protocol::HostOptions{QFile::encodeName(helperProgram())};
}

QCborMap call(helper_protocol::HostSession &session, const QString &op, const QString &key, const QCborValue &value) {
    QCborMap r = helper_protocol::request(op);
    if (!key.isEmpty())
        r[key] = value;
    return session.call(r);
}

} // namespace fixtures
