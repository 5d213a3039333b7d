// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Module Prop: the error reports and the type and attribute texts of both database reports.

#include <QString>

namespace ado {
class Connection;
}

namespace database {

class ReportLines;

namespace Prop {

// "*** ADO ERROR CONDITION! ***" and eight lines per provider error of the connection. Never fails;
// a line whose value cannot be read is left out.
void reportAdoErrors(ReportLines &list, const ado::Connection &connection);

// The four lines of the general error report.
void reportRunError(ReportLines &list, const QString &number, const QString &source,
                    const QString &description);

// "Required ", "Optional ", "Read ", "Write " for bits 0x1, 0x2, 0x200, 0x400, in that order.
QString propertyAttributeText(qint32 attributes);

// The text naming an ADO data type, or "<value> = Unrecognized Type".
QString dataTypeText(qint16 type);

} // namespace Prop

} // namespace database
