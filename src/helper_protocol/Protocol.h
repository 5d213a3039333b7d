#pragma once

// The conversation between the program and lumsifter-dbhost over the helper's standard input and
// output. Every message is one frame: a 32-bit little-endian length, then that many bytes of one CBOR
// map. Requests carry "v" (the protocol version) and "op"; replies carry "v" and "ok", and either the
// operation's results or "error" (a code below), "message" and "log" (what libmdb printed meanwhile).
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

namespace dbhost {

constexpr int protocolVersion = 1;

// A reply larger than this is taken for garbage.
constexpr quint32 maximumFrame = 64u * 1024 * 1024;

namespace Key {
inline const QString version = QStringLiteral("v");
inline const QString op = QStringLiteral("op");
inline const QString ok = QStringLiteral("ok");
inline const QString error = QStringLiteral("error");
inline const QString message = QStringLiteral("message");
inline const QString log = QStringLiteral("log");
} // namespace Key

// Error codes of a reply that is not ok.
namespace Error {
inline const QString notFound = QStringLiteral("notFound");           // no such file
inline const QString notDatabase = QStringLiteral("notDatabase");     // not an Access database file
inline const QString unreadable = QStringLiteral("unreadable");       // a database libmdb cannot read
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

} // namespace dbhost
