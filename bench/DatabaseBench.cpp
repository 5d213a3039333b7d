// SPDX-License-Identifier: GPL-3.0-or-later
// lumsifter-dbbench DIR [ROUNDS]: times the database panel's work on generated databases under DIR
// (written once, then reused): "Select" (the table list) on a Jet 3 file of 9 tables and 4,000 rows,
// and "DB Info" over a table of 1,000,000 rows, with the report's time, lines per second and the peak
// memory of the program (the report runs in a child process so that writing the file does not count),
// into the panel's report list and, for comparison, into list-widget items as the list once held them.
#include "Jet4Writer.h"

#include "base/ToolArguments.h"
#include "database/ReportLines.h"
#include "database/ReportList.h"
#include "database/Reports.h"
#include "database_client/ado/ConnectionString.h"
#include "database_client/dao/Dao.h"
#include "platform/ApplicationFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using database::ReportListView;
using database::ReportState;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int selectTables = 9;
constexpr int selectRows = 4000;
constexpr int reportRows = 1000000;

QString helper() {
    return QCoreApplication::applicationDirPath() + u'/' + platform::helperFileName;
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void writeSelectFile(const QString &path) {
    std::vector<jet4::Object> tables;
    for (int t = 0; t < selectTables; ++t) {
        jet4::Object table("Table" + std::to_string(t + 1));
        table.columns = {
            {"ID", jet4::Type::Long}, {"Name", jet4::Type::Text, 30}, {"Amount", jet4::Type::Double}};
        const int rows = selectRows / selectTables + (t < selectRows % selectTables ? 1 : 0);
        for (int r = 0; r < rows; ++r)
            table.rows.push_back({jet4::Value::of(r), jet4::Value::ofText("entry " + std::to_string(r)),
                                  jet4::Value::ofReal(r * 0.25)});
        tables.push_back(std::move(table));
    }
    jet4::Options jet3;
    jet3.version = 0;
    jet4::writeFile(QFile::encodeName(path).toStdString(), tables, jet3);
}

void writeReportFile(const QString &path) {
    jet4::Object authors("Authors");
    authors.columns = {
        {"Au_ID", jet4::Type::Long}, {"Author", jet4::Type::Text, 50}, {"Year Born", jet4::Type::Integer}};
    authors.rows.reserve(reportRows);
    for (int r = 0; r < reportRows; ++r)
        authors.rows.push_back({jet4::Value::of(r + 1),
                                jet4::Value::ofText("Author number " + std::to_string(r)),
                                jet4::Value::of(1900 + r % 120)});
    jet4::writeFile(QFile::encodeName(path).toStdString(), {authors});
}

// The report list as it once was: one list-widget item per line.
class ListWidgetLines : public database::ReportLines {
public:
    explicit ListWidgetLines(QListWidget &list)
        : list_(list) {}
    void clear() override { list_.clear(); }
    void addItem(const QString &line) override { list_.addItem(line); }

private:
    QListWidget &list_;
};

// What "Select" does: open, walk the table definitions, keep those with no attribute, close.
int selectTablesOf(const QString &path) {
    dao::Database db = dao::DBEngine::instance().OpenDatabase(path);
    int listed = 0;
    for (const dao::TableDef &t : db.TableDefs())
        listed += t.Attributes() == 0;
    db.Close();
    return listed;
}

int runReport(const QString &path, bool listWidget) {
    ReportListView view; // the panel's report list, as the program fills it
    QListWidget widget;
    ListWidgetLines items(widget);
    database::ReportLines &list = listWidget ? static_cast<database::ReportLines &>(items) : view.lines();
    // On screen while the report runs, as in the panel, at the panel's size.
    QListView &shown = listWidget ? static_cast<QListView &>(widget) : view;
    shown.resize(793, 116);
    shown.show();
    QApplication::processEvents();
    ReportState state;
    state.connectionString = ado::connectionStringFor(path);
    const auto start = Clock::now();
    runDatabaseReport(list, state, QStringLiteral("Authors"),
                      helper_protocol::HostOptions{QFile::encodeName(helper())});
    const double ms = millisecondsSince(start);
    QApplication::processEvents(); // the lines laid out and painted
    const double shownMs = millisecondsSince(start);
    const int count = listWidget ? widget.count() : view.count();
    const QString last = count == 0   ? QString()
                         : listWidget ? widget.item(count - 1)->text()
                                      : view.itemText(count - 1);
    // The high-water mark of this process's own memory: ru_maxrss would also count what the parent
    // had resident when it forked.
    long peakKiB = 0;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                peakKiB = line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    struct rusage children {};
    getrusage(RUSAGE_CHILDREN, &children); // the helper, which forked from this process early on
    std::printf("%d %.1f %.1f %ld %ld %s\n", count, ms, shownMs, peakKiB, children.ru_maxrss,
                last.toUtf8().constData());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    const int refused = base::checkToolArguments(
        argc, argv, "lumsifter-dbbench DIR [ROUNDS] | lumsifter-dbbench --report FILE", {{"--report", true}},
        0, 2);
    if (refused >= 0)
        return refused;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc >= 3 && QByteArray(argv[1]) == "--report")
        return runReport(QString::fromLocal8Bit(argv[2]), argc > 3 && QByteArray(argv[3]) == "--list-widget");
    if (argc < 2) {
        std::fprintf(stderr, "usage: lumsifter-dbbench DIR [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(dir.path());
    const QString selectFile = dir.absoluteFilePath(QStringLiteral("select-jet3.mdb"));
    const QString reportFile = dir.absoluteFilePath(QStringLiteral("report-1m.mdb"));
    if (!QFileInfo::exists(selectFile))
        writeSelectFile(selectFile);
    if (!QFileInfo::exists(reportFile))
        writeReportFile(reportFile);

    dao::DBEngine::instance().setHost(helper_protocol::HostOptions{QFile::encodeName(helper())});
    std::vector<double> selects;
    int listed = 0;
    for (int round = 0; round < std::max(rounds, 10); ++round) {
        const auto start = Clock::now();
        listed = selectTablesOf(selectFile);
        selects.push_back(millisecondsSince(start));
    }
    std::sort(selects.begin(), selects.end());
    std::printf(
        "Select on a Jet 3 file of %d tables and %d rows (%lld bytes): %d tables listed, median %.1f ms, "
        "slowest %.1f ms of %zu runs (goal: under 100 ms)\n",
        selectTables, selectRows, (long long)QFileInfo(selectFile).size(), listed,
        selects[selects.size() / 2], selects.back(), selects.size());

    struct Store {
        const char *name;
        QStringList arguments;
    };
    const Store stores[] = {{"into the report list", {}},
                            {"into list-widget items (the list before)", {QStringLiteral("--list-widget")}}};
    for (const Store &store : stores) {
        for (int round = 0; round < std::min(rounds, 3); ++round) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        QStringList{QStringLiteral("--report"), reportFile} + store.arguments);
            child.waitForFinished(-1);
            const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
            if (f.size() < 5) {
                std::fprintf(stderr, "the report run failed: %s\n", child.readAllStandardError().constData());
                return 1;
            }
            const double lines = f[0].toDouble(), ms = f[1].toDouble(), shownMs = f[2].toDouble();
            std::printf("DB Info over %d rows (%lld bytes) %s: %.0f lines in %.2f s, %.0f lines/s (goal: "
                        "100,000), shown after %.2f s, program peak %.0f MiB (goal: 120 MB), helper peak "
                        "%.0f MiB, ends with \"%s\"\n",
                        reportRows, (long long)QFileInfo(reportFile).size(), store.name, lines, ms / 1000,
                        lines / (ms / 1000), shownMs / 1000, f[3].toDouble() / 1024, f[4].toDouble() / 1024,
                        f.mid(5).join(' ').constData());
        }
    }
    return 0;
}
