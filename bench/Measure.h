// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the bench programs measure with: clocks, medians, memory, stalls of the event loop, a search as
// the main window makes it, and the peers run as programs.
#include "search_component/plugin/StreamedSearch.h"

#include "search_component/ResultListView.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

class QWidget;

double secondsOf(const std::function<void()> &run);
double median(std::vector<double> values);
// The system's load average over the last minute: other work on the machine skews every figure.
std::string loadAverage();
// Resident memory of this process, in MiB.
double residentMiB();
// Bytes handed out by malloc and not freed, in MiB (large blocks come straight from mmap).
double heapInUseMiB();
const char *verdict(bool met);

// The longest time the event loop went without running a 1 ms timer.
class StallMeter {
public:
    StallMeter() {
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { longest_ = std::max(longest_, since_.restart()); });
        timer_.start();
        since_.start();
    }
    qint64 stop() {
        longest_ = std::max(longest_, since_.elapsed());
        timer_.stop();
        return longest_;
    }

private:
    QTimer timer_;
    QElapsedTimer since_;
    qint64 longest_ = 0;
};

struct SearchRun {
    double seconds = 0;
    qint64 stallMs = 0;
    std::size_t results = 0;
    search_component::plugin::SearchReport report;
};

// One search as the main window makes it: the list cleared (unless appending), then the component's
// search into the list shown on screen, with a form whose caption it writes.
SearchRun search(search_component::plugin::SnapshotStore &store, search_component::ResultListView &list,
                 QWidget &form, const std::string &root, const char *pattern, bool append = false,
                 const search_component::plugin::StreamOptions &options = {});

// Runs a program to its end; its seconds.
double runTool(const QString &program, const QStringList &arguments);
QString toolOutput(const QString &program, const QStringList &arguments);
