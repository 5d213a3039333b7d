// SPDX-License-Identifier: GPL-3.0-or-later
#include "database/Reports.h"

#include "database/Prop.h"
#include "database_client/ado/Ado.h"

#include "database/ReportLines.h"

#include <functional>
#include <optional>

namespace database {

namespace {

const QString tab = QStringLiteral("\t");

enum class Route { General, Ado };

// The objects of one report, released (and so closed) when the report finishes.
struct ReportObjects {
    std::unique_ptr<ado::Connection> connection;
    std::optional<ado::Recordset> recordset;
};

QString text(const ado::Variant &v) {
    return ado::variantText(v);
}

void record(ReportState &state, qint32 number, const QString &source, const QString &description) {
    state.lastErrorNumber = QString::number(number);
    state.lastErrorSource = source;
    state.lastErrorDescription = description;
}

// Either error route: record the error, write the ADO error report (ADO route only), then the
// general one.
void reportError(ReportLines &list, ReportState &state, Route route, const ReportObjects &objects) {
    try {
        throw;
    } catch (const ado::AdoError &e) {
        record(state, e.number(), e.source(), e.description());
    } catch (const std::exception &e) {
        record(state, ado::HResult::Fail, QStringLiteral("Lumsifter"), QString::fromLocal8Bit(e.what()));
    }
    if (route == Route::Ado && objects.connection)
        Prop::reportAdoErrors(list, *objects.connection);
    Prop::reportRunError(list, state.lastErrorNumber, state.lastErrorSource, state.lastErrorDescription);
}

// Finish: from here on errors are ignored; the result and the connection close on release.
void finish(ReportObjects &objects) {
    try {
        objects.recordset.reset();
        objects.connection.reset();
    } catch (...) {
    }
}

void openConnection(ado::Connection &connection, const QString &connectionString) {
    connection.setConnectionString(connectionString);
    connection.Open(QString(), QString(), QString(), ado::adConnectUnspecified);
}

void dumpRecords(ReportLines &list, ado::Recordset &rs) {
    while (!rs.Eof()) {
        const QString first = text(rs.Fields().Item(0).Value());
        const QString second = text(rs.Fields().Item(1).Value());
        const QString yearBorn = text(rs.Fields().Item(QStringLiteral("Year Born")).Value());
        list.addItem(tab + first + QStringLiteral(" | ") + second + QStringLiteral(" | ") + yearBorn);
        rs.MoveNext();
    }
}

void dumpColumns(ReportLines &list, ado::Recordset &rs) {
    const qint16 count = qint16(rs.Fields().Count());
    for (qint16 i = 0; i <= count - 1; ++i) {
        auto field = [&] { return rs.Fields().Item(i); };
        list.addItem(QStringLiteral("    Field #") + QString::number(i));
        list.addItem(tab + QStringLiteral("Actual Size  = ") + QString::number(field().ActualSize()));
        list.addItem(tab + QStringLiteral("Attributes   = ") + QString::number(field().Attributes()));
        list.addItem(tab + QStringLiteral("Defined Size = ") + QString::number(field().DefinedSize()));
        list.addItem(tab + QStringLiteral("Name         = ") + field().Name());
        list.addItem(tab + QStringLiteral("NumericScale = ") + QString::number(field().NumericScale()));
        list.addItem(tab + QStringLiteral("OriginalValue= ") + text(field().OriginalValue()));
        list.addItem(tab + QStringLiteral("Precision    = ") + QString::number(field().Precision()));
        list.addItem(tab + QStringLiteral("Type         = ") + QString::number(field().Type()));
        list.addItem(tab + QStringLiteral("Value        = ") + text(field().Value()));
    }
}

// Four lines per property, each reading the property afresh.
void dumpProperties(ReportLines &list, const std::function<ado::PropertyList()> &properties) {
    const qint16 count = qint16(properties().Count());
    for (qint16 i = 0; i <= count - 1; ++i) {
        list.addItem(tab + QStringLiteral("Name = ") + properties().Item(i).Name());
        list.addItem(tab + QStringLiteral("       Type = ") +
                     Prop::dataTypeText(qint16(properties().Item(i).Type())));
        list.addItem(tab + QStringLiteral("       Value = ") + text(properties().Item(i).Value()));
        list.addItem(tab + QStringLiteral("       Attributes = ") +
                     Prop::propertyAttributeText(properties().Item(i).Attributes()));
    }
}

QString heading(const char *object) {
    return QStringLiteral(
               "*** *** *** *** *** Dumping contents of the Properties Collection for the %1 object "
               "*** *** *** *** ***")
        .arg(QLatin1String(object));
}

} // namespace

QString selectAllFrom(const QString &table) {
    QString name = table;
    name.replace(u']', QStringLiteral("]]"));
    return QStringLiteral("SELECT * FROM [") + name + u']';
}

void runDatabaseReport(ReportLines &list, ReportState &state, const QString &table,
                       const helper_protocol::HostOptions &host) {
    ReportObjects objects;
    Route route = Route::General;
    try {
        list.clear();
        list.addItem(QStringLiteral("Opening Access Database ADODEMO.MDB..."));
        list.addItem(tab + QStringLiteral("...Assumes ADODEMO.MDB is in the same directory"));
        list.addItem(tab + QStringLiteral("...With Error Handling Using Connection Object"));
        objects.connection = std::make_unique<ado::Connection>(host);
        route = Route::Ado;
        openConnection(*objects.connection, state.connectionString);
        list.addItem(tab + QStringLiteral("...Parameterized Command Object"));
        ado::Command command;
        command.setActiveConnection(*objects.connection);
        command.setCommandText(selectAllFrom(table));
        {
            ado::Parameter parameter =
                command.CreateParameter(QString(), ado::DataType::Integer, ado::adParamInput, 3);
            parameter.setValue(ado::Variant::number(qint16(10)));
            command.Parameters().Append(parameter);
        }
        objects.recordset = command.Execute(ado::adOptionUnspecified);
        list.addItem(tab + QStringLiteral("...Forward-Only Recordset"));
        list.addItem(QStringLiteral("Dumping contents of each record..."));
        dumpRecords(list, *objects.recordset);
        list.addItem(QStringLiteral("Dumping properties of each column in the recordset..."));
        objects.recordset->Requery(ado::adOptionUnspecified);
        dumpColumns(list, *objects.recordset);
        list.addItem(QStringLiteral("*** Success! ***"));
        objects.recordset->Close();
        objects.connection->Close();
    } catch (...) {
        reportError(list, state, route, objects);
    }
    finish(objects);
}

void runPropertiesReport(ReportLines &list, ReportState &state, const helper_protocol::HostOptions &host) {
    ReportObjects objects;
    Route route = Route::General;
    try {
        list.clear();
        objects.connection = std::make_unique<ado::Connection>(host);
        route = Route::Ado;
        openConnection(*objects.connection, state.connectionString);
        list.addItem(heading("Connection"));
        dumpProperties(list, [&] { return objects.connection->Properties(); });
        ado::Command command;
        command.setActiveConnection(*objects.connection);
        command.setCommandText(QStringLiteral("SELECT * FROM Authors"));
        objects.recordset = command.Execute(ado::adOptionUnspecified);
        list.addItem(heading("Command"));
        dumpProperties(list, [&] { return command.Properties(); });
        list.addItem(heading("Recordset"));
        dumpProperties(list, [&] { return objects.recordset->Properties(); });
        list.addItem(heading("Field"));
        dumpProperties(list, [&] { return objects.recordset->Fields().Item(0).Properties(); });
        list.addItem(QStringLiteral("*** Success! ***"));
        objects.recordset->Close();
        objects.connection->Close();
    } catch (...) {
        reportError(list, state, route, objects);
    }
    finish(objects);
}

} // namespace database
