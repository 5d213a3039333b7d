// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_client/ado/Variant.h"

#include <QDateTime>
#include <QRegularExpression>

#include <cmath>

namespace ado {

namespace {

QString withDecimalPoint(QString plain, const QLocale &locale) {
    return plain.replace(u'.', locale.decimalPoint());
}

// Up to the given significant digits, in exponent form only for very large or small magnitudes.
QString realText(double v, int digits, const QLocale &locale) {
    if (std::isnan(v))
        return QStringLiteral("NaN");
    if (std::isinf(v))
        return v < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
    return withDecimalPoint(QString::number(v, 'g', digits).toUpper(), locale);
}

QString scaledText(qint64 value, int scale, const QLocale &locale) {
    const bool negative = value < 0;
    QString digits = QString::number(value).remove(u'-');
    while (digits.size() <= scale)
        digits.prepend(u'0');
    QString fraction = digits.right(scale);
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    QString out = digits.left(digits.size() - scale);
    if (!fraction.isEmpty())
        out += u'.' + fraction;
    return withDecimalPoint(negative ? u'-' + out : out, locale);
}

QString decimalText(QString v, const QLocale &locale) {
    if (v.contains(u'.')) {
        while (v.endsWith(u'0'))
            v.chop(1);
        if (v.endsWith(u'.'))
            v.chop(1);
    }
    return withDecimalPoint(v == u"-0" ? QStringLiteral("0") : v, locale);
}

QString shortDateFormat(const QLocale &locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return format;
}

QString longTimeFormat(const QLocale &locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(u't');
    return format.trimmed();
}

QString dateText(double v, const QLocale &locale) {
    double whole = std::trunc(v);
    qint64 seconds = std::llround(std::fabs(v - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += v < 0 ? -1 : 1;
    }
    const QDate date = QDate(1899, 12, 30).addDays(qint64(whole));
    const QTime time = QTime(0, 0).addSecs(int(seconds));
    if (seconds == 0)
        return locale.toString(date, shortDateFormat(locale));
    if (whole == 0)
        return locale.toString(time, longTimeFormat(locale));
    return locale.toString(date, shortDateFormat(locale)) + u' ' +
           locale.toString(time, longTimeFormat(locale));
}

// "YYYY-MM-DD hh:mm:ss.fffffff" as the locale writes a date and time, the fraction after the seconds.
QString timestampText(const QString &v, const QLocale &locale) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2}) (\\d{2}):(\\d{2}):(\\d{2})\\.(\\d{7})$"));
    const QRegularExpressionMatch m = form.match(v);
    const QDate date =
        m.hasMatch() ? QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()) : QDate();
    const QTime time =
        m.hasMatch() ? QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt()) : QTime();
    if (!date.isValid() || !time.isValid())
        return v; // not a timestamp after all: as it was stored
    QString fraction = m.captured(7);
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    const QString dateText = locale.toString(date, shortDateFormat(locale));
    if (time == QTime(0, 0) && fraction.isEmpty())
        return dateText;
    QString format = longTimeFormat(locale);
    if (!fraction.isEmpty()) {
        const QString literal = QStringLiteral("'%1%2'").arg(locale.decimalPoint(), fraction);
        const qsizetype seconds = format.indexOf(QStringLiteral("ss"));
        if (seconds >= 0)
            format.insert(seconds + 2, literal);
        else
            format += literal;
    }
    return dateText + u' ' + locale.toString(time, format);
}

QString guidText(const QByteArray &b) {
    if (b.size() != 16)
        return QString::fromLatin1(b.toHex().toUpper());
    auto hex = [&](int from, int count, bool reversed) {
        QByteArray part = b.mid(from, count);
        if (reversed)
            std::reverse(part.begin(), part.end());
        return QString::fromLatin1(part.toHex().toUpper());
    };
    return u'{' + hex(0, 4, true) + u'-' + hex(4, 2, true) + u'-' + hex(6, 2, true) + u'-' +
           hex(8, 2, false) + u'-' + hex(10, 6, false) + u'}';
}

QString bytesText(const QByteArray &b) {
    QString out;
    for (qsizetype i = 0; i + 1 < b.size(); i += 2)
        out.append(QChar(char16_t(quint8(b[i]) | quint8(b[i + 1]) << 8)));
    return out;
}

} // namespace

QString variantText(const Variant &value, const QLocale &locale) {
    switch (value.kind) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        return {};
    case Variant::Kind::Boolean:
        return value.integer ? QStringLiteral("True") : QStringLiteral("False");
    case Variant::Kind::Integer:
        return QString::number(value.integer);
    case Variant::Kind::Single:
        return realText(value.real, 7, locale);
    case Variant::Kind::Double:
        return realText(value.real, 15, locale);
    case Variant::Kind::Currency:
        return scaledText(value.integer, 4, locale);
    case Variant::Kind::Date:
        return dateText(value.real, locale);
    case Variant::Kind::Text:
        return value.text;
    case Variant::Kind::Decimal:
        return decimalText(value.text, locale);
    case Variant::Kind::Timestamp:
        return timestampText(value.text, locale);
    case Variant::Kind::Bytes:
        return bytesText(value.bytes);
    case Variant::Kind::Guid:
        return guidText(value.bytes);
    }
    return {};
}

} // namespace ado
