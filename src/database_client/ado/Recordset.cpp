// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_client/ado/Recordset.h"

#include "database_client/ado/Session.h"

namespace ado {

using namespace detail;

namespace {

constexpr qint32 unknownSize = -1;

} // namespace

// ---- Field

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
    if (!hasLength(c.type))
        return fixedSize(c.type);
    return qint32(v.isString() ? v.toString().size() : v.toByteArray().size());
}

qint32 Field::Attributes() const {
    return attributesOf(column());
}

qint32 Field::DefinedSize() const {
    return definedSize(column());
}

QString Field::Name() const {
    return column().name;
}

quint8 Field::NumericScale() const {
    return numericScaleOf(column());
}

Variant Field::OriginalValue() const {
    return Value(); // nothing is ever changed in a read-only result
}

quint8 Field::Precision() const {
    return precisionOf(column());
}

int Field::Type() const {
    return adoType(column());
}

Variant Field::Value() const {
    return variantOf(column().type, result_->value(index_));
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
    result_->connection->call(
        helper_protocol::CursorRequest{helper_protocol::Op::rewind, result_->cursor}.toCbor());
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
    result_->connection->call(
        helper_protocol::CursorRequest{helper_protocol::Op::close, result_->cursor}.toCbor());
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

} // namespace ado
