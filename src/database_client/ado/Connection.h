// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A connection to an Access database read through the database helper, and commands that select
// every record of a table.
//
// Provider properties (each read-only, attributes "Read "):
//   Connection: Provider Name, Provider Version, Reader Version, Data Source, DBMS Name, DBMS Version
//               (text); Page Size, Code Page, Locale Identifier (integer); File Size (big integer);
//               Encrypted, Read-Only Data Source (Boolean).
//   Command:    Command Time Out (seconds), Maximum Rows (0: no limit) (integer); Memory Limit (bytes,
//               big integer).
//   Recordset:  Bookmarkable, Scroll Backwards, Fetch Backwards (Boolean); Updatability, Maximum Rows,
//               Fetch Size (integer).
//   Field:      BASETABLENAME, BASECOLUMNNAME (text); KEYCOLUMN, ISNULLABLE, ISAUTOINCREMENT (Boolean).

#include "database_client/ado/AdoError.h"
#include "database_client/ado/Properties.h"
#include "database_client/ado/Recordset.h"
#include "helper_protocol/HostSession.h"

#include <memory>

namespace ado {

namespace detail {
struct ConnectionState;
}

class Connection;

class Command {
public:
    void setActiveConnection(const Connection &connection);
    void setCommandText(const QString &text) { text_ = text; }
    const QString &CommandText() const { return text_; }
    Parameter CreateParameter(const QString &name, int type, int direction, qint64 size,
                              const Variant &value = Variant()) const;
    ParameterList &Parameters() { return parameters_; }
    // Runs the statement; parameters it does not use are accepted and ignored.
    Recordset Execute(int options = adOptionUnspecified);
    PropertyList Properties() const;

private:
    std::shared_ptr<detail::ConnectionState> connection_;
    QString text_;
    ParameterList parameters_;
};

class Connection {
public:
    // Throws AdoError (class not registered) when the helper program cannot be run.
    explicit Connection(helper_protocol::HostOptions host);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void setConnectionString(const QString &text);
    QString ConnectionString() const;
    void Open(const QString &connectionString = {}, const QString &userId = {}, const QString &password = {},
              int options = adConnectUnspecified);
    void Close();
    // The provider's errors of the last failing provider call.
    const ErrorList &Errors() const;
    PropertyList Properties() const;

private:
    friend class Command;
    std::shared_ptr<detail::ConnectionState> state_;
};

} // namespace ado
