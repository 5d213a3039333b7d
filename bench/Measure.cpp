// SPDX-License-Identifier: GPL-3.0-or-later
#include "Measure.h"

#include <QFile>
#include <QProcess>
#include <QWidget>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace plugin = search_component::plugin;

using search_component::ResultListView;

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

double secondsOf(const std::function<void()> &run) {
    const auto start = Clock::now();
    run();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string loadAverage() {
    QFile load(QStringLiteral("/proc/loadavg"));
    if (!load.open(QIODevice::ReadOnly))
        return "unknown";
    return load.readAll().split(' ').value(0).toStdString();
}

double residentMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

double heapInUseMiB() {
    const struct mallinfo2 info = ::mallinfo2();
    return double(info.uordblks + info.hblkhd) / 1048576.0;
}

SearchRun search(plugin::SnapshotStore &store, ResultListView &list, QWidget &form, const std::string &root,
                 const char *pattern, bool append, const plugin::StreamOptions &options) {
    if (!append)
        list.clear();
    const plugin::NameMatcher matcher(pattern);
    SearchRun run;
    StallMeter meter;
    run.seconds = secondsOf(
        [&] { run.report = plugin::streamSearch(list.results(), store, root, matcher, form, options); });
    run.stallMs = meter.stop();
    run.results = std::size_t(list.listCount());
    return run;
}

double runTool(const QString &program, const QStringList &arguments) {
    return secondsOf([&] {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, arguments);
        if (!process.waitForFinished(-1) || process.exitCode() != 0)
            std::fprintf(stderr, "%s failed\n", qPrintable(program));
    });
}

QString toolOutput(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(-1);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

const char *verdict(bool met) {
    return met ? "met" : "MISSED";
}
