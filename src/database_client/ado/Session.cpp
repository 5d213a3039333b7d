// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_client/ado/Session.h"

namespace ado::detail {

const QString connectionSource = QStringLiteral("ADO.Connection");
const QString commandSource = QStringLiteral("ADO.Command");
const QString recordsetSource = QStringLiteral("ADO.Recordset");
const QString fieldSource = QStringLiteral("ADO.Field");

namespace {

// A reply that is not ok, as provider errors: what failed, then, when the helper's page reader said
// more about it, that account.
std::vector<ErrorInfo> replyErrors(const QCborMap &reply, const QString &context) {
    const QString code = reply.value(helper_protocol::Key::error).toString();
    const bool noTable = code == helper_protocol::Error::noSuchTable;
    const bool password = code == helper_protocol::Error::needsPassword;
    const qint32 number = noTable    ? HResult::NoSuchTable
                          : password ? HResult::AuthenticationFailed
                                     : HResult::Fail;
    const QString sqlState = noTable    ? QStringLiteral("42S02")
                             : password ? QStringLiteral("28000")
                                        : QStringLiteral("HY000");
    std::vector<ErrorInfo> errors{
        providerError(number, sqlState, context + reply.value(helper_protocol::Key::message).toString())};
    const QString detail = reply.value(helper_protocol::Key::detail).toString();
    if (!detail.isEmpty())
        errors.push_back(providerError(number, sqlState, detail));
    return errors;
}

} // namespace

void raise(qint32 number, const QString &source, const QString &description) {
    throw AdoError(number, source, description);
}

void closedObject(const QString &source) {
    raise(HResult::ObjectClosed, source,
          QStringLiteral("Operation is not allowed when the object is closed."));
}

ErrorInfo providerError(qint32 number, const QString &sqlState, const QString &description, qint32 native) {
    ErrorInfo e;
    e.number = number;
    e.source = providerSource;
    e.description = description;
    e.sqlState = sqlState;
    e.nativeError = native;
    return e;
}

ErrorInfo hostError(const helper_protocol::HostFailure &failure) {
    const QString description = QString::fromStdString(failure.what());
    if (failure.kind() == helper_protocol::HostFailure::Kind::TimedOut)
        return providerError(HResult::LimitReached, QStringLiteral("HYT00"), description);
    return providerError(HResult::Fail, QStringLiteral("HY000"), description);
}

QCborMap ConnectionState::call(const QCborMap &request, const QString &context) {
    if (!session)
        closedObject(connectionSource);
    QCborMap reply;
    try {
        reply = session->call(request);
    } catch (const helper_protocol::HostFailure &failure) {
        fail(hostError(failure));
    }
    if (!reply.value(helper_protocol::Key::ok).toBool())
        fail(replyErrors(reply, context));
    return reply;
}

void ConnectionState::fail(const std::vector<ErrorInfo> &provider) {
    errors.clear();
    for (const ErrorInfo &e : provider)
        errors.emplace_back(e);
    throw AdoError(provider.front());
}

void ResultState::requireOpen() const {
    if (closed || !connection->isOpen())
        closedObject(recordsetSource);
}

void ResultState::fill() {
    while (position >= rows.size() && !end) {
        const helper_protocol::FetchReply reply = helper_protocol::FetchReply::fromCbor(
            connection->call(helper_protocol::FetchRequest{cursor, fetchSize}.toCbor()));
        rows = reply.rows;
        position = 0;
        end = reply.end;
    }
}

QCborValue ResultState::value(int column) const {
    requireOpen();
    if (atEnd())
        raise(HResult::NoCurrentRecord, fieldSource,
              QStringLiteral("There is no current record: the result is at its end."));
    return rows.at(position).toArray().at(column);
}

} // namespace ado::detail
