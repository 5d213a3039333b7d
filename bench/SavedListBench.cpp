// SPDX-License-Identifier: GPL-3.0-or-later
// lumsifter-bench-savedlist DIR: opens a saved list of a million entries (written once under DIR) the
// way "Open" does, and reports the time and the process's peak memory against the goals.
// lumsifter-bench-savedlist DIR --giant: the same for a saved list holding one entry of 50 MB, through
// the panel: Open, selecting that entry and deleting it.
#include "base/ToolArguments.h"
#include "platform/MessageBox.h"
#include "saved_list/SavedListPanel.h"
#include "saved_list/SavedListView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <ctime>
#include <functional>

using saved_list::SavedListPanel;
using saved_list::SavedListView;

namespace {

constexpr int entries = 1'000'000;

// A million entries of about 55 bytes, as paths of a real disk look: written once, then reused.
QString savedList(const QString &folder) {
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/save.txt");
    if (QFile::exists(path))
        return path;
    QFile file(path + QStringLiteral(".part"));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    for (int i = 0; i < entries; ++i) {
        const QByteArray line = "\"/home/ann/Pictures/holiday-" + QByteArray::number(2000 + i % 25) +
                                "/IMG_" + QByteArray::number(i).rightJustified(7, '0') + "_edited.jpg\"\r\n";
        file.write(line);
    }
    file.close();
    QFile::rename(file.fileName(), path);
    return path;
}

// The process's peak resident memory so far, in MiB.
double peakMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

// Yes to every question, as the user who deletes an entry answers.
class Yes : public platform::MessageBox {
public:
    int show(const QString &, int, const QString &) override { return platform::Answer::Yes; }
};

// This process's processor time so far, in seconds: on a busy machine the wall time says little.
double cpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

double secondsOf(const std::function<void()> &work) {
    QElapsedTimer timer;
    timer.start();
    work();
    QCoreApplication::processEvents(); // laid out and painted
    return timer.nsecsElapsed() / 1e9;
}

int giantEntry(const QString &folder) {
    QDir().mkpath(folder);
    const QByteArray giant = "/home/ann/" + QByteArray(50'000'000, 'x');
    const auto writeList = [&] {
        QFile file(folder + QStringLiteral("/save.txt"));
        return file.open(QIODevice::WriteOnly) &&
               file.write("\"/home/ann/a.txt\"\r\n\"" + giant + "\"\r\n\"/home/ann/b.txt\"\r\n") > 0;
    };
    SavedListPanel panel(
        nullptr,
        {.selectedPath = [] { return QString(); },
         .clearSelectedPath = [] {},
         .timeOfDay = [] { return QStringLiteral("12:00:00"); },
         .besideProgram = [&](const QString &name) { return QFile::encodeName(folder + '/' + name); }},
        std::make_shared<Yes>());
    panel.resize(857, 281);
    auto *list = panel.findChild<SavedListView *>(QStringLiteral("lstEmployee"));
    auto *remove = panel.findChild<QAbstractButton *>(QStringLiteral("Command16"));
    if (!writeList())
        return 1;
    const double cpuBefore = cpuSeconds();
    const double open = secondsOf([&] { panel.open(); });
    const double openCpu = cpuSeconds() - cpuBefore;
    const double peakAfterOpen = peakMiB();
    const double select = secondsOf([&] { list->setCurrentRow(1); });
    const bool whole = list->entries().view(1) == giant;
    const double erase = secondsOf([&] { remove->click(); });
    const double peak = peakMiB();
    const bool met = open <= 1 && peakAfterOpen * 1.048576 <= 200 && list->count() == 2 && whole;
    // The same file again, for an ordinary entry's deletion: each rewrites the whole file.
    writeList();
    panel.open();
    const double selectOrdinary = secondsOf([&] { list->setCurrentRow(0); });
    const double eraseOrdinary = secondsOf([&] { remove->click(); });
    std::printf("Saved list, one entry of %.0f MB: Open %.2f s (%.2f s of processor time; goal <= 1 s), "
                "peak memory %.0f MiB (goal "
                "< 200 MB); selecting it %.3f s, deleting it %.2f s, peak memory then %.0f MiB; an ordinary "
                "entry of that file: selecting %.3f s, deleting %.2f s, peak memory then %.0f MiB %s\n",
                giant.size() / 1e6, open, openCpu, peakAfterOpen, select, erase, peak, selectOrdinary,
                eraseOrdinary, peakMiB(), met ? "- met" : "- NOT MET");
    return met ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    const int refused = base::checkToolArguments(argc, argv, "lumsifter-bench-savedlist [DIR [--giant]]",
                                                 {{"--giant"}}, 0, 1);
    if (refused >= 0)
        return refused;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath() + "/lumsifter-bench";
    if (argc > 2 && QByteArray(argv[2]) == "--giant")
        return giantEntry(folder + QStringLiteral("/giant-entry"));
    const QString file = savedList(folder + QStringLiteral("/saved-list"));
    if (file.isEmpty()) {
        std::fprintf(stderr, "cannot write the saved list under %s\n", qPrintable(folder));
        return 1;
    }
    SavedListView view;
    view.resize(817, 196);
    view.show();
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    view.entries().load(QFile::encodeName(file));
    QCoreApplication::processEvents(); // the list is laid out and painted
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double peak = peakMiB();
    const qint64 size = QFileInfo(file).size();
    std::printf("Saved list: Open of %d entries (%.1f MB): %.2f s (goal <= 2 s), peak memory %.0f MiB "
                "(goal <= 150 MB) %s\n",
                view.count(), size / 1e6, seconds, peak,
                seconds <= 2 && peak * 1.048576 <= 150 ? "- met" : "- NOT MET");
    return view.count() == entries ? 0 : 1;
}
