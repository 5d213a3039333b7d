// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Forward-only, read-only results and their fields.

#include "database_client/ado/Properties.h"
#include "database_client/ado/Types.h"

#include <memory>

namespace ado {

namespace detail {
struct ResultState;
}

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

} // namespace ado
