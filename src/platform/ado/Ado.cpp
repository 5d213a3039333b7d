#include "platform/ado/Ado.h"

#include "helper_protocol/Protocol.h"
#include "platform/Files.h"
#include "platform/PathCodec.h"
#include "platform/ado/ConnectionString.h"
#include "platform/ado/Statement.h"

#include <QFileInfo>

#include <csignal>
#include <unistd.h>

namespace ado {

namespace {

const QString connectionSource = QStringLiteral("ADO.Connection");
const QString commandSource = QStringLiteral("ADO.Command");
const QString recordsetSource = QStringLiteral("ADO.Recordset");
const QString fieldSource = QStringLiteral("ADO.Field");
const QString collectionSource = QStringLiteral("ADO.Collection");
const QString libraryErrorSource = QStringLiteral("libmdb");
constexpr int fetchSize = 64;
constexpr qint32 unknownSize = -1;
constexpr quint8 notNumeric = 255;

[[noreturn]] void raise(qint32 number, const QString &source, const QString &description) {
    throw AdoError(number, source, description);
}

[[noreturn]] void closedObject(const QString &source) {
    raise(HResult::ObjectClosed, source,
          QStringLiteral("Operation is not allowed when the object is closed."));
}

[[noreturn]] void itemNotFound() {
    raise(HResult::ItemNotFound, collectionSource,
          QStringLiteral(
              "Item cannot be found in the collection corresponding to the requested name or ordinal."));
}

ErrorInfo providerError(qint32 number, const QString &sqlState, const QString &description,
                        qint32 native = 0) {
    ErrorInfo e;
    e.number = number;
    e.source = providerSource;
    e.description = description;
    e.sqlState = sqlState;
    e.nativeError = native;
    return e;
}

// A reply that is not ok, as provider errors: the helper's own, then what libmdb printed meanwhile.
std::vector<ErrorInfo> replyErrors(const QCborMap &reply, const QString &context) {
    const QString code = reply.value(dbhost::Key::error).toString();
    const bool noTable = code == dbhost::Error::noSuchTable;
    const bool password = code == dbhost::Error::needsPassword;
    const qint32 number = noTable    ? HResult::NoSuchTable
                          : password ? HResult::AuthenticationFailed
                                     : HResult::Fail;
    const QString sqlState = noTable    ? QStringLiteral("42S02")
                             : password ? QStringLiteral("28000")
                                        : QStringLiteral("HY000");
    std::vector<ErrorInfo> errors{
        providerError(number, sqlState, context + reply.value(dbhost::Key::message).toString())};
    const QString log = reply.value(dbhost::Key::log).toString();
    if (!log.isEmpty()) {
        errors.push_back(providerError(number, sqlState, log));
        errors.back().source = libraryErrorSource;
    }
    return errors;
}

ErrorInfo hostError(const dbhost::HostFailure &failure) {
    const QString description = QString::fromStdString(failure.what());
    if (failure.kind() == dbhost::HostFailure::Kind::TimedOut)
        return providerError(HResult::LimitReached, QStringLiteral("HYT00"), description);
    return providerError(HResult::Fail, QStringLiteral("HY000"), description);
}

Property readOnly(const QString &name, int type, Variant value) {
    return Property(name, type, std::move(value), PropertyAttribute::Read);
}

Variant textValue(const QCborValue &v) {
    return Variant::ofText(v.toString());
}

} // namespace

namespace detail {

struct ConnectionState {
    dbhost::HostOptions host;
    QString connectionString;
    QString dataSource;
    std::unique_ptr<dbhost::HostSession> session;
    QCborMap info;
    ErrorList errors;

    bool isOpen() const { return session != nullptr; }

    // A request to the provider; a failure fills Errors with it and is thrown.
    QCborMap call(const QCborMap &request, const QString &context = {}) {
        if (!session)
            closedObject(connectionSource);
        QCborMap reply;
        try {
            reply = session->call(request);
        } catch (const dbhost::HostFailure &failure) {
            fail(hostError(failure));
        }
        if (!reply.value(dbhost::Key::ok).toBool())
            fail(replyErrors(reply, context));
        return reply;
    }

    [[noreturn]] void fail(const std::vector<ErrorInfo> &provider) {
        errors.clear();
        for (const ErrorInfo &e : provider)
            errors.emplace_back(e);
        throw AdoError(provider.front());
    }

    [[noreturn]] void fail(const ErrorInfo &error) { fail(std::vector<ErrorInfo>{error}); }
};

struct ResultState {
    std::shared_ptr<ConnectionState> connection;
    QString table;
    QCborValue cursor;
    std::vector<ColumnInfo> columns;
    QCborArray rows;
    qsizetype position = 0;
    bool end = false;
    bool closed = false;

    void requireOpen() const {
        if (closed || !connection->isOpen())
            closedObject(recordsetSource);
    }

    // Fetches until there is a current record or the result is exhausted.
    void fill() {
        while (position >= rows.size() && !end) {
            QCborMap fetch = dbhost::request(QStringLiteral("fetch"));
            fetch[QStringLiteral("cursor")] = cursor;
            fetch[QStringLiteral("max")] = fetchSize;
            const QCborMap reply = connection->call(fetch);
            rows = reply.value(QStringLiteral("rows")).toArray();
            position = 0;
            end = reply.value(QStringLiteral("end")).toBool();
        }
    }

    bool atEnd() const { return position >= rows.size(); }

    // A value of the current record; there is none at the end.
    QCborValue value(int column) const {
        requireOpen();
        if (atEnd())
            raise(HResult::NoCurrentRecord, fieldSource,
                  QStringLiteral("There is no current record: the result is at its end."));
        return rows.at(position).toArray().at(column);
    }
};

} // namespace detail

// Column types as the table definitions number them.
namespace ColumnType {
constexpr int Boolean = 0x01;
constexpr int Byte = 0x02;
constexpr int Integer = 0x03;
constexpr int Long = 0x04;
constexpr int Currency = 0x05;
constexpr int Single = 0x06;
constexpr int Double = 0x07;
constexpr int DateTime = 0x08;
constexpr int Binary = 0x09;
constexpr int Text = 0x0a;
constexpr int Ole = 0x0b;
constexpr int Memo = 0x0c;
constexpr int Guid = 0x0f;
constexpr int Numeric = 0x10;
constexpr int Complex = 0x12; // attachments, multi-value fields, version history: the value is the id
constexpr int BigInt = 0x13;
constexpr int DateTimeExtended = 0x14;
} // namespace ColumnType

int adoType(const ColumnInfo &column) {
    switch (column.columnType) {
    case ColumnType::Boolean:
        return DataType::Boolean;
    case ColumnType::Byte:
        return DataType::UnsignedTinyInt;
    case ColumnType::Integer:
        return DataType::SmallInt;
    case ColumnType::Long:
    case ColumnType::Complex:
        return DataType::Integer;
    case ColumnType::Currency:
        return DataType::Currency;
    case ColumnType::Single:
        return DataType::Single;
    case ColumnType::Double:
        return DataType::Double;
    case ColumnType::DateTime:
        return DataType::Date;
    case ColumnType::Binary:
        return column.fixedLength ? DataType::Binary : DataType::VarBinary;
    case ColumnType::Text:
        return column.fixedLength ? DataType::WChar : DataType::VarWChar;
    case ColumnType::Ole:
        return DataType::LongVarBinary;
    case ColumnType::Memo:
        return DataType::LongVarWChar;
    case ColumnType::Guid:
        return DataType::GUID;
    case ColumnType::Numeric:
        return DataType::Numeric;
    case ColumnType::BigInt:
        return DataType::BigInt;
    case ColumnType::DateTimeExtended:
        return DataType::DBTimeStamp;
    default:
        return DataType::VarBinary;
    }
}

const Property &PropertyList::Item(int index) const {
    if (index < 0 || index >= Count())
        itemNotFound();
    return items_[size_t(index)];
}

const Property &PropertyList::Item(const QString &name) const {
    for (const Property &p : items_) {
        if (p.Name().compare(name, Qt::CaseInsensitive) == 0)
            return p;
    }
    itemNotFound();
}

const Parameter &ParameterList::Item(int index) const {
    if (index < 0 || index >= Count())
        itemNotFound();
    return items_[size_t(index)];
}

// ---- Field

namespace {

// A value as the column's type hands it out.
Variant variantOf(int columnType, const QCborValue &v) {
    if (v.isNull() || v.isUndefined())
        return Variant::null();
    switch (columnType) {
    case ColumnType::Boolean:
        return Variant::boolean(v.toBool());
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Complex:
    case ColumnType::BigInt:
        return Variant::number(v.toInteger());
    case ColumnType::Currency:
        return Variant::of(Variant::Kind::Currency, v.toInteger());
    case ColumnType::Single:
        return Variant::of(Variant::Kind::Single, 0, v.toDouble());
    case ColumnType::Double:
        return Variant::of(Variant::Kind::Double, 0, v.toDouble());
    case ColumnType::DateTime:
        return Variant::of(Variant::Kind::Date, 0, v.toDouble());
    case ColumnType::Text:
    case ColumnType::Memo:
        return Variant::ofText(v.toString());
    case ColumnType::Numeric: {
        Variant d = Variant::of(Variant::Kind::Decimal);
        d.text = v.toString();
        return d;
    }
    case ColumnType::DateTimeExtended: {
        Variant t = Variant::of(Variant::Kind::Timestamp);
        t.text = v.toString();
        return t;
    }
    default: {
        Variant b = Variant::of(columnType == ColumnType::Guid ? Variant::Kind::Guid : Variant::Kind::Bytes);
        b.bytes = v.toByteArray();
        return b;
    }
    }
}

// Bytes of a value of a fixed-size type as ADO counts them (a DBTIMESTAMP for Date/Time Extended,
// a DECIMAL for Numeric); 0 for the others.
qint32 fixedSize(int columnType) {
    switch (columnType) {
    case ColumnType::Boolean:
    case ColumnType::Integer:
        return 2;
    case ColumnType::Byte:
        return 1;
    case ColumnType::Long:
    case ColumnType::Single:
    case ColumnType::Complex:
        return 4;
    case ColumnType::Currency:
    case ColumnType::Double:
    case ColumnType::DateTime:
    case ColumnType::BigInt:
        return 8;
    case ColumnType::Guid:
    case ColumnType::DateTimeExtended:
        return 16;
    case ColumnType::Numeric:
        return 19;
    default:
        return 0;
    }
}

bool isLong(int columnType) {
    return columnType == ColumnType::Ole || columnType == ColumnType::Memo;
}

// Text and binary values have their own length; fixed-length ones are padded to it.
bool hasLength(int columnType) {
    return columnType == ColumnType::Binary || columnType == ColumnType::Text || isLong(columnType);
}

} // namespace

const ColumnInfo &Field::column() const {
    result_->requireOpen();
    return result_->columns[size_t(index_)];
}

// The length of the current value: characters for text, bytes otherwise; -1 without a record.
qint32 Field::ActualSize() const {
    const ColumnInfo &c = column();
    if (result_->atEnd())
        return unknownSize;
    const QCborValue v = result_->value(index_);
    if (v.isNull())
        return 0;
    if (!hasLength(c.columnType))
        return fixedSize(c.columnType);
    return qint32(v.isString() ? v.toString().size() : v.toByteArray().size());
}

qint32 Field::Attributes() const {
    const ColumnInfo &c = column();
    qint32 a = hasLength(c.columnType) && !c.fixedLength ? 0 : FieldAttribute::Fixed;
    if (c.nullable)
        a |= FieldAttribute::IsNullable | FieldAttribute::MayBeNull;
    if (isLong(c.columnType))
        a |= FieldAttribute::Long;
    if (c.key)
        a |= FieldAttribute::KeyColumn;
    return a;
}

qint32 Field::DefinedSize() const {
    const ColumnInfo &c = column();
    if (c.columnType == ColumnType::Text || c.columnType == ColumnType::Binary)
        return c.size;
    if (c.columnType == ColumnType::Memo)
        return 536870910; // the most characters a memo holds
    if (c.columnType == ColumnType::Ole)
        return 1073741823; // the most bytes an OLE value holds
    return fixedSize(c.columnType);
}

QString Field::Name() const {
    return column().name;
}

// The digits right of the decimal point: only exact decimals and timestamps have a scale (OLE DB
// reports ~0 for every other type, integers and Currency included).
quint8 Field::NumericScale() const {
    const ColumnInfo &c = column();
    switch (c.columnType) {
    case ColumnType::Numeric:
        return quint8(c.scale);
    case ColumnType::DateTimeExtended:
        return 7;
    default:
        return notNumeric;
    }
}

Variant Field::OriginalValue() const {
    return Value(); // nothing is ever changed in a read-only result
}

quint8 Field::Precision() const {
    const ColumnInfo &c = column();
    switch (c.columnType) {
    case ColumnType::Byte:
        return 3;
    case ColumnType::Integer:
        return 5;
    case ColumnType::Long:
    case ColumnType::Complex:
        return 10;
    case ColumnType::Currency:
    case ColumnType::BigInt:
        return 19;
    case ColumnType::Single:
        return 7;
    case ColumnType::Double:
        return 15;
    case ColumnType::Numeric:
        return quint8(c.calculated ? 28 : c.precision); // a calculated Decimal keeps no precision of its own
    case ColumnType::DateTimeExtended:
        return 27; // the characters of "yyyy-mm-dd hh:mm:ss.fffffff"
    default:
        return notNumeric;
    }
}

int Field::Type() const {
    return adoType(column());
}

Variant Field::Value() const {
    const ColumnInfo &c = column();
    return variantOf(c.columnType, result_->value(index_));
}

PropertyList Field::Properties() const {
    const ColumnInfo &c = column();
    return PropertyList(
        {readOnly(QStringLiteral("BASETABLENAME"), DataType::BSTR, Variant::ofText(result_->table)),
         readOnly(QStringLiteral("BASECOLUMNNAME"), DataType::BSTR, Variant::ofText(c.name)),
         readOnly(QStringLiteral("KEYCOLUMN"), DataType::Boolean, Variant::boolean(c.key)),
         readOnly(QStringLiteral("ISNULLABLE"), DataType::Boolean, Variant::boolean(c.nullable)),
         readOnly(QStringLiteral("ISAUTOINCREMENT"), DataType::Boolean, Variant::boolean(c.autoNumber))});
}

int FieldList::Count() const {
    result_->requireOpen();
    return int(result_->columns.size());
}

Field FieldList::Item(int index) const {
    if (index < 0 || index >= Count())
        itemNotFound();
    return Field(result_, index);
}

Field FieldList::Item(const QString &name) const {
    for (int i = 0; i < Count(); ++i) {
        if (result_->columns[size_t(i)].name.compare(name, Qt::CaseInsensitive) == 0)
            return Field(result_, i);
    }
    itemNotFound();
}

// ---- Recordset

Recordset::~Recordset() {
    if (!result_ || result_->closed)
        return;
    try {
        Close();
    } catch (const AdoError &) {
        // releasing a result whose helper is gone has nothing left to close
    }
}

bool Recordset::Eof() const {
    result_->requireOpen();
    return result_->atEnd();
}

void Recordset::MoveNext() {
    result_->requireOpen();
    if (result_->atEnd())
        raise(HResult::NoCurrentRecord, recordsetSource,
              QStringLiteral("There is no current record to move from: the result is at its end."));
    ++result_->position;
    result_->fill();
}

void Recordset::Requery(int) {
    result_->requireOpen();
    QCborMap rewind = dbhost::request(QStringLiteral("rewind"));
    rewind[QStringLiteral("cursor")] = result_->cursor;
    result_->connection->call(rewind);
    result_->rows = {};
    result_->position = 0;
    result_->end = false;
    result_->fill();
}

FieldList Recordset::Fields() const {
    result_->requireOpen();
    return FieldList(result_);
}

void Recordset::Close() {
    result_->requireOpen();
    result_->closed = true;
    QCborMap close = dbhost::request(QStringLiteral("close"));
    close[QStringLiteral("cursor")] = result_->cursor;
    result_->connection->call(close);
}

PropertyList Recordset::Properties() const {
    result_->requireOpen();
    return PropertyList(
        {readOnly(QStringLiteral("Bookmarkable"), DataType::Boolean, Variant::boolean(false)),
         readOnly(QStringLiteral("Scroll Backwards"), DataType::Boolean, Variant::boolean(false)),
         readOnly(QStringLiteral("Fetch Backwards"), DataType::Boolean, Variant::boolean(false)),
         readOnly(QStringLiteral("Updatability"), DataType::Integer, Variant::number(0)),
         readOnly(QStringLiteral("Maximum Rows"), DataType::Integer, Variant::number(0)),
         readOnly(QStringLiteral("Fetch Size"), DataType::Integer, Variant::number(fetchSize))});
}

// ---- Command

void Command::setActiveConnection(const Connection &connection) {
    connection_ = connection.state_;
}

Parameter Command::CreateParameter(const QString &name, int type, int direction, qint64 size,
                                   const Variant &value) const {
    return Parameter(name, type, direction, size, value);
}

namespace {

std::vector<ColumnInfo> columnsOf(const QCborArray &list) {
    std::vector<ColumnInfo> out;
    for (const QCborValue &c : list) {
        ColumnInfo info;
        info.name = c[QStringLiteral("name")].toString();
        info.columnType = int(c[QStringLiteral("type")].toInteger());
        info.size = int(c[QStringLiteral("size")].toInteger());
        info.precision = int(c[QStringLiteral("precision")].toInteger());
        info.scale = int(c[QStringLiteral("scale")].toInteger());
        info.nullable = c[QStringLiteral("nullable")].toBool();
        info.autoNumber = c[QStringLiteral("autoNumber")].toBool();
        info.key = c[QStringLiteral("key")].toBool();
        info.fixedLength = c[QStringLiteral("fixedLength")].toBool();
        info.calculated = c[QStringLiteral("calculated")].toBool();
        out.push_back(info);
    }
    return out;
}

} // namespace

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
    QCborMap query = dbhost::request(QStringLiteral("query"));
    query[QStringLiteral("table")] = table;
    const QCborMap reply = connection_->call(query);
    auto result = std::make_shared<detail::ResultState>();
    result->connection = connection_;
    result->table = table;
    result->cursor = reply.value(QStringLiteral("cursor"));
    result->columns = columnsOf(reply.value(QStringLiteral("columns")).toArray());
    result->fill();
    return Recordset(result);
}

PropertyList Command::Properties() const {
    const dbhost::HostOptions host = connection_ ? connection_->host : dbhost::HostOptions{};
    return PropertyList({readOnly(QStringLiteral("Command Time Out"), DataType::Integer,
                                  Variant::number((host.timeLimitMs + 999) / 1000)),
                         readOnly(QStringLiteral("Maximum Rows"), DataType::Integer, Variant::number(0)),
                         readOnly(QStringLiteral("Memory Limit"), DataType::BigInt,
                                  Variant::number(qint64(host.memoryLimitBytes)))});
}

// ---- Connection

Connection::Connection(dbhost::HostOptions host)
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
        state_->session = std::make_unique<dbhost::HostSession>(state_->host);
    } catch (const dbhost::HostFailure &failure) {
        state_->fail(hostError(failure));
    }
    QCborMap open = dbhost::request(QStringLiteral("open"));
    open[QStringLiteral("path")] = platform::encodePath(state_->dataSource);
    try {
        state_->info =
            state_->call(open, QStringLiteral("Cannot open the database '%1': ").arg(state_->dataSource))
                .value(QStringLiteral("info"))
                .toMap();
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
    const QCborMap &info = state_->info;
    auto number = [&](const char *key) {
        return Variant::number(info.value(QLatin1String(key)).toInteger());
    };
    return PropertyList({
        readOnly(QStringLiteral("Provider Name"), DataType::BSTR, Variant::ofText(providerName)),
        readOnly(QStringLiteral("Provider Version"), DataType::BSTR, Variant::ofText(QStringLiteral("1.0"))),
        readOnly(QStringLiteral("Reader Version"), DataType::BSTR,
                 textValue(info.value(QStringLiteral("library")))),
        readOnly(QStringLiteral("Data Source"), DataType::BSTR, Variant::ofText(state_->dataSource)),
        readOnly(QStringLiteral("DBMS Name"), DataType::BSTR,
                 textValue(info.value(QStringLiteral("engine")))),
        readOnly(QStringLiteral("DBMS Version"), DataType::BSTR,
                 textValue(info.value(QStringLiteral("version")))),
        readOnly(QStringLiteral("Page Size"), DataType::Integer, number("pageSize")),
        readOnly(QStringLiteral("Code Page"), DataType::Integer, number("codePage")),
        readOnly(QStringLiteral("Locale Identifier"), DataType::Integer, number("localeId")),
        readOnly(QStringLiteral("File Size"), DataType::BigInt, number("fileSize")),
        readOnly(QStringLiteral("Encrypted"), DataType::Boolean,
                 Variant::boolean(info.value(QStringLiteral("encrypted")).toBool())),
        readOnly(QStringLiteral("Read-Only Data Source"), DataType::Boolean, Variant::boolean(true)),
    });
}

pid_t Connection::helperPid() const {
    return state_->session ? state_->session->pid() : 0;
}

} // namespace ado
