// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_client/ado/Connection.h"

#include "database_client/ado/ConnectionString.h"
#include "database_client/ado/Session.h"
#include "database_client/ado/Statement.h"
#include "platform/Files.h"
#include "platform/PathCodec.h"

#include <unistd.h>

namespace ado {

using namespace detail;

// ---- Command

void Command::setActiveConnection(const Connection &connection) {
    connection_ = connection.state_;
}

Parameter Command::CreateParameter(const QString &name, int type, int direction, qint64 size,
                                   const Variant &value) const {
    return Parameter(name, type, direction, size, value);
}

Recordset Command::Execute(int) {
    if (!connection_ || !connection_->isOpen())
        raise(HResult::InvalidConnection, commandSource,
              QStringLiteral("The command has no open connection to run on."));
    if (text_.trimmed().isEmpty())
        connection_->fail(providerError(HResult::NoCommand, QStringLiteral("42000"),
                                        QStringLiteral("The command has no command text.")));
    const auto statement = parseStatement(text_);
    if (const auto *error = std::get_if<StatementError>(&statement))
        connection_->fail(providerError(HResult::SyntaxError, QStringLiteral("42000"), error->description));
    const QString table = std::get<SelectAll>(statement).table;
    const helper_protocol::QueryReply reply = helper_protocol::QueryReply::fromCbor(
        connection_->call(helper_protocol::QueryRequest{table}.toCbor()));
    auto result = std::make_shared<detail::ResultState>();
    result->connection = connection_;
    result->table = table;
    result->cursor = reply.cursor;
    result->columns = reply.columns;
    result->fill();
    return Recordset(result);
}

PropertyList Command::Properties() const {
    const helper_protocol::HostOptions host =
        connection_ ? connection_->host : helper_protocol::HostOptions{};
    return PropertyList({readOnly(QStringLiteral("Command Time Out"), DataType::Integer,
                                  Variant::number((host.timeLimitMs + 999) / 1000)),
                         readOnly(QStringLiteral("Maximum Rows"), DataType::Integer, Variant::number(0)),
                         readOnly(QStringLiteral("Memory Limit"), DataType::BigInt,
                                  Variant::number(qint64(host.memoryLimitBytes)))});
}

// ---- Connection

Connection::Connection(helper_protocol::HostOptions host)
    : state_(std::make_shared<detail::ConnectionState>()) {
    if (!platform::isRegularFile(host.program) || ::access(host.program.constData(), X_OK) != 0)
        raise(HResult::ClassNotRegistered, connectionSource,
              QStringLiteral("The database helper %1 is not installed.")
                  .arg(platform::decodePath(host.program)));
    state_->host = std::move(host);
}

Connection::~Connection() {
    state_->session.reset();
}

void Connection::setConnectionString(const QString &text) {
    if (state_->isOpen())
        raise(HResult::ObjectOpen, connectionSource,
              QStringLiteral("Operation is not allowed when the object is open."));
    state_->connectionString = text;
}

QString Connection::ConnectionString() const {
    return state_->connectionString;
}

void Connection::Open(const QString &connectionString, const QString &, const QString &, int) {
    if (state_->isOpen())
        raise(HResult::ObjectOpen, connectionSource,
              QStringLiteral("Operation is not allowed when the object is open."));
    if (!connectionString.isEmpty())
        state_->connectionString = connectionString;
    const auto parts = parseConnectionString(state_->connectionString);
    if (!parts)
        state_->fail(providerError(HResult::Fail, QStringLiteral("08001"),
                                   QStringLiteral("The connection string is malformed.")));
    const auto provider = parts->find(QStringLiteral("provider"));
    if (provider != parts->end() && provider->second.compare(providerName, Qt::CaseInsensitive) != 0)
        raise(HResult::ProviderNotFound, connectionSource,
              QStringLiteral("Provider '%1' cannot be found. It may not be properly installed.")
                  .arg(provider->second));
    const auto source = parts->find(QStringLiteral("data source"));
    if (source == parts->end() || source->second.isEmpty())
        state_->fail(providerError(HResult::Fail, QStringLiteral("08001"),
                                   QStringLiteral("The connection string names no database (Data Source).")));
    state_->dataSource = source->second;
    try {
        state_->session = std::make_unique<helper_protocol::HostSession>(state_->host);
    } catch (const helper_protocol::HostFailure &failure) {
        state_->fail(hostError(failure));
    }
    const helper_protocol::OpenRequest open{platform::encodePath(state_->dataSource)};
    try {
        state_->info =
            helper_protocol::OpenReply::fromCbor(
                state_->call(open.toCbor(),
                             QStringLiteral("Cannot open the database '%1': ").arg(state_->dataSource)))
                .info;
    } catch (const AdoError &) {
        state_->session.reset();
        throw;
    }
}

void Connection::Close() {
    if (!state_->isOpen())
        closedObject(connectionSource);
    state_->session.reset();
}

const ErrorList &Connection::Errors() const {
    return state_->errors;
}

PropertyList Connection::Properties() const {
    const helper_protocol::DatabaseInfo &info = state_->info;
    return PropertyList({
        readOnly(QStringLiteral("Provider Name"), DataType::BSTR, Variant::ofText(providerName)),
        readOnly(QStringLiteral("Provider Version"), DataType::BSTR, Variant::ofText(QStringLiteral("1.0"))),
        readOnly(QStringLiteral("Reader Version"), DataType::BSTR, Variant::ofText(info.library)),
        readOnly(QStringLiteral("Data Source"), DataType::BSTR, Variant::ofText(state_->dataSource)),
        readOnly(QStringLiteral("DBMS Name"), DataType::BSTR, Variant::ofText(info.engine)),
        readOnly(QStringLiteral("DBMS Version"), DataType::BSTR, Variant::ofText(info.version)),
        readOnly(QStringLiteral("Page Size"), DataType::Integer, Variant::number(info.pageSize)),
        readOnly(QStringLiteral("Code Page"), DataType::Integer, Variant::number(info.codePage)),
        readOnly(QStringLiteral("Locale Identifier"), DataType::Integer, Variant::number(info.localeId)),
        readOnly(QStringLiteral("File Size"), DataType::BigInt, Variant::number(info.fileSize)),
        readOnly(QStringLiteral("Encrypted"), DataType::Boolean, Variant::boolean(info.encrypted)),
        readOnly(QStringLiteral("Read-Only Data Source"), DataType::Boolean, Variant::boolean(true)),
    });
}

} // namespace ado
