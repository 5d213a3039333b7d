// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The two database reports, "DB Info" and "DB Properties", written into the report list.

#include "helper_protocol/HostSession.h"

#include <QString>

namespace database {

class ReportLines;

// What both reports share and keep between clicks.
struct ReportState {
    QString connectionString;
    QString lastErrorNumber;
    QString lastErrorSource;
    QString lastErrorDescription;
};

// The command text that selects every record of a table, its name bracketed with "]" doubled.
QString selectAllFrom(const QString &table);

// "DB Info": the records of the table (field 0, field 1, "Year Born") and the properties of each
// column, or the error reports.
void runDatabaseReport(ReportLines &list, ReportState &state, const QString &table,
                       const helper_protocol::HostOptions &host);

// "DB Properties": the provider properties of the connection, a command on Authors, its result and
// that result's first field, or the error reports.
void runPropertiesReport(ReportLines &list, ReportState &state, const helper_protocol::HostOptions &host);

} // namespace database
