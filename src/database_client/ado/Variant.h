// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace ado {

// A value as ADO hands it out: a field's value or a property's.
struct Variant {
    enum class Kind {
        Empty,
        Null,
        Boolean,
        Integer,
        Single,
        Double,
        Currency,
        Date,
        Text,
        Decimal,
        Timestamp,
        Bytes,
        Guid
    };
    Kind kind = Kind::Empty;
    qint64 integer = 0; // Boolean (0/1), Integer, Currency (in 1/10000)
    double real = 0;    // Single, Double, Date (days since 1899-12-30, the time as the fraction)
    QString text;       // Text, Decimal (with '.'), Timestamp ("YYYY-MM-DD hh:mm:ss.fffffff")
    QByteArray bytes;   // Bytes, Guid (16 bytes)

    static Variant null() { return of(Kind::Null); }
    static Variant boolean(bool v) { return of(Kind::Boolean, v ? 1 : 0); }
    static Variant number(qint64 v) { return of(Kind::Integer, v); }
    static Variant ofText(QString v) {
        Variant x = of(Kind::Text);
        x.text = std::move(v);
        return x;
    }
    static Variant of(Kind kind, qint64 integer = 0, double real = 0) {
        Variant x;
        x.kind = kind;
        x.integer = integer;
        x.real = real;
        return x;
    }
    bool isNull() const { return kind == Kind::Null || kind == Kind::Empty; }
};

// The text the platform's conversion of a variant to a string gives, in the given locale: numbers
// without grouping and with the locale's decimal separator, dates in the short date format with a
// four-digit year and the time (the date alone at midnight, the time alone on day 0), timestamps
// likewise over years 1 to 9999 with the seconds' fraction to 100 ns (trailing zeros dropped) and never
// the time alone, True and False, GUIDs in braces, bytes taken as UTF-16 units; Null and Empty give
// empty text.
QString variantText(const Variant &value, const QLocale &locale = QLocale());

} // namespace ado
