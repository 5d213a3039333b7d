// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged databases through the helper: a fixed-seed run of byte mutations and truncations of a
// fixture. Every file must end in a table list or a failed open (a refusal, or a helper that died or
// ran out of time), and none may take the test process down.
#include "Fixtures.h"
#include "TestScale.h"

#include "database_client/dao/Dao.h"
#include "helper_protocol/HostSession.h"
#include "helper_protocol/Protocol.h"

#include <QCborArray>
#include <QFile>

#include <gtest/gtest.h>

#include <iostream>
#include <random>

using fixtures::Folder;

namespace {

constexpr int fuzzTimeLimitMs = 2000;

QByteArray fixtureImage(Folder &folder) {
    std::vector<jet4::Object> objects = fixtures::mixedCatalog();
    objects.push_back(fixtures::authors());
    objects.push_back(fixtures::allTypes());
    jet4::Object calculated("Calculated"); // with property blocks that say what its values are
    calculated.columns = {
        {"Price", jet4::Type::Currency}, {"Flag", jet4::Type::Boolean}, {"Note", jet4::Type::Memo}};
    for (jet4::Column &c : calculated.columns)
        c.calculated = true;
    calculated.rows = {{jet4::Value::of(15000), jet4::Value::of(1), jet4::Value::ofText("noted")}};
    objects.push_back(calculated);
    QFile f(folder.write("fixture.mdb", objects));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// Damage where readers look most: the header, the catalog and the table definitions and their
// rows, with values that mislead (zero, all ones, large offsets) as well as random bytes.
QByteArray mutate(const QByteArray &image, std::mt19937 &random) {
    QByteArray bytes = image;
    std::uniform_int_distribution<int> kind(0, 9);
    const int k = kind(random);
    if (k == 0) {
        bytes.truncate(std::uniform_int_distribution<qsizetype>(0, image.size() - 1)(random));
        return bytes;
    }
    static const quint32 misleading[] = {0, 0xffffffffu, 0x7fffffff, 0x8000, 0x1000, 0xfff, 2, 1};
    const int changes = std::uniform_int_distribution<int>(1, 8)(random);
    for (int c = 0; c < changes; ++c) {
        const qsizetype page =
            std::uniform_int_distribution<int>(0, 3)(random) == 0
                ? std::uniform_int_distribution<qsizetype>(0, image.size() / 4096 - 1)(random)
                : std::uniform_int_distribution<qsizetype>(0, 4)(random);
        const qsizetype at = page * 4096 + std::uniform_int_distribution<qsizetype>(0, 4092)(random);
        if (k < 5) {
            bytes[at] = char(random());
        } else {
            const quint32 v = misleading[random() % std::size(misleading)];
            for (int b = 0; b < (k < 8 ? 2 : 4); ++b)
                bytes[at + b] = char(v >> (8 * b));
        }
    }
    return bytes;
}

struct Outcomes {
    int listed = 0, refused = 0, helperFailed = 0;
};

} // namespace

TEST(DamagedFiles, EveryMutationEndsInATableListOrAFailedOpen) {
    Folder folder;
    const QByteArray image = fixtureImage(folder);
    dao::DBEngine &engine = dao::DBEngine::instance();
    helper_protocol::HostOptions options = fixtures::helperOptions();
    options.timeLimitMs = fuzzTimeLimitMs;
    engine.setHost(options);
    std::mt19937 random(20240611);
    Outcomes seen;
    const int runs = scaledRounds(2500);
    for (int run = 0; run < runs; ++run) {
        const QString path = folder.writeBytes("damaged.mdb", mutate(image, random));
        try {
            dao::Database db = engine.OpenDatabase(path);
            for (const dao::TableDef &t : db.TableDefs())
                EXPECT_FALSE(t.Name().isEmpty()) << "run " << run;
            db.Close();
            ++seen.listed;
        } catch (const dao::DaoError &e) {
            ++(e.number() == dao::ErrorNumber::EngineFailure ? seen.helperFailed : seen.refused);
        }
    }
    std::cout << "listed " << seen.listed << ", refused " << seen.refused << ", helper failed "
              << seen.helperFailed << '\n';
    EXPECT_EQ(seen.listed + seen.refused + seen.helperFailed, runs);
    EXPECT_GT(seen.listed, 0);
    EXPECT_GT(seen.refused, 0);
}

TEST(DamagedFiles, ReadingEveryRowOfAMutatedTableEndsCleanly) {
    Folder folder;
    const QByteArray image = fixtureImage(folder);
    std::mt19937 random(7);
    helper_protocol::HostOptions options = fixtures::helperOptions();
    options.timeLimitMs = fuzzTimeLimitMs;
    Outcomes seen;
    const int runs = scaledRounds(800);
    for (int run = 0; run < runs; ++run) {
        QCborMap open = helper_protocol::request(QStringLiteral("open"));
        open[QStringLiteral("path")] =
            QFile::encodeName(folder.writeBytes("damaged.mdb", mutate(image, random)));
        QCborMap query = helper_protocol::request(QStringLiteral("query"));
        static const char *const tables[] = {"Authors", "AllTypes", "Calculated"};
        query[QStringLiteral("table")] = tables[run % 3];
        try {
            helper_protocol::HostSession s(options);
            bool ok = s.call(open).value(helper_protocol::Key::ok).toBool();
            const QCborMap result = ok ? s.call(query) : QCborMap();
            ok = ok && result.value(helper_protocol::Key::ok).toBool();
            QCborMap fetch = helper_protocol::request(QStringLiteral("fetch"));
            fetch[QStringLiteral("cursor")] = result.value(QStringLiteral("cursor"));
            fetch[QStringLiteral("max")] = 100;
            for (int batch = 0; ok && batch < 100; ++batch) {
                const QCborMap rows = s.call(fetch);
                ok = rows.value(helper_protocol::Key::ok).toBool();
                if (ok && rows.value(QStringLiteral("end")).toBool())
                    break;
            }
            ++(ok ? seen.listed : seen.refused);
        } catch (const helper_protocol::HostFailure &) {
            ++seen.helperFailed;
        }
    }
    std::cout << "read " << seen.listed << ", refused " << seen.refused << ", helper failed "
              << seen.helperFailed << '\n';
    EXPECT_EQ(seen.listed + seen.refused + seen.helperFailed, runs);
    EXPECT_GT(seen.listed, 0);
}
