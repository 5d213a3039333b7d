// SPDX-License-Identifier: GPL-3.0-or-later
// A drive that stops answering, as a share whose server went away does: a walk of the folder it is
// mounted in passes it by without a call on it, and a search of it ends with what it read while the
// caller's events go on being processed.
#include "Differential.h"
#include "StallingMount.h"
#include "search_component/plugin/StreamedSearch.h"

#include <QSignalSpy>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace plugin = search_component::plugin;

namespace {

class PathSink : public search_component::ResultSink {
public:
    std::uint32_t addFolder(std::uint32_t, std::string_view) override { return 0; }
    void appendFiles(std::span<const search_component::FoundName> names, std::string_view) override {
        files += names.size();
    }
    std::size_t files = 0;
};

// A search as the component makes it, with a short deadline, counting the ticks of a timer meanwhile.
struct Searched {
    plugin::SearchReport report;
    std::size_t files = 0;
    int ticks = 0;
};

Searched search(const QByteArray &root) {
    plugin::SnapshotStore store;
    plugin::StreamOptions options;
    options.answerDeadline = std::chrono::milliseconds(500);
    QWidget form;
    PathSink sink;
    Searched searched;
    QTimer timer;
    QSignalSpy ticks(&timer, &QTimer::timeout);
    timer.start(10);
    searched.report =
        plugin::streamSearch(sink, store, root.toStdString(), plugin::NameMatcher("*"), form, options);
    searched.files = sink.files;
    searched.ticks = int(ticks.count());
    return searched;
}

} // namespace

TEST(StalledDrive, AWalkPassesItByAndASearchOfItEndsWhileEventsGoOn) {
    const std::optional<StallingMount> mount = StallingMount::current();
    if (!mount)
        return StallingMount::runCurrentTestInside();
    mount->stall();
    // Its parent holds nothing but the mount: a walk that touched the mount would wait for ever.
    const QByteArray parent = mount->folder().left(mount->folder().lastIndexOf('/'));
    const Searched above = search(parent);
    EXPECT_FALSE(above.report.unanswered);
    EXPECT_EQ(above.files, 0u);

    const Searched stalled = search(mount->folder());
    EXPECT_TRUE(stalled.report.unanswered);
    EXPECT_EQ(stalled.files, 0u);
    EXPECT_GT(stalled.ticks, 10); // the caller's timers ran while the search waited
}

// The root answered, then nothing did: the walk gives up what it has not read, like unreadable folders,
// and leaves the workers stuck in the file system behind.
TEST(StalledDrive, AWalkGivesUpWhatItCannotReadOnceNothingAnswers) {
    const std::optional<StallingMount> mount = StallingMount::current();
    if (!mount)
        return StallingMount::runCurrentTestInside();
    const std::string root = mount->folder().toStdString();
    auto opened = std::make_shared<const plugin::SearchRoot>(*plugin::SearchRoot::open(root));
    ASSERT_FALSE(opened->trust().usable); // a FUSE file system: its folder times are not trusted
    auto snapshot = std::shared_ptr<plugin::DriveSnapshot>(opened->newSnapshot(root));
    mount->stall();
    plugin::WalkOptions options;
    options.answerDeadline = std::chrono::milliseconds(300);
    plugin::WalkStats stats;
    {
        plugin::SnapshotRefresh refresh(
            *snapshot, *opened, options,
            std::make_shared<std::pair<decltype(snapshot), decltype(opened)>>(snapshot, opened));
        refresh.start();
        while (!refresh.waitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(1))) {
        }
        stats = refresh.stats();
    }
    EXPECT_TRUE(stats.gaveUp);
    EXPECT_EQ(orderedPaths(*snapshot, "*"), std::vector<std::string>{});
}
