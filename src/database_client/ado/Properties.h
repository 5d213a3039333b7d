// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Properties of ADO objects, and the parameters of a command.

#include "database_client/ado/Variant.h"

#include <QString>

#include <vector>

namespace ado {

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

// A property the provider reports and nobody may change.
Property readOnly(const QString &name, int type, Variant value);

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

// Throws the error of a collection asked for an item it does not hold.
[[noreturn]] void itemNotFound();

} // namespace ado
