// SPDX-License-Identifier: GPL-3.0-or-later
#include "dbhost/Service.h"

#include "helper_protocol/Protocol.h"

#include <new>

namespace dbhost {

// The helper speaks the protocol: its messages and keys are the helper's own words.
using namespace helper_protocol;

namespace {

constexpr int catalogPage = 2;
const QString catalogName = QStringLiteral("MSysObjects");
constexpr int maximumCatalogRows = 1 << 20;
constexpr qint64 replyBudget = 1024 * 1024;
constexpr qint64 maximumFetchRows = 4096;
constexpr qint64 definitionPageOfId = 0x00ffffff; // a table's id holds its definition's page

[[noreturn]] void refuse(const QString &code, const QString &message) {
    throw HostError{code, message, {}};
}

int requireColumn(const JetTable &table, const char *name) {
    const int index = table.columnIndex(name);
    if (index < 0)
        refuse(Error::unreadable,
               QStringLiteral("The catalog has no column %1.").arg(QString::fromLatin1(name)));
    return index;
}

// Where the catalog's columns stand in its rows.
struct CatalogColumns {
    int id, name, type, flags, database, connect, foreignName;
};

CatalogColumns catalogColumns(const JetTable &t) {
    return {.id = requireColumn(t, "Id"),
            .name = requireColumn(t, "Name"),
            .type = requireColumn(t, "Type"),
            .flags = requireColumn(t, "Flags"),
            .database = requireColumn(t, "Database"),
            .connect = requireColumn(t, "Connect"),
            .foreignName = requireColumn(t, "ForeignName")};
}

CatalogObject catalogObject(const JetTable &t, const CatalogColumns &at) {
    CatalogObject o;
    o.id = t.value(at.id).toInteger();
    o.name = t.value(at.name).toString();
    o.type = ObjectType(t.value(at.type).toInteger());
    o.flags = quint32(t.value(at.flags).toInteger());
    o.database = t.value(at.database).toString();
    o.connect = t.value(at.connect).toString();
    o.foreignName = t.value(at.foreignName).toString();
    return o;
}

qint64 weight(const QCborValue &v) {
    if (v.isString())
        return 2 * v.toString().size();
    return v.isByteArray() ? v.toByteArray().size() : 9;
}

QString kindOf(ObjectType type) {
    switch (type) {
    case ObjectType::OdbcLink:
        return QStringLiteral("an ODBC link");
    case ObjectType::Query:
        return QStringLiteral("a query");
    case ObjectType::LinkedTable:
        return QStringLiteral("a link to a table of another database");
    default:
        return QStringLiteral("not a table");
    }
}

} // namespace

std::vector<CatalogObject> readCatalog(const JetFile &file) {
    JetTable t(file, catalogName, catalogPage);
    const CatalogColumns at = catalogColumns(t);
    std::vector<CatalogObject> objects;
    while (t.next()) {
        if (objects.size() >= size_t(maximumCatalogRows))
            refuse(Error::unreadable, QStringLiteral("The catalog is damaged: it does not end."));
        CatalogObject o = catalogObject(t, at);
        if (!o.name.isEmpty()) // a nameless row is damage, not an object
            objects.push_back(std::move(o));
    }
    return objects;
}

TableProperties readProperties(const JetFile &file, qint64 id) {
    try {
        JetTable t(file, catalogName, catalogPage);
        const int idColumn = requireColumn(t, "Id");
        const int propertiesColumn = t.columnIndex("LvProp");
        if (propertiesColumn < 0)
            return {};
        for (int row = 0; row < maximumCatalogRows && t.next(); ++row) {
            if (t.value(idColumn).toInteger() != id)
                continue;
            const QByteArray blocks = t.value(propertiesColumn).toByteArray();
            return parseProperties(reinterpret_cast<const unsigned char *>(blocks.constData()),
                                   size_t(blocks.size()), file.isJet3(), file.codePage());
        }
    } catch (const HostError &) {
        // Damaged properties are no properties: the table still reads, by its type bytes.
    }
    return {};
}

QCborMap Service::handle(const QCborMap &request) {
    if (request.value(Key::version).toInteger(-1) != protocolVersion)
        return errorReply(Error::badRequest, QStringLiteral("Protocol version %1 is not spoken here.")
                                                 .arg(request.value(Key::version).toInteger(-1)));
    try {
        return dispatch(request.value(Key::op).toString(), request);
    } catch (const HostError &e) {
        QCborMap reply = errorReply(e.code, e.message);
        if (!e.detail.isEmpty())
            reply[Key::detail] = e.detail;
        return reply;
    } catch (const std::bad_alloc &) {
        return errorReply(Error::unreadable,
                          QStringLiteral("The database needs more memory than the helper may use."));
    }
}

QCborMap Service::dispatch(const QString &op, const QCborMap &request) {
    if (op == Op::open)
        return open(request);
    if (op == Op::catalog)
        return catalog();
    if (op == Op::query)
        return query(request);
    if (op == Op::fetch)
        return fetch(request);
    if (op == Op::rewind)
        return rewind(request);
    if (op == Op::close)
        return close(request);
    refuse(Error::badRequest, QStringLiteral("Unknown operation '%1'.").arg(op));
}

JetFile &Service::file() {
    if (!file_)
        refuse(Error::badRequest, QStringLiteral("No database is open."));
    return *file_;
}

const std::vector<CatalogObject> &Service::objects() {
    if (!objects_)
        objects_ = std::make_unique<std::vector<CatalogObject>>(readCatalog(file()));
    return *objects_;
}

QCborMap Service::open(const QCborMap &request) {
    if (file_)
        refuse(Error::badRequest, QStringLiteral("A database is already open."));
    file_ = std::make_unique<JetFile>(OpenRequest::fromCbor(request).path);
    return OpenReply{file_->info()}.toCbor();
}

QCborMap Service::catalog() {
    return CatalogReply{objects()}.toCbor();
}

QCborMap Service::query(const QCborMap &request) {
    const QString name = QueryRequest::fromCbor(request).table;
    const CatalogObject *found = nullptr;
    for (const CatalogObject &o : objects()) {
        if (o.name.compare(name, Qt::CaseInsensitive) == 0 && (!found || o.type == ObjectType::LocalTable))
            found = &o;
    }
    const auto isTableOrLink = [](ObjectType t) {
        return t == ObjectType::LocalTable || t == ObjectType::OdbcLink || t == ObjectType::Query ||
               t == ObjectType::LinkedTable;
    };
    if (!found || !isTableOrLink(found->type))
        refuse(Error::noSuchTable, QStringLiteral("The database has no table '%1'.").arg(name));
    if (found->type != ObjectType::LocalTable)
        refuse(
            Error::notLocalTable,
            QStringLiteral("'%1' is %2, which this provider does not read.").arg(name, kindOf(found->type)));
    auto table = std::make_unique<JetTable>(file(), found->name, quint32(found->id & definitionPageOfId),
                                            readProperties(file(), found->id));
    const QueryReply reply{nextCursor_, table->columns()};
    cursors_[nextCursor_++] = std::move(table);
    return reply.toCbor();
}

JetTable &Service::cursor(qint64 id) {
    const auto it = cursors_.find(id);
    if (it == cursors_.end())
        refuse(Error::badRequest, QStringLiteral("No such result."));
    return *it->second;
}

QCborMap Service::fetch(const QCborMap &request) {
    const FetchRequest asked = FetchRequest::fromCbor(request);
    JetTable &t = cursor(asked.cursor);
    const qint64 max = qBound(qint64(1), asked.max, maximumFetchRows);
    QCborArray rows;
    qint64 budget = replyBudget;
    bool end = false;
    while (rows.size() < max && budget > 0) {
        if (!t.next()) {
            end = true;
            break;
        }
        QCborArray row;
        for (int c = 0; c < t.columnCount(); ++c) {
            row.append(t.value(c));
            budget -= weight(row.last());
        }
        rows.append(row);
    }
    return FetchReply{rows, end}.toCbor();
}

QCborMap Service::rewind(const QCborMap &request) {
    cursor(CursorRequest::fromCbor(request).cursor).rewind();
    return okReply();
}

QCborMap Service::close(const QCborMap &request) {
    cursors_.erase(CursorRequest::fromCbor(request).cursor);
    return okReply();
}

} // namespace dbhost
