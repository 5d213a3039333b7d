// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The conversation between the program and lumsifter-dbhost over the helper's standard input and
// output. Every message is one frame: a 32-bit little-endian length, then that many bytes of one CBOR
// map. Requests carry "v" (the protocol version) and "op"; replies carry "v" and "ok", and either the
// operation's results or "error" (a code below), "message" and, where the page reader can say more
// about what it met, "detail".
//
//   open    path (bytes)         -> info {engine, version, jet, pageSize, codePage, localeId,
//                                         encrypted, fileSize, library}
//   catalog                      -> objects [{name, type, flags, database, connect, foreignName}]
//   query   table                -> cursor, columns [{name, type, size, precision, scale,
//                                                     nullable, autoNumber, key, fixedLength,
//                                                     calculated}]
//   fetch   cursor, max          -> rows [[value...]], end
//   rewind  cursor               -> (nothing more)
//   close   cursor               -> (nothing more)
//
// Row values by column type: NULL as null; Boolean as bool; Byte, Integer, Long, Currency (in
// 1/10000), Large Number and complex columns (their 32-bit id) as integers; Single, Double and Date
// (days since 1899-12-30) as doubles; Text and Memo as text; Numeric as decimal text; Date/Time
// Extended as "YYYY-MM-DD hh:mm:ss.fffffff" (or its raw characters when malformed); Binary, OLE, GUID
// and anything else as bytes. A calculated column's values come as its result type's.

#include <QByteArray>
#include <QCborMap>

#include <optional>

namespace helper_protocol {

constexpr int protocolVersion = 1;

// A reply larger than this is taken for garbage.
constexpr quint32 maximumFrame = 64u * 1024 * 1024;

// Every key of every message; Messages.h says which message carries which.
namespace Key {
inline const QString version = QStringLiteral("v");
inline const QString op = QStringLiteral("op");
inline const QString ok = QStringLiteral("ok");
inline const QString error = QStringLiteral("error");
inline const QString message = QStringLiteral("message");
inline const QString detail = QStringLiteral("detail");
// Requests
inline const QString path = QStringLiteral("path");
inline const QString table = QStringLiteral("table");
inline const QString cursor = QStringLiteral("cursor");
inline const QString max = QStringLiteral("max");
// Replies
inline const QString info = QStringLiteral("info");
inline const QString objects = QStringLiteral("objects");
inline const QString columns = QStringLiteral("columns");
inline const QString rows = QStringLiteral("rows");
inline const QString end = QStringLiteral("end");
// The database's information
inline const QString engine = QStringLiteral("engine");
inline const QString engineVersion = QStringLiteral("version");
inline const QString jet = QStringLiteral("jet");
inline const QString pageSize = QStringLiteral("pageSize");
inline const QString codePage = QStringLiteral("codePage");
inline const QString localeId = QStringLiteral("localeId");
inline const QString encrypted = QStringLiteral("encrypted");
inline const QString fileSize = QStringLiteral("fileSize");
inline const QString library = QStringLiteral("library");
// A catalog object, a column
inline const QString name = QStringLiteral("name");
inline const QString type = QStringLiteral("type");
inline const QString flags = QStringLiteral("flags");
inline const QString database = QStringLiteral("database");
inline const QString connect = QStringLiteral("connect");
inline const QString foreignName = QStringLiteral("foreignName");
inline const QString size = QStringLiteral("size");
inline const QString precision = QStringLiteral("precision");
inline const QString scale = QStringLiteral("scale");
inline const QString nullable = QStringLiteral("nullable");
inline const QString autoNumber = QStringLiteral("autoNumber");
inline const QString key = QStringLiteral("key");
inline const QString fixedLength = QStringLiteral("fixedLength");
inline const QString calculated = QStringLiteral("calculated");
} // namespace Key

namespace Op {
inline const QString open = QStringLiteral("open");
inline const QString catalog = QStringLiteral("catalog");
inline const QString query = QStringLiteral("query");
inline const QString fetch = QStringLiteral("fetch");
inline const QString rewind = QStringLiteral("rewind");
inline const QString close = QStringLiteral("close");
} // namespace Op

// Error codes of a reply that is not ok.
namespace Error {
inline const QString notFound = QStringLiteral("notFound");           // no such file
inline const QString notDatabase = QStringLiteral("notDatabase");     // not an Access database file
inline const QString unreadable = QStringLiteral("unreadable");       // damaged, or not readable at all
inline const QString needsPassword = QStringLiteral("needsPassword"); // protected by a password, or encrypted
inline const QString noSuchTable = QStringLiteral("noSuchTable");
inline const QString notLocalTable = QStringLiteral("notLocalTable"); // a link or a query
inline const QString badRequest = QStringLiteral("badRequest");
} // namespace Error

QByteArray encodeFrame(const QCborMap &message);

// The length a frame header announces.
quint32 frameLength(const char header[4]);

// The message of a frame's payload; nothing when it is not one CBOR map.
std::optional<QCborMap> decodePayload(const QByteArray &payload);

QCborMap request(const QString &op);
QCborMap okReply();
QCborMap errorReply(const QString &code, const QString &message);

} // namespace helper_protocol
