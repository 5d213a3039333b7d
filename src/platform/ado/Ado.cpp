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
    const qint32 number = noTable ? HResult::NoSuchTable : HResult::Fail;
    const QString sqlState = noTable ? QStringLiteral("42S02") : QStringLiteral("HY000");
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

int adoType(int columnType) {
    switch (columnType) {
    case 0x01:
        return DataType::Boolean;
    case 0x02:
        return DataType::UnsignedTinyInt;
    case 0x03:
        return DataType::SmallInt;
    case 0x04:
        return DataType::Integer;
    case 0x05:
        return DataType::Currency;
    case 0x06:
        return DataType::Single;
    case 0x07:
        return DataType::Double;
    case 0x08:
        return DataType::Date;
    case 0x0a:
        return DataType::VarWChar;
    case 0x0b:
        return DataType::LongVarBinary;
    case 0x0c:
        return DataType::LongVarWChar;
    case 0x0f:
        return DataType::GUID;
    case 0x10:
        return DataType::Numeric;
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
    case 0x01:
        return Variant::boolean(v.toBool());
    case 0x02:
    case 0x03:
    case 0x04:
        return Variant::number(v.toInteger());
    case 0x05:
        return Variant::of(Variant::Kind::Currency, v.toInteger());
    case 0x06:
        return Variant::of(Variant::Kind::Single, 0, v.toDouble());
    case 0x07:
        return Variant::of(Variant::Kind::Double, 0, v.toDouble());
    case 0x08:
        return Variant::of(Variant::Kind::Date, 0, v.toDouble());
    case 0x0a:
    case 0x0c:
        return Variant::ofText(v.toString());
    case 0x10: {
        Variant d = Variant::of(Variant::Kind::Decimal);
        d.text = v.toString();
        return d;
    }
    default: {
        Variant b = Variant::of(columnType == 0x0f ? Variant::Kind::Guid : Variant::Kind::Bytes);
        b.bytes = v.toByteArray();
        return b;
    }
    }
}

qint32 fixedSize(int columnType) {
    switch (columnType) {
    case 0x01:
    case 0x03:
        return 2;
    case 0x02:
        return 1;
    case 0x04:
    case 0x06:
        return 4;
    case 0x05:
    case 0x07:
    case 0x08:
        return 8;
    case 0x0f:
        return 16;
    case 0x10:
        return 19;
    default:
        return 0;
    }
}

bool isLong(int columnType) {
    return columnType == 0x0b || columnType == 0x0c;
}

bool isVariable(int columnType) {
    return columnType == 0x09 || columnType == 0x0a || isLong(columnType);
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
    if (!isVariable(c.columnType))
        return fixedSize(c.columnType);
    return qint32(v.isString() ? v.toString().size() : v.toByteArray().size());
}

qint32 Field::Attributes() const {
    const ColumnInfo &c = column();
    qint32 a = isVariable(c.columnType) ? 0 : FieldAttribute::Fixed;
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
    if (c.columnType == 0x0a || c.columnType == 0x09)
        return c.size;
    if (c.columnType == 0x0c)
        return 536870910; // the most characters a memo holds
    if (c.columnType == 0x0b)
        return 1073741823; // the most bytes an OLE value holds
    return fixedSize(c.columnType);
}

QString Field::Name() const {
    return column().name;
}

quint8 Field::NumericScale() const {
    const ColumnInfo &c = column();
    switch (c.columnType) {
    case 0x02:
    case 0x03:
    case 0x04:
        return 0;
    case 0x05:
        return 4;
    case 0x10:
        return quint8(c.scale);
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
    case 0x02:
        return 3;
    case 0x03:
        return 5;
    case 0x04:
        return 10;
    case 0x05:
        return 19;
    case 0x06:
        return 7;
    case 0x07:
        return 15;
    case 0x10:
        return quint8(c.precision);
    default:
        return notNumeric;
    }
}

int Field::Type() const {
    return adoType(column().columnType);
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
