// SPDX-License-Identifier: GPL-3.0-or-later
// Every value of every ordinary (and hidden user) table of the real sample files, read through the helper and
// compared whole with the expected text under tests/database/expected/ (one file per database). What each
// database exercises:
//   jk_testV1997.mdb              Jet 3: 2 KiB pages, one-byte row offsets, code-page text, a GUID table
//   jk_testV2000.mdb              Jet 4: every common type, 89 text columns, empty tables
//   DateTestDatabase.mdb          dates before 1900 and in year 9999, memos with line breaks
//   jk_testUnicodeCompV2003.mdb   compressed Unicode text, control characters
//   jk_delColTestV2003.mdb        a deleted column: column numbers with a gap
//   jk_fixedTextTestV2003.mdb     a fixed-length Text(1) in the fixed part, NOT NULL columns (Jet 4)
//   jk_fixedTextTestV2010.accdb   the same in ACE 2010
//   jk_fixedNumericTestV2010.accdb Decimal columns in ACE 2010
//   mr_numeric.mdb                Decimal columns in Jet 4
//   jk_overflowTestV2010.accdb    rows spread over many pages; a system table whose rows moved pages
//   jk_complexDataTestV2010.accdb attachment, multi-value and version-history columns (their ids)
//   jk_linkerTestV2007.accdb      ACE 2007 with a linked table (not listed, not read)
//   jk_odbcLinkerTestV2007.accdb  ACE 2007 with an ODBC link, a hidden table and queries
//   mr_currency.accdb             Currency
//   mr_withinsertedcol.accdb      a column inserted later: rows older than the column
//   mr_V2000_no-password.mdb      the unprotected twin of a password-protected database
//   jk_emptyJet4.mdb              no ordinary table at all
// Set LUMSIFTER_WRITE_EXPECTED to a folder to write the texts there instead (to review new ones).
#include "Fixtures.h"

#include "database_client/dao/Dao.h"
#include "helper_protocol/HostSession.h"
#include "helper_protocol/Protocol.h"

#include <QCborArray>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace helper_protocol;
using fixtures::call;

namespace {

QString quoted(const QString &text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            out += u'\\' + QString(c);
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0) || c.isSurrogate() ||
                 c.unicode() == 0xfffd)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
        else
            out += c;
    }
    return out + u'"';
}

// One value as the helper handed it out, in a form that keeps every bit of it.
QString valueText(int type, const QCborValue &v) {
    if (v.isNull())
        return QStringLiteral("NULL");
    if (v.isBool())
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (v.isInteger())
        return QString::number(v.toInteger());
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', type == 0x06 ? 9 : 17);
    if (v.isString())
        return quoted(v.toString());
    if (v.isByteArray())
        return QStringLiteral("0x") + QString::fromLatin1(v.toByteArray().toHex());
    return QStringLiteral("?");
}

// Every ordinary table of the database (the tables "Select" lists), each as a heading, its columns
// and one line per row.
QString dump(const QString &path) {
    HostSession s(fixtures::helperOptions());
    QCborMap open = request(QStringLiteral("open"));
    open[QStringLiteral("path")] = QFile::encodeName(path);
    const QCborMap opened = s.call(open);
    if (!opened.value(Key::ok).toBool())
        return QStringLiteral("open failed: ") + opened.value(Key::message).toString();
    QString out;
    for (const QCborValue &o : call(s, "catalog").value(QStringLiteral("objects")).toArray()) {
        const int type = int(o[QStringLiteral("type")].toInteger());
        const qint32 attributes = dao::tableAttributes(type, quint32(o[QStringLiteral("flags")].toInteger()));
        if (type != dao::CatalogType::LocalTable || (attributes & ~dao::Attribute::HiddenObject) != 0)
            continue;
        const QString table = o[QStringLiteral("name")].toString();
        const QCborMap result = call(s, "query", "table", table);
        out += QStringLiteral("## ") + table + (attributes ? QStringLiteral(" (hidden)") : QString()) + u'\n';
        QStringList heading;
        std::vector<int> types;
        for (const QCborValue &c : result.value(QStringLiteral("columns")).toArray()) {
            types.push_back(int(c[QStringLiteral("type")].toInteger()));
            heading << QStringLiteral("%1:%2").arg(c[QStringLiteral("name")].toString()).arg(types.back());
        }
        out += heading.join(QStringLiteral(" | ")) + u'\n';
        QCborMap fetch = request(QStringLiteral("fetch"));
        fetch[QStringLiteral("cursor")] = result.value(QStringLiteral("cursor"));
        fetch[QStringLiteral("max")] = 1000;
        for (bool end = false; !end;) {
            const QCborMap batch = s.call(fetch);
            if (!batch.value(Key::ok).toBool())
                return out + QStringLiteral("fetch failed: ") + batch.value(Key::message).toString();
            end = batch.value(QStringLiteral("end")).toBool();
            for (const QCborValue &row : batch.value(QStringLiteral("rows")).toArray()) {
                QStringList values;
                for (size_t c = 0; c < types.size(); ++c)
                    values << valueText(types[c], row[qsizetype(c)]);
                out += values.join(QStringLiteral(" | ")) + u'\n';
            }
        }
    }
    return out;
}

QString expectedFolder() {
    return QStringLiteral(LUMSIFTER_EXPECTED_DIR);
}

} // namespace

TEST(RealFiles, EveryValueOfEveryOrdinaryTableIsWhatTheFileHolds) {
    if (!fixtures::samplesPresent())
        GTEST_SKIP() << "sample files not present";
    const QDir samples(QFileInfo(fixtures::sample(QStringLiteral("jk_testV2000.mdb"))).absolutePath());
    const QString writeTo = qEnvironmentVariable("LUMSIFTER_WRITE_EXPECTED");
    int compared = 0;
    for (const QString &name : samples.entryList({"*.mdb", "*.accdb"}, QDir::Files, QDir::Name)) {
        const QString text = dump(samples.filePath(name));
        if (!writeTo.isEmpty()) {
            QFile out(writeTo + u'/' + name + QStringLiteral(".txt"));
            ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(text.toUtf8());
            continue;
        }
        QFile expected(expectedFolder() + u'/' + name + QStringLiteral(".txt"));
        ASSERT_TRUE(expected.open(QIODevice::ReadOnly)) << "no expected text for " << name.toStdString();
        EXPECT_EQ(text.toStdString(), QString::fromUtf8(expected.readAll()).toStdString())
            << name.toStdString();
        ++compared;
    }
    if (writeTo.isEmpty()) {
        EXPECT_GE(compared, 17);
    }
}

// Which columns the primary key holds, as the query's column descriptions say: Jet 3, Jet 4 and ACE
// place the kind of a logical index differently. A table with an index that is no primary key, and
// one with none, have no key columns.
TEST(RealFiles, KeyColumnsAreThoseOfThePrimaryKey) {
    if (!fixtures::samplesPresent())
        GTEST_SKIP() << "sample files not present";
    const struct {
        const char *file;
        const char *table;
        QStringList keys;
    } cases[] = {
        {"jk_testV1997.mdb", "Table1", {"A"}},          {"jk_testV2000.mdb", "Table1", {"A"}},
        {"mr_V2000_no-password.mdb", "Table1", {"ID"}}, {"jk_complexDataTestV2010.accdb", "Table1", {"id"}},
        {"jk_delColTestV2003.mdb", "Table1", {}},       {"mr_withinsertedcol.accdb", "Table1", {}},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.file);
        HostSession s(fixtures::helperOptions());
        ASSERT_TRUE(
            call(s, "open", "path", QFile::encodeName(fixtures::sample(row.file))).value(Key::ok).toBool());
        QStringList keys;
        for (const QCborValue &c :
             call(s, "query", "table", row.table).value(QStringLiteral("columns")).toArray())
            if (c[QStringLiteral("key")].toBool())
                keys << c[QStringLiteral("name")].toString();
        EXPECT_EQ(keys.join(u','), row.keys.join(u','));
    }
}
