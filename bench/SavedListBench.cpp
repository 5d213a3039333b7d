// lumsifter-bench-savedlist DIR: opens a saved list of a million entries (written once under DIR) the
// way "Open" does, and reports the time and the process's peak memory against the goals.
#include "base/ToolArguments.h"
#include "saved_list/SavedListView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

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

} // namespace

int main(int argc, char **argv) {
    const int refused = base::checkToolArguments(argc, argv, "lumsifter-bench-savedlist [DIR]", {}, 0, 1);
    if (refused >= 0)
        return refused;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath() + "/lumsifter-bench";
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
