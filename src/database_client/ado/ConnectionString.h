// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <map>
#include <optional>

namespace ado {

// The one provider of this ADO: Access databases read through the database helper.
inline const QString providerName = QStringLiteral("Lumsifter.Access.1");

// "Provider=...;Data Source=<path>", the path quoted when it needs to be.
QString connectionStringFor(const QString &database);

// The keywords (in lower case) and their values; nothing when the text is malformed (a quote that
// is not closed, a part without "=").
std::optional<std::map<QString, QString>> parseConnectionString(const QString &text);

} // namespace ado
