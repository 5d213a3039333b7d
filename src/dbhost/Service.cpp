#include "dbhost/Service.h"

#include "helper_protocol/Protocol.h"

#include <new>

namespace dbhost {

namespace {

constexpr int catalogPage = 2;
constexpr int maximumCatalogRows = 1 << 20;
constexpr qint64 replyBudget = 1024 * 1024;
constexpr int tableType = 1;

const QString kCursor = QStringLiteral("cursor");

[[noreturn]] void refuse(const QString &code, const QString &message) {
    throw HostError{code, message};
}

int requireColumn(const JetTable &table, const char *name) {
    const int index = table.columnIndex(name);
    if (index < 0)
        refuse(Error::unreadable,
               QStringLiteral("The catalog has no column %1.").arg(QString::fromLatin1(name)));
    return index;
}

CatalogObject catalogObject(const JetTable &t, const int (&at)[7]) {
    CatalogObject o;
    o.id = t.value(at[0]).toInteger();
    o.name = t.value(at[1]).toString();
    o.type = int(t.value(at[2]).toInteger());
    o.flags = quint32(t.value(at[3]).toInteger());
    o.database = t.value(at[4]).toString();
    o.connect = t.value(at[5]).toString();
    o.foreignName = t.value(at[6]).toString();
    return o;
}

QCborMap toCbor(const CatalogObject &o) {
    QCborMap m;
    m[QStringLiteral("name")] = o.name;
    m[QStringLiteral("type")] = o.type;
    m[QStringLiteral("flags")] = qint64(o.flags);
    m[QStringLiteral("database")] = o.database;
    m[QStringLiteral("connect")] = o.connect;
    m[QStringLiteral("foreignName")] = o.foreignName;
    return m;
}

qint64 weight(const QCborValue &v) {
    if (v.isString())
        return 2 * v.toString().size();
    return v.isByteArray() ? v.toByteArray().size() : 9;
}

QString kindOf(int type) {
    switch (type) {
    case 4:
        return QStringLiteral("an ODBC link");
    case 5:
        return QStringLiteral("a query");
    case 6:
        return QStringLiteral("a link to a table of another database");
    default:
        return QStringLiteral("not a table");
    }
}

} // namespace

std::vector<CatalogObject> readCatalog(MdbHandle *mdb, bool jet3) {
    JetTable t(mdb, jet3, QStringLiteral("MSysObjects"), catalogPage);
    const int at[7] = {requireColumn(t, "Id"),         requireColumn(t, "Name"),
                       requireColumn(t, "Type"),       requireColumn(t, "Flags"),
                       requireColumn(t, "Database"),   requireColumn(t, "Connect"),
                       requireColumn(t, "ForeignName")};
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

Service::Cursor::~Cursor() {
    table.reset();
    mdb_close(handle);
}

QCborMap Service::handle(const QCborMap &request) {
    if (request.value(Key::version).toInteger(-1) != protocolVersion)
        return errorReply(Error::badRequest, QStringLiteral("Protocol version %1 is not spoken here.")
                                                 .arg(request.value(Key::version).toInteger(-1)));
    try {
        return dispatch(request.value(Key::op).toString(), request);
    } catch (const HostError &e) {
        return errorReply(e.code, e.message);
    } catch (const std::bad_alloc &) {
        return errorReply(Error::unreadable,
                          QStringLiteral("The database needs more memory than the helper may use."));
    }
}

QCborMap Service::dispatch(const QString &op, const QCborMap &request) {
    if (op == u"open")
        return open(request);
    if (op == u"catalog")
        return catalog();
    if (op == u"query")
        return query(request);
    if (op == u"fetch")
        return fetch(request);
    if (op == u"rewind")
        return rewind(request);
    if (op == u"close")
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
        objects_ =
            std::make_unique<std::vector<CatalogObject>>(readCatalog(file().handle(), file().isJet3()));
    return *objects_;
}

QCborMap Service::open(const QCborMap &request) {
    if (file_)
        refuse(Error::badRequest, QStringLiteral("A database is already open."));
    file_ = std::make_unique<JetFile>(request.value(QStringLiteral("path")).toByteArray());
    QCborMap reply = okReply();
    reply[QStringLiteral("info")] = file_->info();
    return reply;
}

QCborMap Service::catalog() {
    QCborArray list;
    for (const CatalogObject &o : objects())
        list.append(toCbor(o));
    QCborMap reply = okReply();
    reply[QStringLiteral("objects")] = list;
    return reply;
}

QCborMap Service::query(const QCborMap &request) {
    const QString name = request.value(QStringLiteral("table")).toString();
    const CatalogObject *found = nullptr;
    for (const CatalogObject &o : objects()) {
        if (o.name.compare(name, Qt::CaseInsensitive) == 0 && (!found || o.type == tableType))
            found = &o;
    }
    if (!found || (found->type != tableType && found->type != 4 && found->type != 5 && found->type != 6))
        refuse(Error::noSuchTable, QStringLiteral("The database has no table '%1'.").arg(name));
    if (found->type != tableType)
        refuse(
            Error::notLocalTable,
            QStringLiteral("'%1' is %2, which this provider does not read.").arg(name, kindOf(found->type)));
    // Each result gets a handle of its own: two cursors on one handle corrupt each other.
    auto cursor = std::make_unique<Cursor>();
    cursor->handle = mdb_clone_handle(file().handle());
    cursor->table = std::make_unique<JetTable>(cursor->handle, file().isJet3(), found->name,
                                               quint32(found->id & 0x00ffffff));
    QCborMap reply = okReply();
    reply[QStringLiteral("columns")] = cursor->table->columns();
    reply[kCursor] = nextCursor_;
    cursors_[nextCursor_++] = std::move(cursor);
    return reply;
}

JetTable &Service::cursor(const QCborMap &request) {
    const auto it = cursors_.find(request.value(kCursor).toInteger(-1));
    if (it == cursors_.end())
        refuse(Error::badRequest, QStringLiteral("No such result."));
    return *it->second->table;
}

QCborMap Service::fetch(const QCborMap &request) {
    JetTable &t = cursor(request);
    const qint64 max = qBound(qint64(1), request.value(QStringLiteral("max")).toInteger(1), qint64(4096));
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
    QCborMap reply = okReply();
    reply[QStringLiteral("rows")] = rows;
    reply[QStringLiteral("end")] = end;
    return reply;
}

QCborMap Service::rewind(const QCborMap &request) {
    cursor(request).rewind();
    return okReply();
}

QCborMap Service::close(const QCborMap &request) {
    cursors_.erase(request.value(kCursor).toInteger(-1));
    return okReply();
}

} // namespace dbhost
