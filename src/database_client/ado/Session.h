// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Inside the program's ADO: the conversation with the database helper that a connection holds, and
// the state of one result read through it. Connection, Command, Recordset and Field share these.

#include "database_client/ado/AdoError.h"
#include "helper_protocol/HostSession.h"
#include "helper_protocol/Messages.h"

#include <QCborArray>
#include <QCborMap>

#include <memory>
#include <vector>

namespace ado::detail {

extern const QString connectionSource;
extern const QString commandSource;
extern const QString recordsetSource;
extern const QString fieldSource;

// Rows asked for at once.
constexpr int fetchSize = 64;

[[noreturn]] void raise(qint32 number, const QString &source, const QString &description);
[[noreturn]] void closedObject(const QString &source);
ErrorInfo providerError(qint32 number, const QString &sqlState, const QString &description,
                        qint32 native = 0);
ErrorInfo hostError(const helper_protocol::HostFailure &failure);

struct ConnectionState {
    helper_protocol::HostOptions host;
    QString connectionString;
    QString dataSource;
    std::unique_ptr<helper_protocol::HostSession> session;
    helper_protocol::DatabaseInfo info;
    ErrorList errors;

    bool isOpen() const { return session != nullptr; }

    // A request to the provider; a failure fills Errors with it and is thrown. The context is put
    // before the helper's message.
    QCborMap call(const QCborMap &request, const QString &context = {});

    [[noreturn]] void fail(const std::vector<ErrorInfo> &provider);
    [[noreturn]] void fail(const ErrorInfo &error) { fail(std::vector<ErrorInfo>{error}); }
};

struct ResultState {
    std::shared_ptr<ConnectionState> connection;
    QString table;
    qint64 cursor = -1;
    std::vector<helper_protocol::ColumnDescription> columns;
    QCborArray rows;
    qsizetype position = 0;
    bool end = false;
    bool closed = false;

    void requireOpen() const;
    // Fetches until there is a current record or the result is exhausted.
    void fill();
    bool atEnd() const { return position >= rows.size(); }
    // A value of the current record; there is none at the end.
    QCborValue value(int column) const;
};

} // namespace ado::detail
