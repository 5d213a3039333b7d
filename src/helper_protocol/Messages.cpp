// SPDX-License-Identifier: GPL-3.0-or-later
#include "helper_protocol/Messages.h"

namespace helper_protocol {

namespace {

int integer(const QCborMap &m, const QString &key, qint64 fallback = 0) {
    return int(m.value(key).toInteger(fallback));
}

} // namespace

QCborMap OpenRequest::toCbor() const {
    QCborMap m = request(Op::open);
    m[Key::path] = path;
    return m;
}

OpenRequest OpenRequest::fromCbor(const QCborMap &m) {
    return {m.value(Key::path).toByteArray()};
}

QCborMap QueryRequest::toCbor() const {
    QCborMap m = request(Op::query);
    m[Key::table] = table;
    return m;
}

QueryRequest QueryRequest::fromCbor(const QCborMap &m) {
    return {m.value(Key::table).toString()};
}

QCborMap FetchRequest::toCbor() const {
    QCborMap m = request(Op::fetch);
    m[Key::cursor] = cursor;
    m[Key::max] = max;
    return m;
}

FetchRequest FetchRequest::fromCbor(const QCborMap &m) {
    return {m.value(Key::cursor).toInteger(-1), m.value(Key::max).toInteger(1)};
}

QCborMap CursorRequest::toCbor() const {
    QCborMap m = request(op);
    m[Key::cursor] = cursor;
    return m;
}

CursorRequest CursorRequest::fromCbor(const QCborMap &m) {
    return {m.value(Key::op).toString(), m.value(Key::cursor).toInteger(-1)};
}

QCborMap DatabaseInfo::toCbor() const {
    QCborMap m;
    m[Key::engine] = engine;
    m[Key::engineVersion] = version;
    m[Key::jet] = jet;
    m[Key::pageSize] = pageSize;
    m[Key::codePage] = codePage;
    m[Key::localeId] = localeId;
    m[Key::encrypted] = encrypted;
    m[Key::fileSize] = fileSize;
    m[Key::library] = library;
    return m;
}

DatabaseInfo DatabaseInfo::fromCbor(const QCborMap &m) {
    DatabaseInfo i;
    i.engine = m.value(Key::engine).toString();
    i.version = m.value(Key::engineVersion).toString();
    i.jet = integer(m, Key::jet);
    i.pageSize = m.value(Key::pageSize).toInteger();
    i.codePage = integer(m, Key::codePage);
    i.localeId = integer(m, Key::localeId);
    i.encrypted = m.value(Key::encrypted).toBool();
    i.fileSize = m.value(Key::fileSize).toInteger();
    i.library = m.value(Key::library).toString();
    return i;
}

QCborMap OpenReply::toCbor() const {
    QCborMap m = okReply();
    m[Key::info] = info.toCbor();
    return m;
}

OpenReply OpenReply::fromCbor(const QCborMap &m) {
    return {DatabaseInfo::fromCbor(m.value(Key::info).toMap())};
}

QCborMap CatalogObject::toCbor() const {
    QCborMap m;
    m[Key::name] = name;
    m[Key::type] = int(type);
    m[Key::flags] = qint64(flags);
    m[Key::database] = database;
    m[Key::connect] = connect;
    m[Key::foreignName] = foreignName;
    return m;
}

CatalogObject CatalogObject::fromCbor(const QCborMap &m) {
    CatalogObject o;
    o.name = m.value(Key::name).toString();
    o.type = ObjectType(integer(m, Key::type));
    o.flags = quint32(m.value(Key::flags).toInteger());
    o.database = m.value(Key::database).toString();
    o.connect = m.value(Key::connect).toString();
    o.foreignName = m.value(Key::foreignName).toString();
    return o;
}

QCborMap CatalogReply::toCbor() const {
    QCborArray list;
    for (const CatalogObject &o : objects)
        list.append(o.toCbor());
    QCborMap m = okReply();
    m[Key::objects] = list;
    return m;
}

CatalogReply CatalogReply::fromCbor(const QCborMap &m) {
    CatalogReply r;
    for (const QCborValue &o : m.value(Key::objects).toArray())
        r.objects.push_back(CatalogObject::fromCbor(o.toMap()));
    return r;
}

QCborMap ColumnDescription::toCbor() const {
    QCborMap m;
    m[Key::name] = name;
    m[Key::type] = int(type);
    m[Key::size] = size;
    m[Key::precision] = precision;
    m[Key::scale] = scale;
    m[Key::nullable] = nullable;
    m[Key::autoNumber] = autoNumber;
    m[Key::key] = key;
    m[Key::fixedLength] = fixedLength;
    m[Key::calculated] = calculated;
    return m;
}

ColumnDescription ColumnDescription::fromCbor(const QCborMap &m) {
    ColumnDescription c;
    c.name = m.value(Key::name).toString();
    c.type = ColumnType(integer(m, Key::type));
    c.size = integer(m, Key::size);
    c.precision = integer(m, Key::precision);
    c.scale = integer(m, Key::scale);
    c.nullable = m.value(Key::nullable).toBool();
    c.autoNumber = m.value(Key::autoNumber).toBool();
    c.key = m.value(Key::key).toBool();
    c.fixedLength = m.value(Key::fixedLength).toBool();
    c.calculated = m.value(Key::calculated).toBool();
    return c;
}

QCborMap QueryReply::toCbor() const {
    QCborArray list;
    for (const ColumnDescription &c : columns)
        list.append(c.toCbor());
    QCborMap m = okReply();
    m[Key::cursor] = cursor;
    m[Key::columns] = list;
    return m;
}

QueryReply QueryReply::fromCbor(const QCborMap &m) {
    QueryReply r;
    r.cursor = m.value(Key::cursor).toInteger(-1);
    for (const QCborValue &c : m.value(Key::columns).toArray())
        r.columns.push_back(ColumnDescription::fromCbor(c.toMap()));
    return r;
}

QCborMap FetchReply::toCbor() const {
    QCborMap m = okReply();
    m[Key::rows] = rows;
    m[Key::end] = end;
    return m;
}

FetchReply FetchReply::fromCbor(const QCborMap &m) {
    return {m.value(Key::rows).toArray(), m.value(Key::end).toBool()};
}

} // namespace helper_protocol
