// SPDX-License-Identifier: GPL-3.0-or-later
// Repeat searches from a kept snapshot: equal to fresh walks, in a fixed order, reading only what changed.
#include "Differential.h"
#include "TempTree.h"
#include "TestScale.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace plugin = search_component::plugin;

using plugin::DriveSnapshot;
using plugin::SearchRoot;
using plugin::WalkOptions;
using plugin::WalkStats;
using Ordered = std::vector<std::string>;

namespace {

// A snapshot of a tree, searched again and again.
class Drive {
public:
    explicit Drive(std::string root, WalkOptions options = {})
        : root_(std::move(root))
        , options_(options) {}

    WalkStats search() {
        const std::optional<SearchRoot> opened = SearchRoot::open(root_, options_.roundTimesToNs);
        if (!opened) {
            snapshot_.reset();
            return {};
        }
        if (!snapshot_ || !opened->canRevalidate(*snapshot_))
            snapshot_ = opened->newSnapshot(root_);
        return plugin::refreshSnapshot(*snapshot_, *opened, options_);
    }
    Ordered found(std::string_view pattern = "*") const { return orderedPaths(*snapshot_, pattern); }
    DriveSnapshot &snapshot() { return *snapshot_; }

private:
    std::string root_;
    WalkOptions options_;
    std::unique_ptr<DriveSnapshot> snapshot_;
};

// Lets the times of what was just made fall behind the racy margin of a file system with fine times.
void letTimesSettle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
}

} // namespace

TEST(Differential, RepeatSearchesEqualFreshWalksAfterEveryChange) {
    TempTree tree;
    DifferentialOptions options;
    options.rounds = scaledRounds(1500);
    options.seed = 11;
    const DifferentialReport report = runDifferential(tree.root(), options);
    EXPECT_EQ(report.failure, "");
    EXPECT_EQ(report.rounds, options.rounds);
    // The rounds did change the tree, and the snapshot was revalidated rather than read anew.
    EXPECT_GT(report.changes, unsigned(scaledRounds(2000)));
    EXPECT_GT(report.checkedFolders, report.rereadFolders);
}

// Times kept to the second, as on file systems with coarse times: changes within the second of the
// last read leave the times as they were, and only the racy rule finds them.
TEST(Differential, RepeatSearchesEqualFreshWalksWithTimesToTheSecond) {
    TempTree tree;
    DifferentialOptions options;
    options.rounds = scaledRounds(1500);
    options.seed = 23;
    options.roundTimesToNs = 1000000000;
    const DifferentialReport report = runDifferential(tree.root(), options);
    EXPECT_EQ(report.failure, "");
    EXPECT_EQ(report.rounds, options.rounds);
}

TEST(Snapshot, ListsFolderByFolderInByteOrderOfNames) {
    TempTree tree;
    for (const char *folder : {"b", "B", "a", "a/z", "a/Z", "\xc3\xa9"})
        tree.folder(folder);
    for (const char *file : {"b.txt", "B.txt", "a/z/2", "a/z/1", "a/Z/x", "a/y", "\xc3\xa9/e", "A", "\xff"})
        tree.file(file);
    const Ordered expected = {tree.path("A"),     tree.path("B.txt"), tree.path("b.txt"),
                              tree.path("\xff"),  tree.path("a/y"),   tree.path("a/Z/x"),
                              tree.path("a/z/1"), tree.path("a/z/2"), tree.path("\xc3\xa9/e")};
    Drive drive(tree.root(), WalkOptions{2, 4096, 0});
    drive.search();
    EXPECT_EQ(drive.found(), expected);
    EXPECT_EQ(referencePaths(tree.root(), "*"), expected);
    drive.search();
    EXPECT_EQ(drive.found(), expected);
}

TEST(Snapshot, AnUnchangedTreeIsOnlyCheckedAndAChangedFolderAloneIsReadAgain) {
    TempTree tree;
    for (int i = 0; i < 30; ++i) {
        tree.folder("f" + std::to_string(i));
        tree.file("f" + std::to_string(i) + "/x.txt");
    }
    letTimesSettle();
    Drive drive(tree.root());
    const WalkStats first = drive.search();
    EXPECT_EQ(first.folders, 31u);
    EXPECT_EQ(first.checkedFolders, 0u);

    const WalkStats again = drive.search();
    EXPECT_EQ(again.checkedFolders, 31u);
    EXPECT_EQ(again.folders, 0u);
    EXPECT_EQ(again.rereadFolders, 0u);
    EXPECT_EQ(again.freshSubtrees, 0u);

    tree.file("f7/new.txt");
    const WalkStats changed = drive.search();
    EXPECT_EQ(changed.rereadFolders, 1u);
    EXPECT_EQ(changed.freshSubtrees, 0u);
    EXPECT_EQ(drive.found("new.txt"), Ordered{tree.path("f7/new.txt")});

    tree.folder("f7/deeper");
    tree.file("f7/deeper/d.txt");
    const WalkStats grown = drive.search();
    EXPECT_EQ(grown.rereadFolders, 1u); // f7, racy since the last change, would be read again anyway
    EXPECT_EQ(grown.freshSubtrees, 1u); // the new folder
    EXPECT_EQ(drive.found("d.txt"), Ordered{tree.path("f7/deeper/d.txt")});
}

// With times kept to the second, a folder read in the same second as its last change cannot be proved
// unchanged later: it is read again until its times are older than the read by more than a second.
TEST(Snapshot, RacyFoldersAreReadAgainUntilTheirTimesAreOldEnough) {
    TempTree tree;
    tree.folder("fresh");
    WalkOptions options;
    options.roundTimesToNs = 1000000000;
    Drive drive(tree.root(), options);
    drive.search();
    tree.file("fresh/late.txt"); // most likely within the second of the read: the times may stay as they were
    EXPECT_EQ(drive.found("late.txt"), Ordered{});
    drive.search();
    EXPECT_EQ(drive.found("late.txt"), Ordered{tree.path("fresh/late.txt")});

    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    drive.search(); // read again: now long enough after the change
    const WalkStats settled = drive.search();
    EXPECT_EQ(settled.rereadFolders, 0u);
    EXPECT_EQ(settled.checkedFolders, 2u);
}

TEST(Snapshot, SubtreesMovedReplacedOrLockedAreFollowed) {
    TempTree tree;
    tree.folder("a");
    tree.folder("a/b");
    tree.folder("c");
    tree.file("a/b/one.txt");
    tree.file("c/two.txt");
    Drive drive(tree.root());
    drive.search();

    ASSERT_EQ(::rename(tree.path("a/b").c_str(), tree.path("c/b").c_str()), 0);
    drive.search();
    EXPECT_EQ(drive.found(), (Ordered{tree.path("c/two.txt"), tree.path("c/b/one.txt")}));

    // The folder becomes a symlink to its old parent, then a file, of the same name.
    removeTree(tree.path("c/b"));
    tree.link("..", "c/b");
    drive.search();
    EXPECT_EQ(drive.found(), (Ordered{tree.path("c/b"), tree.path("c/two.txt")}));
    ASSERT_EQ(::unlink(tree.path("c/b").c_str()), 0);
    tree.file("c/b");
    drive.search();
    EXPECT_EQ(drive.found(), (Ordered{tree.path("c/b"), tree.path("c/two.txt")}));
    EXPECT_EQ(drive.found(), referencePaths(tree.root(), "*"));
}

TEST(Snapshot, LeavesOutAMountThatAppearsInsideAndTakesItBackWhenItGoes) {
    TempTree tree;
    tree.folder("mnt");
    tree.file("mnt/under.txt");
    tree.file("here.txt");
    Drive drive(tree.root());
    drive.search();
    if (::mount("lumsift-test", tree.path("mnt").c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount here";
    ::close(::open(tree.path("mnt/there.txt").c_str(), O_CREAT | O_WRONLY, 0644));
    drive.search();
    const Ordered mounted = drive.found();
    ::umount2(tree.path("mnt").c_str(), MNT_DETACH);
    EXPECT_EQ(mounted, Ordered{tree.path("here.txt")});
    drive.search();
    EXPECT_EQ(drive.found(), (Ordered{tree.path("here.txt"), tree.path("mnt/under.txt")}));
}

TEST(Snapshot, CompactionKeepsEveryResultAndNumbersFoldersInOrder) {
    TempTree tree;
    DifferentialOptions options;
    options.rounds = 0;
    runDifferential(tree.root(), options); // just the generated tree
    Drive drive(tree.root());
    drive.search();
    const Ordered before = drive.found();
    const std::unique_ptr<DriveSnapshot> copy = drive.snapshot().compacted();
    ASSERT_TRUE(copy);
    EXPECT_EQ(orderedPaths(*copy, "*"), before);
    for (std::size_t i = 0; i < copy->order.size(); ++i)
        ASSERT_EQ(copy->order[i], i);
    EXPECT_EQ(copy->entryCount, drive.snapshot().entryCount);
    EXPECT_LT(copy->memoryBytes(), drive.snapshot().memoryBytes() + 1);
}

TEST(Snapshot, ParallelMatchKeepsTheOrderWithAnyWindow) {
    TempTree tree;
    DifferentialOptions options;
    options.rounds = 0;
    options.folders = 200;
    options.files = 3000;
    runDifferential(tree.root(), options);
    Drive drive(tree.root());
    drive.search();
    const Ordered expected = referencePaths(tree.root(), "*");
    for (unsigned window : {1u, 2u, 7u}) {
        const plugin::NameMatcher matcher("*");
        plugin::ParallelMatch match(drive.snapshot(), matcher, 3, window);
        match.start();
        plugin::ResultBatch batch;
        Ordered found;
        for (;;) {
            const auto next = match.next(batch, std::chrono::steady_clock::now() + std::chrono::seconds(5));
            if (next == plugin::ParallelMatch::Next::Done)
                break;
            ASSERT_EQ(next, plugin::ParallelMatch::Next::Batch);
            for (const search_component::FoundName &hit : batch.hits)
                found.push_back(drive.snapshot().path(hit.folder) + "/" +
                                batch.names.substr(hit.offset, hit.length));
        }
        EXPECT_EQ(found, expected) << window;
    }
}
