// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What crosses the pipe, typed: the helper encodes with these and the program decodes with them, so
// that both sides read one definition. Every message converts to and from its CBOR map (Protocol.h
// has the keys); a field missing from a map decodes as its default.

#include "helper_protocol/Protocol.h"

#include <QByteArray>
#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QString>

#include <vector>

namespace helper_protocol {

// Column types as table definitions (and property blocks, for the types of their values) number
// them.
enum class ColumnType : int {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0a,
    Ole = 0x0b,
    Memo = 0x0c,
    Guid = 0x0f,
    Numeric = 0x10,
    Complex = 0x12, // attachments, multi-value fields, version history: the value is the id
    BigInt = 0x13,  // Large Number
    DateTimeExtended = 0x14,
};

// Object types of the catalog (MSysObjects.Type without its high bit). An ODBC link has the type
// other readers take for a report.
enum class ObjectType : int {
    LocalTable = 1,
    OdbcLink = 4,
    Query = 5,
    LinkedTable = 6,
};

// ---- Requests

struct OpenRequest {
    QByteArray path; // the file's bytes
    QCborMap toCbor() const;
    static OpenRequest fromCbor(const QCborMap &m);
};

struct QueryRequest {
    QString table;
    QCborMap toCbor() const;
    static QueryRequest fromCbor(const QCborMap &m);
};

struct FetchRequest {
    qint64 cursor = -1;
    qint64 max = 1; // rows at most
    QCborMap toCbor() const;
    static FetchRequest fromCbor(const QCborMap &m);
};

// rewind and close name a cursor alone.
struct CursorRequest {
    QString op; // Op::rewind or Op::close
    qint64 cursor = -1;
    QCborMap toCbor() const;
    static CursorRequest fromCbor(const QCborMap &m);
};

// ---- Replies (each an ok reply)

struct DatabaseInfo {
    QString engine;  // "Jet" or "ACE"
    QString version; // "4.0", ...
    int jet = 0;     // 0 Jet 3, 1 Jet 4, 2.. ACE
    qint64 pageSize = 0;
    int codePage = 0;
    int localeId = 0;
    bool encrypted = false;
    qint64 fileSize = 0;
    QString library;
    QCborMap toCbor() const;
    static DatabaseInfo fromCbor(const QCborMap &m);
};

struct OpenReply {
    DatabaseInfo info;
    QCborMap toCbor() const;
    static OpenReply fromCbor(const QCborMap &m);
};

struct CatalogObject {
    QString name;
    qint64 id = 0; // read by the helper for its own use; not sent
    ObjectType type = ObjectType::LocalTable;
    quint32 flags = 0;
    QString database;    // a linked table's database
    QString connect;     // an ODBC link's connection
    QString foreignName; // the name in the other database
    QCborMap toCbor() const;
    static CatalogObject fromCbor(const QCborMap &m);
};

struct CatalogReply {
    std::vector<CatalogObject> objects;
    QCborMap toCbor() const;
    static CatalogReply fromCbor(const QCborMap &m);
};

struct ColumnDescription {
    QString name;
    ColumnType type = ColumnType::Text;
    int size = 0; // Text: characters; Binary: bytes; otherwise 0
    int precision = 0;
    int scale = 0;
    bool nullable = true;
    bool autoNumber = false;
    bool key = false;
    bool fixedLength = false; // stored in the fixed part of the row
    bool calculated = false;  // its values are an expression's results, typed as the column
    QCborMap toCbor() const;
    static ColumnDescription fromCbor(const QCborMap &m);
};

struct QueryReply {
    qint64 cursor = -1;
    std::vector<ColumnDescription> columns;
    QCborMap toCbor() const;
    static QueryReply fromCbor(const QCborMap &m);
};

// Row values by column type: NULL as null; Boolean as bool; Byte, Integer, Long, Currency (in
// 1/10000), Large Number and complex columns (their 32-bit id) as integers; Single, Double and Date
// (days since 1899-12-30) as doubles; Text and Memo as text; Numeric as decimal text; Date/Time
// Extended as "YYYY-MM-DD hh:mm:ss.fffffff" (or its raw characters when malformed); Binary, OLE, GUID
// and anything else as bytes. A calculated column's values come as its result type's.
struct FetchReply {
    QCborArray rows; // each an array of values, one per column
    bool end = false;
    QCborMap toCbor() const;
    static FetchReply fromCbor(const QCborMap &m);
};

} // namespace helper_protocol
