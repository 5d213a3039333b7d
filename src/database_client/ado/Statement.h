// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <variant>

namespace ado {

// What a statement selects: every record of one table.
struct SelectAll {
    QString table;
};

struct StatementError {
    QString description;
};

// Parses the statements the program issues: SELECT * FROM name, or FROM [name] where the name may
// hold blanks and "]]" stands for "]". Keywords in any case; a closing ";" is allowed.
std::variant<SelectAll, StatementError> parseStatement(const QString &text);

} // namespace ado
