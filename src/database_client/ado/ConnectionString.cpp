// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_client/ado/ConnectionString.h"

namespace ado {

namespace {

// A value with ';', a leading or trailing blank or a leading quote is enclosed in double quotes, a
// double quote inside it doubled.
QString quoted(const QString &value) {
    const bool plain = !value.contains(u';') && value.trimmed() == value && !value.startsWith(u'"') &&
                       !value.startsWith(u'\'');
    if (plain)
        return value;
    QString inner = value;
    inner.replace(u'"', QStringLiteral("\"\""));
    return u'"' + inner + u'"';
}

// Reads a quoted value starting at the quote; returns the position after the closing quote, or -1.
qsizetype readQuoted(const QString &text, qsizetype at, QString &value) {
    const QChar quote = text[at];
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        if (text[i] != quote) {
            value.append(text[i]);
        } else if (i + 1 < text.size() && text[i + 1] == quote) {
            value.append(quote);
            ++i;
        } else {
            return i + 1;
        }
    }
    return -1;
}

} // namespace

QString connectionStringFor(const QString &database) {
    return QStringLiteral("Provider=%1;Data Source=%2").arg(providerName, quoted(database));
}

std::optional<std::map<QString, QString>> parseConnectionString(const QString &text) {
    std::map<QString, QString> parts;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype equals = text.indexOf(u'=', i);
        const qsizetype semicolon = text.indexOf(u';', i);
        if (semicolon >= 0 && (equals < 0 || semicolon < equals)) {
            if (!text.mid(i, semicolon - i).trimmed().isEmpty())
                return std::nullopt;
            i = semicolon + 1;
            continue;
        }
        if (equals < 0)
            return text.mid(i).trimmed().isEmpty() ? std::optional(parts) : std::nullopt;
        const QString key = text.mid(i, equals - i).trimmed().toLower();
        qsizetype at = equals + 1;
        while (at < text.size() && text[at] == u' ')
            ++at;
        QString value;
        if (at < text.size() && (text[at] == u'"' || text[at] == u'\'')) {
            at = readQuoted(text, at, value);
            if (at < 0)
                return std::nullopt;
            const qsizetype end = text.indexOf(u';', at);
            if (!text.mid(at, end < 0 ? -1 : end - at).trimmed().isEmpty())
                return std::nullopt;
            i = end < 0 ? text.size() : end + 1;
        } else {
            const qsizetype end = text.indexOf(u';', at);
            value = text.mid(at, end < 0 ? -1 : end - at).trimmed();
            i = end < 0 ? text.size() : end + 1;
        }
        if (key.isEmpty())
            return std::nullopt;
        parts[key] = value;
    }
    return parts;
}

} // namespace ado
