// SPDX-License-Identifier: GPL-3.0-or-later
// lumsifter-bench DIR [--rounds N] [--soak N]: times the search component on a generated tree of about
// a million entries under DIR (built once, then reused): first searches, repeat searches from the
// drive's snapshot, a repeat after 1,000 changed folders and the matching alone, beside fd, plocate and
// a one-thread floor walker; the snapshot's size, the resident memory, and the event loop's longest
// stall while results enter a shown result list, with and without the accessibility bridge. Then a
// soak: repeat searches against fresh walks over many rounds of random changes.
//
// lumsifter-bench DIR --stall-only: only the stall of a list growing past two million results (run by
// the bench itself under run-accessible.sh).
// lumsifter-bench DIR --across-runs-only [--rounds N]: only the first searches of new runs, with and
// without the file the run before left, warm and cold.
#include "AcrossRuns.h"
#include "Differential.h"
#include "FloorWalker.h"
#include "Measure.h"
#include "TreeGenerator.h"
#include "search_component/plugin/StreamedSearch.h"

#include "base/ToolArguments.h"
#include "search_component/ResultListView.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace plugin = search_component::plugin;

using search_component::ResultListView;

using search_component::ResultListModel;

namespace {

using Clock = std::chrono::steady_clock;

// Adds a file to `count` folders of the snapshot, picked at random; returns the files.
std::vector<std::string> changeFolders(const plugin::DriveSnapshot &snapshot, std::size_t count,
                                       unsigned seed) {
    std::vector<std::uint32_t> folders = snapshot.order;
    std::mt19937 random(seed);
    std::shuffle(folders.begin(), folders.end(), random);
    std::vector<std::string> made;
    for (std::size_t i = 0; i < folders.size() && made.size() < count; ++i) {
        const std::string path = snapshot.path(folders[i]) + "/zz-bench-change.txt";
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0)
            continue;
        ::close(fd);
        made.push_back(path);
    }
    return made;
}

// A list shown on screen takes the results of searches of `*` until it holds more than two million;
// returns the longest stall of each search.
std::vector<qint64> stallsPastTwoMillion(const std::string &root, std::size_t &rows) {
    ResultListView list;
    list.resize(900, 400);
    list.show();
    QWidget form;
    plugin::SnapshotStore store;
    std::vector<qint64> stalls;
    list.clear();
    while (std::size_t(list.listCount()) <= 2000000) {
        const SearchRun run = search(store, list, form, root, "*", true);
        stalls.push_back(run.stallMs);
        if (run.results == 0)
            break;
    }
    rows = std::size_t(list.listCount());
    return stalls;
}

std::string joinedStalls(const std::vector<qint64> &stalls) {
    std::string text;
    for (qint64 stall : stalls)
        text += (text.empty() ? "" : ", ") + std::to_string(stall) + " ms";
    return text;
}

int stallOnly(const std::string &root) {
    // The bridge connects to the accessibility bus after start-up.
    QElapsedTimer waited;
    waited.start();
    while (!QAccessible::isActive() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    std::size_t rows = 0;
    const std::vector<qint64> stalls = stallsPastTwoMillion(root, rows);
    std::printf("stalls %s; rows %zu; accessibility %s\n", joinedStalls(stalls).c_str(), rows,
                QAccessible::isActive() ? "active" : "inactive");
    return 0;
}

// The same under the accessibility bridge: this program again, on a virtual display with the
// accessibility bus. Returns the child's report line, or why there is none.
std::string stallsWithAccessibility(const QString &dir) {
    const QString script = QStringLiteral(LUMSIFTER_BENCH_SOURCE_DIR "/run-accessible.sh");
    for (const char *tool : {"xvfb-run", "dbus-run-session"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return std::string("not measured: ") + tool + " is missing";
    if (!QFile::exists(QStringLiteral("/usr/libexec/at-spi-bus-launcher")))
        return "not measured: the accessibility bus (at-spi2-core) is missing";
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QStringLiteral("xvfb-run"),
                {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x1024x24"), script,
                 QCoreApplication::applicationFilePath(), dir, QStringLiteral("--stall-only")});
    if (!child.waitForFinished(600000))
        return "not measured: the child did not finish";
    for (const QByteArray &line : child.readAllStandardOutput().split('\n'))
        if (line.startsWith("stalls "))
            return line.mid(7).toStdString();
    return "not measured: " + child.readAllStandardError().left(300).toStdString();
}

} // namespace

int main(int argc, char **argv) {
    const int refused = base::checkToolArguments(
        argc, argv,
        "lumsifter-bench DIR [--rounds N] [--soak N] | lumsifter-bench DIR --stall-only | lumsifter-bench "
        "DIR "
        "--across-runs-only [--rounds N]",
        {{"--stall-only"}, {"--across-runs-only"}, {"--rounds", true}, {"--soak", true}}, 1, 1);
    if (refused >= 0)
        return refused;
    bool stallOnlyMode = false, acrossRunsOnly = false;
    int rounds = 3, soakRounds = 0;
    QString dirArgument;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--stall-only")
            stallOnlyMode = true;
        else if (argument == "--across-runs-only")
            acrossRunsOnly = true;
        else if (argument == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (argument == "--soak" && i + 1 < argc)
            soakRounds = std::max(0, std::atoi(argv[++i]));
        else
            dirArgument = QString::fromLocal8Bit(argv[i]);
    }
    if (!stallOnlyMode && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (dirArgument.isEmpty()) {
        std::fprintf(stderr, "usage: lumsifter-bench DIR [--rounds N] [--soak N]\n");
        return 2;
    }
    QDir().mkpath(dirArgument);
    const QString dir = QDir(dirArgument).absolutePath();
    const std::string root = QDir(dir).absoluteFilePath(QStringLiteral("tree")).toStdString();
    TreeCounts counts;
    if (!ensureBenchTree(root, counts))
        return 1;
    if (stallOnlyMode)
        return stallOnly(root);
    const QString rootText = QString::fromStdString(root);
    std::printf("tree %s: %llu entries (%llu folders, %llu files, %llu symlinks); %u cores\n", root.c_str(),
                (unsigned long long)counts.entries(), (unsigned long long)counts.folders,
                (unsigned long long)counts.files, (unsigned long long)counts.links,
                QThread::idealThreadCount());
    std::fflush(stdout);

    // plocate's database over the bench tree, built once per run.
    const QString plocateDb = QDir(dir).absoluteFilePath(QStringLiteral("plocate.db"));
    const bool havePlocate = !QStandardPaths::findExecutable(QStringLiteral("plocate")).isEmpty() &&
                             !QStandardPaths::findExecutable(QStringLiteral("updatedb")).isEmpty();
    if (havePlocate)
        runTool(QStringLiteral("updatedb"),
                {QStringLiteral("-U"), rootText, QStringLiteral("-o"), plocateDb, QStringLiteral("-l"),
                 QStringLiteral("no"), QStringLiteral("--prunepaths"), QString(),
                 QStringLiteral("--prunenames"), QString(), QStringLiteral("--prunefs"), QString()});
    const bool haveFd = !QStandardPaths::findExecutable(QStringLiteral("fdfind")).isEmpty();

    floorWalk(root, ""); // warm the caches
    floorWalk(root, "");
    const std::string loadAtStart = loadAverage();

    ResultListView list;
    list.resize(900, 400);
    list.show();
    QWidget form;
    const double residentAtStart = residentMiB();
    if (acrossRunsOnly)
        return benchAcrossRuns(dir.toStdString(), root, list, form, rounds, haveFd,
                               havePlocate ? plocateDb : QString())
                   ? 0
                   : 1;

    struct Pattern {
        const char *text;
        std::string suffix;
    };
    const std::vector<Pattern> patterns = {{"*.txt", ".txt"}, {"*", ""}};
    std::map<std::string, std::vector<double>> times;
    std::map<std::string, std::size_t> results;
    std::map<std::string, qint64> stalls;
    std::map<std::string, double> resident;
    double bytesPerEntry = 0;
    std::uint64_t snapshotEntries = 0;
    plugin::WalkStats changedWalk;
    std::size_t changedFolders = 0;
    const auto note = [&](const std::string &name, const SearchRun &run) {
        times[name].push_back(run.seconds);
        times[name + " (reading or checking)"].push_back(run.report.refreshSeconds);
        results[name] = run.results;
        stalls[name] = std::max(stalls[name], run.stallMs);
    };

    for (int round = 0; round < rounds; ++round) {
        for (const Pattern &pattern : patterns) {
            const std::string p = pattern.text;
            plugin::SnapshotStore store;
            note("first " + p, search(store, list, form, root, pattern.text));
            resident["after first " + p] = residentMiB();
            note("repeat " + p, search(store, list, form, root, pattern.text));
            resident["after repeat " + p] = residentMiB();
            resident["list after repeat " + p] = double(list.results().memoryBytes()) / 1048576.0;
            resident["heap after repeat " + p] = heapInUseMiB();
            if (const plugin::DriveSnapshot *snapshot = store.find(root)) {
                bytesPerEntry = double(snapshot->memoryBytes()) / double(snapshot->entryCount);
                snapshotEntries = snapshot->entryCount;
                const plugin::NameMatcher matcher(pattern.text);
                for (int k = 0; k < 5; ++k)
                    times["matching " + p].push_back(
                        secondsOf([&] { plugin::matchAll(*snapshot, matcher); }));
                if (p == "*.txt") {
                    const std::vector<std::string> made = changeFolders(*snapshot, 1000, unsigned(round + 1));
                    changedFolders = made.size();
                    const SearchRun run = search(store, list, form, root, pattern.text);
                    note("repeat *.txt, 1000 folders changed", run);
                    changedWalk = run.report.walk;
                    for (const std::string &path : made)
                        ::unlink(path.c_str());
                }
            }
            list.clear();
            if (haveFd)
                times["fd " + p].push_back(
                    runTool(QStringLiteral("fdfind"),
                            {QStringLiteral("-u"), QStringLiteral("-g"), QStringLiteral("-i"),
                             QString::fromLatin1(pattern.text), rootText}));
            if (havePlocate)
                times["plocate " + p].push_back(runTool(
                    QStringLiteral("plocate"), {QStringLiteral("-d"), plocateDb, QStringLiteral("-b"),
                                                QStringLiteral("-i"), QString::fromLatin1(pattern.text)}));
            times["floor " + p].push_back(secondsOf([&] { floorWalk(root, pattern.suffix); }));
        }
        std::fprintf(stderr, "round %d of %d done\n", round + 1, rounds);
    }

    std::printf("\n%d rounds, warm cache, medians; the list is shown and cleared before each search; load "
                "average %s at the start, %s now\n",
                rounds, loadAtStart.c_str(), loadAverage().c_str());
    std::printf("%-36s %9s %9s %9s %10s\n", "search", "seconds", "reading", "results", "stall");
    std::printf("%-36s %9s %9s\n", "", "", "checking");
    for (const std::string name :
         {"first *.txt", "repeat *.txt", "repeat *.txt, 1000 folders changed", "first *", "repeat *"})
        std::printf("%-36s %9.3f %9.3f %9zu %7lld ms\n", name.c_str(), median(times[name]),
                    median(times[name + " (reading or checking)"]), results[name], (long long)stalls[name]);
    for (const Pattern &pattern : patterns) {
        const std::string p = pattern.text;
        std::printf("%-36s %9.3f\n", ("matching " + p + " alone").c_str(), median(times["matching " + p]));
    }
    for (const char *tool : {"fd", "plocate", "floor"})
        for (const Pattern &pattern : patterns) {
            const std::string name = std::string(tool) + " " + pattern.text;
            if (times.count(name))
                std::printf("%-36s %9.3f\n", name.c_str(), median(times[name]));
            else
                std::printf("%-36s %9s\n", name.c_str(), "missing");
        }
    if (havePlocate)
        std::printf("(plocate over its database built by updatedb; %s entries listed for *)\n",
                    qPrintable(toolOutput(QStringLiteral("plocate"),
                                          {QStringLiteral("-c"), QStringLiteral("-d"), plocateDb,
                                           QStringLiteral("-b"), QStringLiteral("*")})));
    std::printf("repeat after changes: %zu folders changed; %llu checked, %llu read again, %llu read anew\n",
                changedFolders, (unsigned long long)changedWalk.checkedFolders,
                (unsigned long long)changedWalk.rereadFolders, (unsigned long long)changedWalk.freshSubtrees);

    const double firstTxt = median(times["first *.txt"]), firstAll = median(times["first *"]);
    const double repeatTxt = median(times["repeat *.txt"]) / firstTxt;
    const double repeatAll = median(times["repeat *"]) / firstAll;
    const double changed = median(times["repeat *.txt, 1000 folders changed"]) / firstTxt;
    const double matching = median(times["matching *.txt"]) * 1000;
    qint64 worstStall = 0;
    for (const auto &[name, stall] : stalls)
        worstStall = std::max(worstStall, stall);
    std::printf("\n%-46s %10s %10s\n", "goal", "measured", "");
    std::printf("%-46s %9.2fx %10s\n", "repeat *.txt / first *.txt  <= 0.15x", repeatTxt,
                verdict(repeatTxt <= 0.15));
    std::printf("%-46s %9.2fx %10s\n", "repeat * / first *  <= 0.30x", repeatAll, verdict(repeatAll <= 0.30));
    std::printf("%-46s %9.2fx %10s\n", "repeat, 1000 folders changed / first  <= 0.30x", changed,
                verdict(changed <= 0.30));
    std::printf("%-46s %7.1f ms %10s\n", "matching *.txt alone  < 25 ms", matching, verdict(matching < 25));
    std::printf("%-46s %8.1f B %10s\n", "snapshot per entry, names included  <= 48 B", bytesPerEntry,
                verdict(bytesPerEntry <= 48));
    std::printf("%-46s %7lld ms %10s\n", "longest stall during a search  < 100 ms", (long long)worstStall,
                verdict(worstStall < 100));
    if (firstTxt > 0 && times.count("fd *.txt"))
        std::printf("fd / our first *.txt: %.2fx;  fd / our repeat *.txt: %.2fx\n",
                    median(times["fd *.txt"]) / firstTxt,
                    median(times["fd *.txt"]) / median(times["repeat *.txt"]));
    if (times.count("plocate *.txt"))
        std::printf("plocate / our repeat *.txt: %.2fx\n",
                    median(times["plocate *.txt"]) / median(times["repeat *.txt"]));

    std::printf("\nsnapshot: %.1f MiB for %llu entries\n",
                bytesPerEntry * double(snapshotEntries) / 1048576.0, (unsigned long long)snapshotEntries);
    std::printf("resident memory: %.0f MiB at start (list shown, empty)", residentAtStart);
    for (const char *moment : {"after first *.txt", "after repeat *.txt", "after first *", "after repeat *"})
        std::printf("; %.0f MiB %s", resident[moment], moment);
    std::printf(" (the list holds that search's results; the snapshot is kept)\n");
    for (const char *pattern : {"*.txt", "*"})
        std::printf(
            "  after repeat %s: the list's rows %.0f MiB, the snapshot %.0f MiB, heap in use %.0f MiB (the "
            "rest of the growth is memory the allocator keeps for reuse)\n",
            pattern, resident[std::string("list after repeat ") + pattern],
            bytesPerEntry * double(snapshotEntries) / 1048576.0,
            resident[std::string("heap after repeat ") + pattern]);
    std::fflush(stdout);

    int status = 0;
    if (!benchAcrossRuns(dir.toStdString(), root, list, form, rounds, haveFd,
                         havePlocate ? plocateDb : QString()))
        status = 1;

    std::size_t rows = 0;
    const std::vector<qint64> plain = stallsPastTwoMillion(root, rows);
    std::printf("\nlongest stall per search of * into one shown list, up to %zu rows:\n", rows);
    std::printf("  %-34s %s\n", "offscreen:", joinedStalls(plain).c_str());
    std::fflush(stdout);
    std::printf("  %-34s %s\n", "xcb, accessibility bridge forced on:", stallsWithAccessibility(dir).c_str());
    std::fflush(stdout);

    if (soakRounds > 0) {
        std::printf("\nsoak: repeat searches against fresh walks, %d rounds of random changes each\n",
                    soakRounds);
        for (const std::int64_t roundTo : {std::int64_t(0), std::int64_t(1000000000)}) {
            const std::string soakRoot = QDir(dir).absoluteFilePath(QStringLiteral("soak")).toStdString();
            removeTree(soakRoot);
            QDir().mkpath(QString::fromStdString(soakRoot));
            DifferentialOptions options;
            options.rounds = soakRounds;
            options.seed = 1000 + unsigned(roundTo != 0);
            options.roundTimesToNs = roundTo;
            options.folders = 150;
            options.files = 1500;
            options.progress = [](int round) { std::fprintf(stderr, "soak round %d\n", round); };
            const double seconds = secondsOf([&] {
                const DifferentialReport report = runDifferential(soakRoot, options);
                std::printf(
                    "  %-26s %d rounds, %llu changes, %llu folders checked, %llu read again, %llu read "
                    "anew, %d compactions: %s\n",
                    roundTo ? "times kept to the second:" : "the file system's times:", report.rounds,
                    (unsigned long long)report.changes, (unsigned long long)report.checkedFolders,
                    (unsigned long long)report.rereadFolders, (unsigned long long)report.freshSubtrees,
                    report.compactions, report.failure.empty() ? "all equal" : report.failure.c_str());
                if (!report.failure.empty())
                    status = 1;
            });
            std::printf("  (%.0f s)\n", seconds);
            removeTree(soakRoot);
        }
    }
    return status;
}
