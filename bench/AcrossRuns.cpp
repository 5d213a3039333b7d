// SPDX-License-Identifier: GPL-3.0-or-later
#include "AcrossRuns.h"

#include "Differential.h"
#include "FloorWalker.h"
#include "Measure.h"
#include "search_component/plugin/SnapshotStore.h"

#include <QThread>
#include <QWidget>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>

namespace plugin = search_component::plugin;

using search_component::ResultListView;

namespace {

// As after a reboot: nothing of the tree in memory.
bool dropPageCache() {
    if (::geteuid() != 0)
        return false;
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    const bool dropped = fd >= 0 && ::write(fd, "3\n", 2) == 2;
    if (fd >= 0)
        ::close(fd);
    return dropped;
}

struct Figures {
    std::map<std::string, std::vector<double>> times;
    double get(const std::string &name) const {
        const auto it = times.find(name);
        return it == times.end() ? 0 : median(it->second);
    }
};

} // namespace

bool benchAcrossRuns(const std::string &dir, const std::string &root, ResultListView &list, QWidget &form,
                     int rounds, bool haveFd, const QString &plocateDb) {
    const std::string cacheFolder = dir + "/cache/lumsifter";
    removeTree(dir + "/cache");
    const char *const pattern = "*.txt";
    const QString rootText = QString::fromStdString(root);
    plugin::StreamOptions asBefore;
    asBefore.walk.maxWorkers = unsigned(QThread::idealThreadCount());

    // A run searches once and leaves its file.
    {
        plugin::SnapshotStore store{plugin::SnapshotCache(cacheFolder)};
        search(store, list, form, root, pattern);
        store.settleAll();
    }
    // A run starts long after the last one wrote its file: not while the file is still being written
    // back, which slows reading it.
    ::sync();
    const auto firstOfRun = [&](bool withFile, const plugin::StreamOptions &options = {}) {
        auto store = withFile ? std::make_unique<plugin::SnapshotStore>(plugin::SnapshotCache(cacheFolder))
                              : std::make_unique<plugin::SnapshotStore>();
        const SearchRun run = search(*store, list, form, root, pattern, false, options);
        if (withFile && !run.report.fromFile)
            std::fprintf(stderr, "the first search of a run did not start from the file\n");
        list.clear();
        return run.seconds;
    };
    // For comparison: a repeat search in the same run, from the snapshot in memory.
    const auto repeat = [&] {
        plugin::SnapshotStore store;
        search(store, list, form, root, pattern);
        const SearchRun run = search(store, list, form, root, pattern);
        list.clear();
        return run.seconds;
    };
    const auto fd = [&](int threads) {
        return runTool(QStringLiteral("fdfind"),
                       {QStringLiteral("-u"), QStringLiteral("-g"), QStringLiteral("-i"),
                        QStringLiteral("-j"), QString::number(threads), QString::fromLatin1(pattern),
                        rootText});
    };
    const auto plocate = [&] {
        return runTool(QStringLiteral("plocate"), {QStringLiteral("-d"), plocateDb, QStringLiteral("-b"),
                                                   QStringLiteral("-i"), QString::fromLatin1(pattern)});
    };
    // Each measurement of a round, by name; cold ones start from a dropped page cache.
    const std::vector<std::pair<std::string, std::function<double()>>> measurements = {
        {"fresh walk (no file)", [&] { return firstOfRun(false); }},
        {"fresh walk, a thread per core only", [&] { return firstOfRun(false, asBefore); }},
        {"from the file", [&] { return firstOfRun(true); }},
        {"repeat, from memory (same run)", [&] { return repeat(); }},
        {"fd -j 2", [&] { return haveFd ? fd(2) : 0.0; }},
        {"fd -j 16", [&] { return haveFd ? fd(16) : 0.0; }},
        {"plocate", [&] { return plocateDb.isEmpty() ? 0.0 : plocate(); }},
    };
    Figures warm, cold;
    const bool canDrop = dropPageCache();
    for (int round = 0; round < rounds; ++round) {
        floorWalk(root, ""); // the cold measurements of the round before left the cache empty
        for (const auto &[name, measure] : measurements)
            warm.times[name].push_back(measure());
        for (const auto &[name, measure] : measurements)
            if (name.starts_with("repeat") || !canDrop || !dropPageCache())
                continue;
            else
                cold.times[name].push_back(measure());
        std::fprintf(stderr, "across runs: round %d of %d done\n", round + 1, rounds);
    }

    // The file alone: loading it (warm) and writing it (off the search's path).
    const std::optional<plugin::SearchRoot> opened = plugin::SearchRoot::open(root);
    const plugin::SnapshotCache cache(cacheFolder);
    std::unique_ptr<plugin::DriveSnapshot> loaded;
    std::vector<double> loads, writes;
    plugin::SnapshotFileFacts facts;
    const std::atomic<bool> never{false};
    for (int k = 0; k < 5 && opened; ++k) {
        loads.push_back(secondsOf([&] { loaded = cache.load(*opened, root); }));
        if (loaded)
            writes.push_back(secondsOf([&] { cache.save(*loaded, never, &facts); }));
    }
    const double loadMs = median(loads) * 1000, writeMs = median(writes) * 1000;
    const double bytesPerEntry = facts.entries ? double(facts.bytes) / double(facts.entries) : 0;

    std::printf("\nacross runs: the first search of a new run (%s), %d rounds, medians\n", pattern, rounds);
    std::printf("%-40s %9s %9s\n", "", "warm", canDrop ? "cold" : "");
    for (const auto &[name, measure] : measurements) {
        if ((name.starts_with("fd") && !haveFd) || (name == "plocate" && plocateDb.isEmpty()))
            continue;
        std::printf("%-40s %9.3f", name.c_str(), warm.get(name));
        if (canDrop && cold.times.count(name))
            std::printf(" %9.3f", cold.get(name));
        std::printf("\n");
    }
    if (!canDrop)
        std::printf("(not root: the page cache cannot be dropped, so the cold figures are not measured)\n");
    std::printf("the file: %llu folders, %llu entries, %.1f MiB, %.1f bytes per entry; loading %.1f ms, "
                "writing %.1f ms\n",
                (unsigned long long)facts.folders, (unsigned long long)facts.entries,
                double(facts.bytes) / 1048576.0, bytesPerEntry, loadMs, writeMs);

    const double fileWarm = warm.get("from the file") / warm.get("fresh walk (no file)");
    const double firstWarm =
        warm.get("fresh walk (no file)") / warm.get("fresh walk, a thread per core only");
    bool met = fileWarm <= 0.3 && firstWarm <= 1.05 && loadMs <= 60 && writeMs <= 200 && bytesPerEntry <= 32;
    std::printf("\n%-52s %10s %10s\n", "goal", "measured", "");
    std::printf("%-52s %9.2fx %10s\n", "from the file / fresh walk, warm  <= 0.3x", fileWarm,
                verdict(fileWarm <= 0.3));
    if (canDrop) {
        const double fileCold = cold.get("from the file") / cold.get("fresh walk (no file)");
        std::printf("%-52s %9.2fx %10s\n", "from the file / fresh walk, cold  <= 0.4x", fileCold,
                    verdict(fileCold <= 0.4));
        met = met && fileCold <= 0.4;
        if (haveFd) {
            const double firstCold = cold.get("fresh walk (no file)") / cold.get("fd -j 16");
            std::printf("%-52s %9.2fx %10s\n", "first-ever search, cold / fd -j 16, cold  <= 1x", firstCold,
                        verdict(firstCold <= 1));
            met = met && firstCold <= 1;
        }
    }
    std::printf("%-52s %9.2fx %10s\n", "first-ever search, warm / a thread per core  <= 1x", firstWarm,
                verdict(firstWarm <= 1.05));
    std::printf("%-52s %7.1f ms %10s\n", "loading the file  <= 60 ms", loadMs, verdict(loadMs <= 60));
    std::printf("%-52s %7.1f ms %10s\n", "writing the file  <= 200 ms", writeMs, verdict(writeMs <= 200));
    std::printf("%-52s %8.1f B %10s\n", "the file per entry  <= 32 B", bytesPerEntry,
                verdict(bytesPerEntry <= 32));
    std::printf(
        "(a first-ever search counts as not slower within 5%% of the same walk with a thread per core)\n");
    std::fflush(stdout);
    removeTree(dir + "/cache");
    return met;
}
