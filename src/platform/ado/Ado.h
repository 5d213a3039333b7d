#pragma once

// The program's ADO: a connection to an Access database read through the database helper, commands
// that select every record of a table, forward-only results, and the provider's properties.
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

#include "helper_protocol/HostSession.h"
#include "platform/ado/AdoError.h"
#include "platform/ado/Variant.h"

#include <QCborArray>
#include <QCborMap>

#include <memory>
#include <vector>

namespace ado {

// DataTypeEnum values this ADO uses.
namespace DataType {
constexpr int SmallInt = 2;
constexpr int Integer = 3;
constexpr int Single = 4;
constexpr int Double = 5;
constexpr int Currency = 6;
constexpr int Date = 7;
constexpr int BSTR = 8;
constexpr int Boolean = 11;
constexpr int BigInt = 20;
constexpr int UnsignedTinyInt = 17;
constexpr int GUID = 72;
constexpr int Binary = 128;
constexpr int WChar = 130;
constexpr int Numeric = 131;
constexpr int DBTimeStamp = 135;
constexpr int VarWChar = 202;
constexpr int LongVarWChar = 203;
constexpr int VarBinary = 204;
constexpr int LongVarBinary = 205;
} // namespace DataType

namespace PropertyAttribute {
constexpr qint32 Required = 0x1;
constexpr qint32 Optional = 0x2;
constexpr qint32 Read = 0x200;
constexpr qint32 Write = 0x400;
} // namespace PropertyAttribute

namespace FieldAttribute {
constexpr qint32 Fixed = 0x10;
constexpr qint32 IsNullable = 0x20;
constexpr qint32 MayBeNull = 0x40;
constexpr qint32 Long = 0x80;
constexpr qint32 KeyColumn = 0x8000;
} // namespace FieldAttribute

constexpr int adConnectUnspecified = -1;
constexpr int adOptionUnspecified = -1;
constexpr int adParamInput = 1;

struct ColumnInfo;

// The ADO type of a column: by its type as the table definition numbers it (Boolean 1 ... Date/Time
// Extended 0x14), fixed-length Text and Binary apart from variable ones.
int adoType(const ColumnInfo &column);

class Property {
public:
    Property(QString name, int type, Variant value, qint32 attributes)
        : name_(std::move(name))
        , type_(type)
        , value_(std::move(value))
        , attributes_(attributes) {}
    const QString &Name() const { return name_; }
    int Type() const { return type_; }
    const Variant &Value() const { return value_; }
    qint32 Attributes() const { return attributes_; }

private:
    QString name_;
    int type_;
    Variant value_;
    qint32 attributes_;
};

class PropertyList {
public:
    explicit PropertyList(std::vector<Property> items)
        : items_(std::move(items)) {}
    int Count() const { return int(items_.size()); }
    const Property &Item(int index) const;
    const Property &Item(const QString &name) const;

private:
    std::vector<Property> items_;
};

struct ColumnInfo {
    QString name;
    int columnType = 0;
    int size = 0;
    int precision = 0;
    int scale = 0;
    bool nullable = true;
    bool autoNumber = false;
    bool key = false;
    bool fixedLength = false; // stored in the fixed part of the row
    bool calculated = false;  // its values are an expression's results, typed as the column
};

namespace detail {
struct ConnectionState;
struct ResultState;
} // namespace detail

// A column of a result, read through the result's current record.
class Field {
public:
    Field(std::shared_ptr<detail::ResultState> result, int index)
        : result_(std::move(result))
        , index_(index) {}
    qint32 ActualSize() const;
    qint32 Attributes() const;
    qint32 DefinedSize() const;
    QString Name() const;
    quint8 NumericScale() const;
    Variant OriginalValue() const;
    quint8 Precision() const;
    int Type() const;
    Variant Value() const;
    PropertyList Properties() const;

private:
    const ColumnInfo &column() const;
    std::shared_ptr<detail::ResultState> result_;
    int index_;
};

class FieldList {
public:
    explicit FieldList(std::shared_ptr<detail::ResultState> result)
        : result_(std::move(result)) {}
    int Count() const;
    Field Item(int index) const;
    Field Item(const QString &name) const;

private:
    std::shared_ptr<detail::ResultState> result_;
};

// A forward-only, read-only result.
class Recordset {
public:
    explicit Recordset(std::shared_ptr<detail::ResultState> result)
        : result_(std::move(result)) {}
    ~Recordset();
    Recordset(Recordset &&) noexcept = default;
    Recordset &operator=(Recordset &&) noexcept = default;

    // EOF (the name is taken by the C library).
    bool Eof() const;
    void MoveNext();
    void Requery(int options = adOptionUnspecified);
    FieldList Fields() const;
    void Close();
    PropertyList Properties() const;

private:
    std::shared_ptr<detail::ResultState> result_;
};

class Parameter {
public:
    Parameter(QString name, int type, int direction, qint64 size, Variant value)
        : name_(std::move(name))
        , type_(type)
        , direction_(direction)
        , size_(size)
        , value_(std::move(value)) {}
    const QString &Name() const { return name_; }
    int Type() const { return type_; }
    int Direction() const { return direction_; }
    qint64 Size() const { return size_; }
    const Variant &Value() const { return value_; }
    void setValue(Variant v) { value_ = std::move(v); }

private:
    QString name_;
    int type_;
    int direction_;
    qint64 size_;
    Variant value_;
};

class ParameterList {
public:
    void Append(const Parameter &p) { items_.push_back(p); }
    int Count() const { return int(items_.size()); }
    const Parameter &Item(int index) const;

private:
    std::vector<Parameter> items_;
};

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
    explicit Connection(dbhost::HostOptions host);
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

    // For tests: the helper of an open connection (0 when none).
    pid_t helperPid() const;

private:
    friend class Command;
    std::shared_ptr<detail::ConnectionState> state_;
};

} // namespace ado
