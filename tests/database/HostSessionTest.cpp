// SPDX-License-Identifier: GPL-3.0-or-later
// The helper process through its protocol: what it reads, how it fails, and how the program
// survives a helper that hangs, dies or talks nonsense.
#include "Fixtures.h"

#include "helper_protocol/HostSession.h"
#include "helper_protocol/Protocol.h"

#include <QCborArray>
#include <QFile>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace helper_protocol;
using fixtures::call;
using fixtures::Folder;
using fixtures::helperOptions;

namespace {

// Matches a call that fails as a process, in this way.
auto throwsFailure(HostFailure::Kind kind) {
    return testing::Throws<HostFailure>(testing::Property(&HostFailure::kind, kind));
}

QCborMap openRequest(const QString &path) {
    QCborMap r = request(QStringLiteral("open"));
    r[QStringLiteral("path")] = QFile::encodeName(path);
    return r;
}

QString errorOf(const QCborMap &reply) {
    return reply.value(Key::ok).toBool() ? QStringLiteral("ok") : reply.value(Key::error).toString();
}

// A fake helper: a shell script standing where the helper would.
QString script(Folder &folder, const QByteArray &body) {
    const QString path = folder.writeBytes(QStringLiteral("fake-helper"), "#!/bin/sh\n" + body + "\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

TEST(DbHost, OpensAJet4FileAndReportsItsHeader) {
    Folder folder;
    HostSession s(helperOptions());
    const QCborMap reply = s.call(openRequest(folder.write("a.mdb", {fixtures::authors()})));
    ASSERT_EQ(errorOf(reply), "ok");
    const QCborMap info = reply.value(QStringLiteral("info")).toMap();
    EXPECT_EQ(info.value(QStringLiteral("engine")).toString(), "Jet");
    EXPECT_EQ(info.value(QStringLiteral("version")).toString(), "4.0");
    EXPECT_EQ(info.value(QStringLiteral("pageSize")).toInteger(), 4096);
    EXPECT_EQ(info.value(QStringLiteral("codePage")).toInteger(), 1252);
    EXPECT_EQ(info.value(QStringLiteral("localeId")).toInteger(), 0x409);
    EXPECT_FALSE(info.value(QStringLiteral("encrypted")).toBool());
}

TEST(DbHost, CatalogListsEveryObjectWithTypeAndFlagsInCatalogOrder) {
    Folder folder;
    HostSession s(helperOptions());
    s.call(openRequest(folder.write("m.mdb", fixtures::mixedCatalog())));
    const QCborArray objects = call(s, "catalog").value(QStringLiteral("objects")).toArray();
    QStringList names;
    for (const QCborValue &o : objects)
        names << o[QStringLiteral("name")].toString();
    EXPECT_EQ(names, (QStringList{"Tables", "Databases", "Relationships", "MSysObjects", "Local Table",
                                  "Hidden Table", "MSysCustom", "MSysAccessLike", "Linked Table", "Odbc Link",
                                  "qryAuthors", "Second Table"}));
    const QCborValue odbc = objects.at(9);
    EXPECT_EQ(odbc[QStringLiteral("type")].toInteger(), 4);
    EXPECT_EQ(odbc[QStringLiteral("flags")].toInteger(), 0x20100000);
    EXPECT_EQ(odbc[QStringLiteral("connect")].toString(), "ODBC;DSN=books");
    EXPECT_EQ(objects.at(8)[QStringLiteral("database")].toString(), "/data/other.mdb");
    EXPECT_EQ(objects.at(3)[QStringLiteral("flags")].toInteger(), 0x80000000u);
}

TEST(DbHost, QueryGivesTypedValuesAndRealNulls) {
    Folder folder;
    HostSession s(helperOptions());
    s.call(openRequest(folder.write("t.mdb", {fixtures::allTypes()})));
    QCborMap q = request(QStringLiteral("query"));
    q[QStringLiteral("table")] = "alltypes"; // names match without regard to case
    const QCborMap result = s.call(q);
    ASSERT_EQ(errorOf(result), "ok");
    const QCborArray columns = result.value(QStringLiteral("columns")).toArray();
    ASSERT_EQ(columns.size(), 14);
    EXPECT_EQ(columns.at(9)[QStringLiteral("size")].toInteger(), 20) << "text size in characters";
    EXPECT_EQ(columns.at(13)[QStringLiteral("precision")].toInteger(), 18);
    EXPECT_EQ(columns.at(13)[QStringLiteral("scale")].toInteger(), 2);
    EXPECT_TRUE(columns.at(1)[QStringLiteral("nullable")].toBool());
    EXPECT_FALSE(columns.at(0)[QStringLiteral("nullable")].toBool()) << "a Boolean is never NULL";

    QCborMap f = request(QStringLiteral("fetch"));
    f[QStringLiteral("cursor")] = result.value(QStringLiteral("cursor"));
    f[QStringLiteral("max")] = 10;
    const QCborMap batch = s.call(f);
    EXPECT_TRUE(batch.value(QStringLiteral("end")).toBool());
    const QCborArray rows = batch.value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 2);
    const QCborArray full = rows.at(0).toArray();
    EXPECT_EQ(full.at(0), QCborValue(true));
    EXPECT_EQ(full.at(1).toInteger(), 255);
    EXPECT_EQ(full.at(2).toInteger(), -32768);
    EXPECT_EQ(full.at(3).toInteger(), -2147483647 - 1);
    EXPECT_EQ(full.at(4).toInteger(), 35000) << "currency in 1/10000";
    EXPECT_EQ(full.at(5).toDouble(), 1.5);
    EXPECT_EQ(full.at(6).toDouble(), 3.25);
    EXPECT_EQ(full.at(7).toDouble(), 36526.75);
    EXPECT_EQ(full.at(8).toByteArray(), QByteArray("a\0b\0", 4)) << "binary is not cut at a NUL";
    EXPECT_EQ(full.at(9).toString(), "hello");
    EXPECT_EQ(full.at(10).toByteArray(), QByteArray("OLE\0", 4)) << "the OLE data, not its header";
    EXPECT_EQ(full.at(11).toString(), QString(300, u'm'));
    EXPECT_EQ(full.at(12).toByteArray().toHex(), "78563412341278569abcdef012345678");
    EXPECT_EQ(full.at(13).toString(), "-12345.67");
    const QCborArray nulls = rows.at(1).toArray();
    EXPECT_EQ(nulls.at(0), QCborValue(false));
    for (int c = 1; c < 14; ++c)
        EXPECT_TRUE(nulls.at(c).isNull()) << "column " << c;
}

TEST(DbHost, EmptyTextIsNotNullAndCharactersOutsideTheBmpSurvive) {
    Folder folder;
    HostSession s(helperOptions());
    s.call(openRequest(folder.write("a.mdb", {fixtures::authors()})));
    const QCborMap result = call(s, "query", "table", "Authors");
    QCborMap f = request(QStringLiteral("fetch"));
    f[QStringLiteral("cursor")] = result.value(QStringLiteral("cursor"));
    f[QStringLiteral("max")] = 10;
    const QCborArray rows = s.call(f).value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows.at(0)[1].isString());
    EXPECT_EQ(rows.at(0)[1].toString(), "");
    EXPECT_TRUE(rows.at(0)[2].isNull());
    EXPECT_TRUE(rows.at(1)[1].isNull());
    EXPECT_EQ(rows.at(2)[1].toString(), QStringLiteral("Åsa Öberg 😀"));
    EXPECT_EQ(rows.at(2)[2].toInteger(), -12);
}

TEST(DbHost, FetchLatchesTheEndAndRewindStartsOver) {
    jet4::Object big("Big");
    big.columns = {{"ID", jet4::Type::Long}};
    for (int i = 0; i < 2500; ++i)
        big.rows.push_back({jet4::Value::of(i)});
    Folder folder;
    HostSession s(helperOptions());
    s.call(openRequest(folder.write("b.mdb", {big})));
    const QCborValue cursor = call(s, "query", "table", "Big").value(QStringLiteral("cursor"));
    QCborMap f = request(QStringLiteral("fetch"));
    f[QStringLiteral("cursor")] = cursor;
    f[QStringLiteral("max")] = 1000;
    qint64 seen = 0, expected = 0;
    bool inOrder = true;
    for (int batch = 0; batch < 3; ++batch) {
        for (const QCborValue &row : s.call(f).value(QStringLiteral("rows")).toArray())
            inOrder = inOrder && row[0].toInteger() == expected++, ++seen;
    }
    EXPECT_EQ(seen, 2500);
    EXPECT_TRUE(inOrder);
    const QCborMap after = s.call(f);
    EXPECT_TRUE(after.value(QStringLiteral("end")).toBool());
    EXPECT_TRUE(after.value(QStringLiteral("rows")).toArray().isEmpty()) << "the end stays the end";
    call(s, "rewind", "cursor", cursor);
    EXPECT_EQ(s.call(f).value(QStringLiteral("rows")).toArray().at(0)[0].toInteger(), 0);
}

TEST(DbHost, TwoResultsOnOneDatabaseDoNotDisturbEachOther) {
    Folder folder;
    HostSession s(helperOptions());
    s.call(openRequest(folder.write("a.mdb", {fixtures::authors()})));
    const QCborValue first = call(s, "query", "table", "Authors").value(QStringLiteral("cursor"));
    const QCborValue second = call(s, "query", "table", "Authors").value(QStringLiteral("cursor"));
    auto fetchOne = [&](const QCborValue &cursor) {
        QCborMap f = request(QStringLiteral("fetch"));
        f[QStringLiteral("cursor")] = cursor;
        f[QStringLiteral("max")] = 1;
        return s.call(f).value(QStringLiteral("rows")).toArray().at(0)[0].toInteger();
    };
    EXPECT_EQ(fetchOne(first), 1);
    EXPECT_EQ(fetchOne(first), 2);
    EXPECT_EQ(fetchOne(second), 1);
    EXPECT_EQ(fetchOne(first), 3);
}

TEST(DbHost, RefusesWhatIsNotADatabaseWithACode) {
    Folder folder;
    folder.writeBytes("text.mdb", "just some text, long enough to be read as a header by anyone\n");
    folder.writeBytes("empty.mdb", "");
    QByteArray truncated;
    QFile demo(folder.write("whole.mdb", {fixtures::authors()}));
    demo.open(QIODevice::ReadOnly);
    folder.writeBytes("short.mdb", demo.read(5000));
    const std::pair<QString, QString> cases[] = {
        {folder.path("missing.mdb"), Error::notFound}, {folder.path(""), Error::notDatabase},
        {folder.path("text.mdb"), Error::notDatabase}, {folder.path("empty.mdb"), Error::notDatabase},
        {folder.path("short.mdb"), Error::unreadable}, {"/dev/null", Error::notDatabase},
    };
    for (const auto &[path, code] : cases) {
        HostSession s(helperOptions());
        const QCborMap reply = s.call(openRequest(path));
        EXPECT_EQ(errorOf(reply), code) << path.toStdString();
        EXPECT_FALSE(reply.value(Key::message).toString().isEmpty());
    }
}

TEST(DbHost, NamesMissingLinkedAndQueryObjectsApart) {
    Folder folder;
    HostSession s(helperOptions());
    s.call(openRequest(folder.write("m.mdb", fixtures::mixedCatalog())));
    EXPECT_EQ(errorOf(call(s, "query", "table", "Nowhere")), Error::noSuchTable);
    EXPECT_EQ(errorOf(call(s, "query", "table", "Linked Table")), Error::notLocalTable);
    EXPECT_EQ(errorOf(call(s, "query", "table", "Odbc Link")), Error::notLocalTable);
    EXPECT_EQ(errorOf(call(s, "query", "table", "qryAuthors")), Error::notLocalTable);
    EXPECT_EQ(errorOf(call(s, "query", "table", "Tables")), Error::noSuchTable) << "a container is no table";
    EXPECT_EQ(errorOf(call(s, "query", "table", "Hidden Table")), "ok");
}

TEST(DbHost, RejectsRequestsOutOfOrderOrOfAnotherVersion) {
    HostSession s(helperOptions());
    EXPECT_EQ(errorOf(call(s, "catalog")), Error::badRequest);
    EXPECT_EQ(errorOf(call(s, "fetch", "cursor", 7)), Error::badRequest);
    EXPECT_EQ(errorOf(call(s, "dance")), Error::badRequest);
    QCborMap old = request(QStringLiteral("catalog"));
    old[Key::version] = 0;
    EXPECT_EQ(errorOf(s.call(old)), Error::badRequest);
    EXPECT_TRUE(s.running()) << "a bad request is answered, not fatal";
}

TEST(DbHost, SaysWhichBytesOfTheFileAreMissing) {
    Folder folder;
    QFile whole(folder.write("whole.mdb", {fixtures::authors()}));
    whole.open(QIODevice::ReadOnly);
    QByteArray bytes = whole.readAll();
    bytes.truncate(4096 * 4); // the catalog's data page (5) is gone
    HostSession s(helperOptions());
    s.call(openRequest(folder.writeBytes("broken.mdb", bytes)));
    const QCborMap reply = call(s, "catalog");
    EXPECT_EQ(errorOf(reply), Error::unreadable);
    EXPECT_EQ(reply.value(Key::detail).toString(),
              "Page 5 would start at byte 20480, but the file has 16384 bytes.");
}

TEST(DbHostSession, AHelperThatDoesNotAnswerIsStoppedAtTheTimeLimit) {
    Folder folder;
    HostOptions options{QFile::encodeName(script(folder, "exec sleep 30"))};
    options.timeLimitMs = 300;
    HostSession s(options);
    EXPECT_THAT([&] { s.call(request(QStringLiteral("catalog"))); },
                throwsFailure(HostFailure::Kind::TimedOut));
    EXPECT_FALSE(s.running());
    EXPECT_THROW(s.call(request(QStringLiteral("catalog"))), HostFailure);
}

TEST(DbHostSession, AHelperThatDiesOrTalksNonsenseFailsTheRequest) {
    Folder folder;
    const std::pair<QByteArray, HostFailure::Kind> cases[] = {
        {"exit 3", HostFailure::Kind::Ended},
        {"kill -SEGV $$", HostFailure::Kind::Ended},
        {"head -c 4 >/dev/null; printf 'XXXXgarbage'", HostFailure::Kind::Garbage},
        {"head -c 4 >/dev/null; printf '\\005\\000\\000\\000\\377\\377\\377\\377\\377'; exec sleep 5",
         HostFailure::Kind::Garbage},
    };
    for (const auto &[body, kind] : cases) {
        HostSession s(HostOptions{QFile::encodeName(script(folder, body))});
        EXPECT_THAT([&] { s.call(request(QStringLiteral("catalog"))); }, throwsFailure(kind))
            << body.constData();
        EXPECT_FALSE(s.running());
    }
}

TEST(DbHostSession, AMissingHelperCannotBeStarted) {
    const HostOptions missing{QFile::encodeName(QStringLiteral("/nonexistent/lumsifter-dbhost"))};
    EXPECT_THAT([&] { HostSession s(missing); }, throwsFailure(HostFailure::Kind::NotStarted));
}

TEST(DbHostSession, TheMemoryLimitAppliesInTheHelper) {
#ifdef LUMSIFTER_SANITIZED
    GTEST_SKIP() << "the sanitizer build runs the helper without the limit";
#endif
    Folder folder;
    HostOptions options{QFile::encodeName(script(folder, "head -c 4 >/dev/null; ulimit -v > \"$0.limit\""))};
    options.memoryLimitBytes = quint64(512) << 20;
    HostSession s(options);
    EXPECT_THROW(s.call(request(QStringLiteral("catalog"))), HostFailure);
    QFile limit(options.program + ".limit");
    ASSERT_TRUE(limit.open(QIODevice::ReadOnly));
    EXPECT_EQ(limit.readAll().trimmed(), "524288") << "kilobytes";
}

namespace {

// Whether the process is gone: not there any more, or a zombie nobody has reaped yet.
bool isGone(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype end = line.lastIndexOf(')');
    return end < 0 || line.mid(end + 2, 1) == "Z";
}

} // namespace

TEST(DbHostSession, TheHelperDiesWithTheProgramEvenWhenStopped) {
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    // The program: a process of its own that starts the real helper, says its id and waits.
    const pid_t program = ::fork();
    if (program == 0) {
        HostSession s(helperOptions());
        s.call(request(QStringLiteral("catalog"))); // answered: the helper runs
        const pid_t helperPid = s.pid();
        (void)!::write(report[1], &helperPid, sizeof helperPid);
        ::pause();
        ::_exit(0);
    }
    ::close(report[1]);
    pid_t helperPid = 0;
    ASSERT_EQ(::read(report[0], &helperPid, sizeof helperPid), ssize_t(sizeof helperPid));
    ::close(report[0]);
    ASSERT_GT(helperPid, 0);
    // A helper stuck somewhere (here: stopped) and a program killed outright.
    ::kill(helperPid, SIGSTOP);
    ::kill(program, SIGKILL);
    ::waitpid(program, nullptr, 0);
    bool gone = false;
    for (int waited = 0; waited < 1000 && !gone; waited += 10) {
        gone = isGone(helperPid);
        if (!gone)
            ::usleep(10000);
    }
    EXPECT_TRUE(gone);
    if (!gone)
        ::kill(helperPid, SIGKILL);
}

TEST(DbHostSession, TheHelperStartsFromAFolderNamedInAnyEncoding) {
    Folder folder;
    const QByteArray odd = QFile::encodeName(folder.path(QStringLiteral("caf"))) + "\xe9";
    ASSERT_EQ(::mkdir(odd.constData(), 0755), 0);
    const QByteArray program = odd + "/lumsifter-dbhost";
    ASSERT_TRUE(QFile::copy(fixtures::helperProgram(), folder.path(QStringLiteral("plain-copy"))));
    ASSERT_EQ(::rename(QFile::encodeName(folder.path(QStringLiteral("plain-copy"))).constData(),
                       program.constData()),
              0);
    HostSession s(HostOptions{program});
    const QCborMap reply = s.call(openRequest(folder.write("a.mdb", {fixtures::authors()})));
    EXPECT_EQ(errorOf(reply), "ok");
}
