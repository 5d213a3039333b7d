// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's DAO: the table list of an Access database, read through the database helper.

#include "helper_protocol/HostSession.h"
#include "helper_protocol/Messages.h"

#include <QString>

#include <memory>
#include <stdexcept>
#include <vector>

namespace dao {

// TableDef.Attributes bits.
namespace Attribute {
constexpr qint32 SystemObject = qint32(0x80000002u);
constexpr qint32 HiddenObject = 0x1;
constexpr qint32 AttachedTable = 0x40000000;
constexpr qint32 AttachedOdbc = 0x20000000;
} // namespace Attribute

// MSysObjects.Type of the objects that are table definitions.
namespace CatalogType {
constexpr int LocalTable = int(helper_protocol::ObjectType::LocalTable);
constexpr int OdbcLink = int(helper_protocol::ObjectType::OdbcLink);
constexpr int LinkedTable = int(helper_protocol::ObjectType::LinkedTable);
} // namespace CatalogType

// A failing DAO call: DAO's error number and a description.
class DaoError : public std::runtime_error {
public:
    DaoError(int number, const QString &description);
    int number() const { return number_; }
    QString description() const { return QString::fromStdString(what()); }

private:
    int number_;
};

// DAO error numbers this layer raises.
namespace ErrorNumber {
constexpr int FileNotFound = 3024;
constexpr int UnrecognizedFormat = 3343;
constexpr int CannotOpen = 3051;
constexpr int ObjectClosed = 3420;
constexpr int EngineFailure = 3146; // the helper failed as a process
} // namespace ErrorNumber

// Attributes of a catalog row: system (MSysObjects.Flags 0x80000000 or 0x2), hidden (0x8), linked
// (Type 6), ODBC link (Type 4); 0 for an ordinary local table.
qint32 tableAttributes(int catalogType, quint32 flags);

class TableDef {
public:
    TableDef(QString name, qint32 attributes)
        : name_(std::move(name))
        , attributes_(attributes) {}
    const QString &Name() const { return name_; }
    qint32 Attributes() const { return attributes_; }

private:
    QString name_;
    qint32 attributes_;
};

using TableDefList = std::vector<TableDef>;

// An open database; its catalog is read on the first use of TableDefs.
class Database {
public:
    Database(QString name, std::unique_ptr<helper_protocol::HostSession> session);
    Database(Database &&) noexcept;
    ~Database();

    const QString &Name() const { return name_; }
    // The table definitions in catalog order: local tables, links and ODBC links.
    const TableDefList &TableDefs();
    void Close();

private:
    QString name_;
    std::unique_ptr<helper_protocol::HostSession> session_;
    std::unique_ptr<TableDefList> tableDefs_;
};

// The database engine: one for the whole program, created on first use.
class DBEngine {
public:
    static DBEngine &instance();

    // Which helper reads the files, and its limits; by default lumsifter-dbhost beside the program.
    void setHost(helper_protocol::HostOptions options) { host_ = std::move(options); }
    const helper_protocol::HostOptions &host() const { return host_; }

    // Opens the database at the path (read-only); throws DaoError.
    Database OpenDatabase(const QString &name);

private:
    DBEngine();
    helper_protocol::HostOptions host_;
};

} // namespace dao
