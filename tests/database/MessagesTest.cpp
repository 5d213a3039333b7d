// SPDX-License-Identifier: GPL-3.0-or-later
// What crosses the helper's pipe: every message comes back as it went, through its CBOR bytes.
#include "helper_protocol/Messages.h"

#include <gtest/gtest.h>

using namespace helper_protocol;

namespace {

// Through the frame, as the pipe carries it.
QCborMap overThePipe(const QCborMap &message) {
    const QByteArray frame = encodeFrame(message);
    EXPECT_EQ(frameLength(frame.constData()), quint32(frame.size() - 4));
    const std::optional<QCborMap> decoded = decodePayload(frame.mid(4));
    EXPECT_TRUE(decoded.has_value());
    return decoded.value_or(QCborMap());
}

} // namespace

TEST(HelperMessages, RequestsRoundTripAndNameTheirOperation) {
    const QCborMap open = overThePipe(OpenRequest{"/tmp/caf\xe9.mdb"}.toCbor());
    EXPECT_EQ(open.value(Key::op).toString(), Op::open);
    EXPECT_EQ(open.value(Key::version).toInteger(), protocolVersion);
    EXPECT_EQ(OpenRequest::fromCbor(open).path, QByteArray("/tmp/caf\xe9.mdb"));

    const QCborMap query = overThePipe(QueryRequest{QStringLiteral("Authors ]x")}.toCbor());
    EXPECT_EQ(query.value(Key::op).toString(), Op::query);
    EXPECT_EQ(QueryRequest::fromCbor(query).table, QStringLiteral("Authors ]x"));

    const FetchRequest fetch = FetchRequest::fromCbor(overThePipe(FetchRequest{7, 64}.toCbor()));
    EXPECT_EQ(fetch.cursor, 7);
    EXPECT_EQ(fetch.max, 64);

    for (const QString &op : {Op::rewind, Op::close}) {
        const CursorRequest back = CursorRequest::fromCbor(overThePipe(CursorRequest{op, 3}.toCbor()));
        EXPECT_EQ(back.op, op);
        EXPECT_EQ(back.cursor, 3);
    }
}

TEST(HelperMessages, RepliesRoundTripAsOkReplies) {
    DatabaseInfo info{QStringLiteral("ACE"),
                      QStringLiteral("14.0"),
                      3,
                      4096,
                      1252,
                      0x409,
                      true,
                      1 << 20,
                      QStringLiteral("lumsifter-dbhost 1.0")};
    const QCborMap open = overThePipe(OpenReply{info}.toCbor());
    EXPECT_TRUE(open.value(Key::ok).toBool());
    const DatabaseInfo back = OpenReply::fromCbor(open).info;
    EXPECT_EQ(back.engine, info.engine);
    EXPECT_EQ(back.version, info.version);
    EXPECT_EQ(back.jet, 3);
    EXPECT_EQ(back.pageSize, 4096);
    EXPECT_EQ(back.codePage, 1252);
    EXPECT_EQ(back.localeId, 0x409);
    EXPECT_TRUE(back.encrypted);
    EXPECT_EQ(back.fileSize, 1 << 20);
    EXPECT_EQ(back.library, info.library);

    CatalogObject link{QStringLiteral("Remote"),     0,         ObjectType::LinkedTable, 0x00200000,
                       QStringLiteral("/other.mdb"), QString(), QStringLiteral("Orders")};
    const CatalogReply catalog = CatalogReply::fromCbor(overThePipe(CatalogReply{{link}}.toCbor()));
    ASSERT_EQ(catalog.objects.size(), 1u);
    EXPECT_EQ(catalog.objects[0].name, link.name);
    EXPECT_EQ(catalog.objects[0].type, ObjectType::LinkedTable);
    EXPECT_EQ(catalog.objects[0].flags, 0x00200000u);
    EXPECT_EQ(catalog.objects[0].database, link.database);
    EXPECT_EQ(catalog.objects[0].foreignName, link.foreignName);

    ColumnDescription price{
        QStringLiteral("Price"), ColumnType::Numeric, 0, 18, 4, false, false, true, true, true};
    const QueryReply query = QueryReply::fromCbor(overThePipe(QueryReply{12, {price}}.toCbor()));
    EXPECT_EQ(query.cursor, 12);
    ASSERT_EQ(query.columns.size(), 1u);
    const ColumnDescription &c = query.columns[0];
    EXPECT_EQ(c.name, price.name);
    EXPECT_EQ(c.type, ColumnType::Numeric);
    EXPECT_EQ(c.precision, 18);
    EXPECT_EQ(c.scale, 4);
    EXPECT_FALSE(c.nullable);
    EXPECT_TRUE(c.key && c.fixedLength && c.calculated);

    QCborArray rows{
        QCborArray{1, QStringLiteral("x"), QCborValue(QCborValue::Null), QByteArray("\x00\xff", 2)}};
    const FetchReply fetch = FetchReply::fromCbor(overThePipe(FetchReply{rows, true}.toCbor()));
    EXPECT_EQ(fetch.rows, rows);
    EXPECT_TRUE(fetch.end);
}
