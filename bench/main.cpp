// lumsifter-bench DIR [ROUNDS]: times the search component against a floor walker, fd and find on a
// generated tree of about a million entries under DIR (built once, then reused).
#include "FloorWalker.h"
#include "TreeGenerator.h"

#include "platform/Volumes.h"
#include "search_component/LumsiftControl.h"
#include "search_component/ResultListModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <map>
#include <string>
#include <vector>

using lumsift::ResultListModel;

namespace {

using Clock = std::chrono::steady_clock;

double secondsOf(const std::function<void()> &run) {
    const auto start = Clock::now();
    run();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Large blocks come straight from mmap and are not in uordblks.
std::size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

class NoDrives : public platform::Volumes {
public:
    std::vector<platform::Drive> drives() const override { return {}; }
};

// Passes everything to the model and notes the model's largest size along the way.
class MeasuringSink : public lumsift::ResultSink {
public:
    explicit MeasuringSink(ResultListModel &model)
        : model_(model) {}
    std::uint32_t addFolder(std::uint32_t parent, std::string_view name) override {
        return model_.addFolder(parent, name);
    }
    void appendFiles(std::span<const lumsift::FoundName> names, std::string_view arena) override {
        model_.appendFiles(names, arena);
        peak = std::max(peak, model_.memoryBytes());
    }
    std::size_t peak = 0;

private:
    ResultListModel &model_;
};

struct OurRun {
    double seconds = 0;
    int results = 0;
    double bytesPerResult = 0;
    double heapBytesPerResult = 0;
    qint64 longestTickGapMs = 0;
};

OurRun runComponent(LumsiftControl &control, const QString &root, const QString &pattern) {
    ResultListModel model;
    MeasuringSink sink(model);
    QWidget form;
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    const std::size_t heapBefore = heapInUse();
    timer.start();
    sinceTick.start();
    OurRun run;
    run.seconds = secondsOf([&] { control.FindFiles(sink, root, pattern, form); });
    longestGap = std::max(longestGap, sinceTick.elapsed());
    timer.stop();
    run.results = model.count();
    run.bytesPerResult = run.results ? double(sink.peak) / run.results : 0;
    run.heapBytesPerResult = run.results ? double(heapInUse() - heapBefore) / run.results : 0;
    run.longestTickGapMs = longestGap;
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

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: lumsifter-bench DIR [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    QDir().mkpath(QString::fromLocal8Bit(argv[1]));
    const std::string root = QDir(QString::fromLocal8Bit(argv[1])).absoluteFilePath("tree").toStdString();
    TreeCounts counts;
    if (!ensureBenchTree(root, counts))
        return 1;
    std::printf("tree %s: %llu entries (%llu folders, %llu files, %llu symlinks)\n", root.c_str(),
                (unsigned long long)counts.entries(), (unsigned long long)counts.folders,
                (unsigned long long)counts.files, (unsigned long long)counts.links);

    LumsiftControl control(QCoreApplication::applicationDirPath() + "/Lumsift.ocx",
                           std::make_shared<NoDrives>());
    if (!control.isLoaded()) {
        std::fprintf(stderr, "Lumsift.ocx not loadable beside the bench\n");
        return 1;
    }
    const QString rootText = QString::fromStdString(root);
    floorWalk(root, ""); // warm the caches
    floorWalk(root, "");

    struct Pattern {
        QString text;
        std::string suffix;
    };
    const std::vector<Pattern> patterns = {{"*.txt", ".txt"}, {"*", ""}};
    std::map<QString, std::map<std::string, std::vector<double>>> times;
    std::map<QString, OurRun> worst;
    std::map<QString, std::uint64_t> floorCounts;
    for (int round = 0; round < rounds; ++round) {
        for (const Pattern &pattern : patterns) {
            auto &t = times[pattern.text];
            // Alternate the order so that no tool always runs right after another.
            std::vector<std::string> order = {"ours", "floor", "fd", "find"};
            std::rotate(order.begin(), order.begin() + round % 4, order.end());
            for (const std::string &tool : order) {
                if (tool == "ours") {
                    const OurRun run = runComponent(control, rootText, pattern.text);
                    t[tool].push_back(run.seconds);
                    OurRun &w = worst[pattern.text];
                    w.results = run.results;
                    w.bytesPerResult = std::max(w.bytesPerResult, run.bytesPerResult);
                    w.heapBytesPerResult = std::max(w.heapBytesPerResult, run.heapBytesPerResult);
                    w.longestTickGapMs = std::max(w.longestTickGapMs, run.longestTickGapMs);
                } else if (tool == "floor") {
                    t[tool].push_back(
                        secondsOf([&] { floorCounts[pattern.text] = floorWalk(root, pattern.suffix); }));
                } else if (tool == "fd") {
                    t[tool].push_back(runTool("fdfind", {"-u", "-g", "-i", pattern.text, rootText}));
                } else {
                    t[tool].push_back(runTool("find", {rootText, "-iname", pattern.text}));
                }
            }
        }
        std::fprintf(stderr, "round %d of %d done\n", round + 1, rounds);
    }

    std::printf("\n%d rounds, medians in seconds\n", rounds);
    std::printf("%-7s %9s %9s %9s %9s  %12s %10s %10s  %8s %8s %9s\n", "pattern", "ours", "floor", "fd",
                "find", "ours/floor", "fd/ours", "find/ours", "results", "floor#", "tick gap");
    for (const Pattern &pattern : patterns) {
        auto &t = times[pattern.text];
        const double ours = median(t["ours"]), floor = median(t["floor"]), fd = median(t["fd"]),
                     find = median(t["find"]);
        const OurRun &w = worst[pattern.text];
        std::printf("%-7s %9.3f %9.3f %9.3f %9.3f  %11.2fx %9.2fx %9.2fx  %8d %8llu %6lld ms\n",
                    qPrintable(pattern.text), ours, floor, fd, find, ours / floor, fd / ours, find / ours,
                    w.results, (unsigned long long)floorCounts[pattern.text], (long long)w.longestTickGapMs);
    }
    std::printf("\nresult list memory, peak per result (model's own count / heap growth):\n");
    for (const Pattern &pattern : patterns) {
        const OurRun &w = worst[pattern.text];
        std::printf("  %-6s %6.1f B / %6.1f B over %d results\n", qPrintable(pattern.text), w.bytesPerResult,
                    w.heapBytesPerResult, w.results);
    }
    std::printf("goals: ours/floor <= 1.15, fd/ours >= 1.6, <= 40 B per result, tick gap <= 50 ms\n");
    return 0;
}
