// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_client/dao/Dao.h"

#include "helper_protocol/Protocol.h"
#include "platform/ApplicationFolder.h"
#include "platform/PathCodec.h"
#include "platform/Platform.h"

#include <QCborArray>

namespace dao {

namespace {

int errorNumberFor(const QString &code) {
    if (code == helper_protocol::Error::notFound)
        return ErrorNumber::FileNotFound;
    if (code == helper_protocol::Error::notDatabase)
        return ErrorNumber::UnrecognizedFormat;
    return ErrorNumber::CannotOpen;
}

// The reply of a request, or DaoError for a failed one or a failed helper.
QCborMap call(helper_protocol::HostSession &session, const QCborMap &request) {
    QCborMap reply;
    try {
        reply = session.call(request);
    } catch (const helper_protocol::HostFailure &e) {
        throw DaoError(ErrorNumber::EngineFailure, QString::fromStdString(e.what()));
    }
    if (!reply.value(helper_protocol::Key::ok).toBool())
        throw DaoError(errorNumberFor(reply.value(helper_protocol::Key::error).toString()),
                       reply.value(helper_protocol::Key::message).toString());
    return reply;
}

bool isTableDefinition(int type) {
    return type == CatalogType::LocalTable || type == CatalogType::OdbcLink ||
           type == CatalogType::LinkedTable;
}

} // namespace

DaoError::DaoError(int number, const QString &description)
    : std::runtime_error(description.toStdString())
    , number_(number) {}

qint32 tableAttributes(int catalogType, quint32 flags) {
    quint32 attributes = 0;
    if (flags & 0x80000002u)
        attributes |= quint32(Attribute::SystemObject);
    if (flags & 0x8u)
        attributes |= Attribute::HiddenObject;
    if (catalogType == CatalogType::LinkedTable)
        attributes |= Attribute::AttachedTable;
    if (catalogType == CatalogType::OdbcLink)
        attributes |= Attribute::AttachedOdbc;
    return qint32(attributes);
}

Database::Database(QString name, std::unique_ptr<helper_protocol::HostSession> session)
    : name_(std::move(name))
    , session_(std::move(session)) {}

Database::Database(Database &&) noexcept = default;
Database::~Database() = default;

const TableDefList &Database::TableDefs() {
    if (tableDefs_)
        return *tableDefs_;
    if (!session_)
        throw DaoError(ErrorNumber::ObjectClosed, QStringLiteral("The database is closed."));
    const helper_protocol::CatalogReply catalog = helper_protocol::CatalogReply::fromCbor(
        call(*session_, helper_protocol::request(helper_protocol::Op::catalog)));
    auto list = std::make_unique<TableDefList>();
    for (const helper_protocol::CatalogObject &o : catalog.objects) {
        if (isTableDefinition(int(o.type)))
            list->emplace_back(o.name, tableAttributes(int(o.type), o.flags));
    }
    tableDefs_ = std::move(list);
    return *tableDefs_;
}

void Database::Close() {
    if (!session_)
        throw DaoError(ErrorNumber::ObjectClosed, QStringLiteral("The database is closed."));
    session_.reset();
}

DBEngine::DBEngine() {
    host_.program = platform::encodePath(platform::programFolder() + u'/' + platform::helperFileName);
}

DBEngine &DBEngine::instance() {
    static DBEngine engine; // lives until the program ends
    return engine;
}

Database DBEngine::OpenDatabase(const QString &name) {
    std::unique_ptr<helper_protocol::HostSession> session;
    try {
        session = std::make_unique<helper_protocol::HostSession>(host_);
    } catch (const helper_protocol::HostFailure &e) {
        throw DaoError(ErrorNumber::EngineFailure, QString::fromStdString(e.what()));
    }
    call(*session, helper_protocol::OpenRequest{platform::encodePath(name)}.toCbor());
    return Database(name, std::move(session));
}

} // namespace dao
