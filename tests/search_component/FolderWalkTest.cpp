// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempTree.h"
#include "Unprivileged.h"

#include <QProcess>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <thread>

using search_component::plugin::WalkOptions;
using search_component::plugin::WalkStats;
using Paths = std::set<std::string>;

namespace {

// Builds a chain of `depth` folders named `name` below root with mkdirat, so that no path is ever
// spelled out in full; every level holds `file` and a side folder with one file in it, so that
// parents stay needed while the walk goes down. Returns the paths of every file.
Paths buildChain(const std::string &root, int depth, const std::string &name) {
    Paths files;
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string path = root;
    for (int level = 0; level < depth && fd >= 0; ++level) {
        const std::string file = "f" + std::to_string(level) + ".txt";
        ::close(::openat(fd, file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        ::mkdirat(fd, "side", 0755);
        ::close(::openat(fd, "side/s.txt", O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        files.insert(path + "/" + file);
        files.insert(path + "/side/s.txt");
        ::mkdirat(fd, name.c_str(), 0755);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        path += "/" + name;
    }
    if (fd >= 0)
        ::close(fd);
    return files;
}

class LowDescriptorLimit {
public:
    explicit LowDescriptorLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit low = saved_;
        low.rlim_cur = limit;
        ::setrlimit(RLIMIT_NOFILE, &low);
    }
    ~LowDescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }

private:
    rlimit saved_{};
};

} // namespace

TEST(FolderWalk, FindsFilesInNestedFoldersButNotFolders) {
    TempTree tree;
    tree.folder("docs");
    tree.folder("docs/old.txt"); // a folder with a matching name is walked, not listed
    tree.folder("docs/old.txt/inner");
    tree.file("top.txt");
    tree.file("docs/a.TXT");
    tree.file("docs/.hidden.txt");
    tree.file("docs/old.txt/inner/deep.txt");
    tree.file("docs/notes.md");

    const Paths expected = {tree.path("top.txt"), tree.path("docs/a.TXT"), tree.path("docs/.hidden.txt"),
                            tree.path("docs/old.txt/inner/deep.txt")};
    EXPECT_EQ(walkPaths(tree.root(), "*.txt"), expected);
    EXPECT_EQ(walkPaths(tree.root(), "*").size(), 5u);
    EXPECT_EQ(walkPaths(tree.root(), "inner"), Paths{});
    EXPECT_EQ(walkPaths(tree.root(), "*", WalkOptions{1, 4096, 0}).size(), 5u);
}

TEST(FolderWalk, ListsSymlinksByNameAndNeverFollowsThem) {
    TempTree tree;
    tree.folder("a");
    tree.folder("a/b");
    tree.file("a/b/x.txt");
    tree.link("..", "a/b/loop"); // a loop back to an ancestor
    tree.link("/nonexistent/target", "a/dangling.txt");
    tree.link(tree.path("a"), "a/b/to_a"); // a folder reached through a link

    const Paths all = walkPaths(tree.root(), "*");
    EXPECT_EQ(all, (Paths{tree.path("a/b/x.txt"), tree.path("a/b/loop"), tree.path("a/dangling.txt"),
                          tree.path("a/b/to_a")}));
}

TEST(FolderWalk, KeepsUndecodableNamesAsTheirBytes) {
    TempTree tree;
    const std::string odd = "caf\xe9 \xff\xfe.txt"; // Latin-1 bytes: not UTF-8
    tree.folder("\xc3\x28 dir");
    tree.file("\xc3\x28 dir/" + odd);
    EXPECT_EQ(walkPaths(tree.root(), "*.TXT"), Paths{tree.path("\xc3\x28 dir/" + odd)});
    EXPECT_EQ(walkPaths(tree.root(), "caf? ??.txt"), Paths{tree.path("\xc3\x28 dir/" + odd)});
}

TEST(FolderWalk, ReadsLargeFoldersCompletely) {
    TempTree tree;
    tree.folder("big");
    const int fd = ::open(tree.path("big").c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 20000; ++i) {
        const std::string name = "entry_with_a_longer_name_" + std::to_string(i) + (i % 2 ? ".txt" : ".dat");
        ::close(::openat(fd, name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    }
    ::close(fd);
    WalkStats stats;
    EXPECT_EQ(walkPaths(tree.root(), "*.txt", {}, &stats).size(), 10000u);
    EXPECT_EQ(stats.entries, 20001u);
    EXPECT_EQ(walkPaths(tree.root(), "*", WalkOptions{2, 4096, 0}).size(), 20000u); // many small reads
}

TEST(FolderWalk, WalksPathsLongerThanPathMax) {
    TempTree tree;
    const std::string longName(250, 'n');
    const Paths files = buildChain(tree.root(), 24, longName);
    const Paths found = walkPaths(tree.root(), "*.txt");
    const auto longest =
        std::max_element(files.begin(), files.end(), [](auto &a, auto &b) { return a.size() < b.size(); });
    EXPECT_GT(longest->size(), std::size_t(PATH_MAX));
    EXPECT_EQ(found, files);
}

TEST(FolderWalk, WalksDeepTreesWithBoundedDescriptors) {
    TempTree tree;
    const Paths files = buildChain(tree.root(), 400, "d");
    const int before = openDescriptorCount();

    WalkStats stats;
    EXPECT_EQ(walkPaths(tree.root(), "*.txt", {}, &stats), files);
    EXPECT_EQ(walkPaths(tree.root(), "*.txt", WalkOptions{2, 65536, 2}, &stats), files);
    EXPECT_GT(stats.reopenedByPath, 0u); // the slow way from the root was really taken
    EXPECT_EQ(openDescriptorCount(), before);

    // Far fewer descriptors than levels: without the bound the walk would run out and miss files.
    {
        LowDescriptorLimit limit(rlim_t(before + 48));
        EXPECT_EQ(walkPaths(tree.root(), "*.txt"), files);
    }
}

TEST(FolderWalk, SkipsUnreadableFoldersSilently) {
    TempTree tree;
    tree.folder("open");
    tree.folder("closed");
    tree.folder("closed/inner");
    tree.file("open/a.txt");
    tree.file("closed/b.txt");
    tree.file("closed/inner/c.txt");
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(tree.path("closed").c_str(), 0), 0);

    Paths found;
    WalkStats stats;
    {
        Unprivileged unprivileged;
        const int probe = ::open(tree.path("closed").c_str(), O_RDONLY | O_DIRECTORY);
        if (probe >= 0) {
            ::close(probe);
            ::chmod(tree.path("closed").c_str(), 0755);
            GTEST_SKIP() << "permissions do not stop this process from reading";
        }
        found = walkPaths(tree.root(), "*", {}, &stats);
    }
    ::chmod(tree.path("closed").c_str(), 0755);
    EXPECT_EQ(found, Paths{tree.path("open/a.txt")});
    EXPECT_EQ(stats.skippedFolders, 1u);
}

TEST(FolderWalk, DoesNotEnterOtherMounts) {
    TempTree tree;
    tree.folder("mnt");
    tree.file("here.txt");
    if (::mount("lumsift-test", tree.path("mnt").c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount here";
    ::close(::open(tree.path("mnt/there.txt").c_str(), O_CREAT | O_WRONLY, 0644));
    const Paths found = walkPaths(tree.root(), "*.txt");
    ::umount2(tree.path("mnt").c_str(), MNT_DETACH);
    EXPECT_EQ(found, Paths{tree.path("here.txt")});
}

TEST(FolderWalk, EndsNormallyWhenFoldersVanishMeanwhile) {
    TempTree tree;
    Paths kept;
    for (int i = 0; i < 200; ++i) {
        const std::string folder = (i % 2 ? "keep" : "drop") + std::to_string(i);
        tree.folder(folder);
        for (int k = 0; k < 40; ++k) {
            tree.file(folder + "/" + std::to_string(k) + ".txt");
            if (i % 2)
                kept.insert(tree.path(folder + "/" + std::to_string(k) + ".txt"));
        }
    }
    std::thread remover([&] {
        for (int i = 0; i < 200; i += 2)
            std::filesystem::remove_all(tree.path("drop" + std::to_string(i)));
    });
    const Paths found = walkPaths(tree.root(), "*.txt", WalkOptions{2, 4096, 0});
    remover.join();
    EXPECT_TRUE(std::includes(found.begin(), found.end(), kept.begin(), kept.end()));
    EXPECT_LE(found.size(), 200u * 40u);
}

// Whether the second worker gets a share depends on the scheduler: a loaded machine may let the first
// read everything before the second runs. Stealing that works shows up within a few walks.
TEST(FolderWalk, SharesTheTreeBetweenWorkers) {
    TempTree tree;
    for (int i = 0; i < 40; ++i) {
        tree.folder(std::to_string(i));
        for (int k = 0; k < 20; ++k) {
            tree.folder(std::to_string(i) + "/" + std::to_string(k));
            tree.file(std::to_string(i) + "/" + std::to_string(k) + "/x.txt");
        }
    }
    unsigned mostWorkers = 0;
    for (int walk = 0; walk < 50 && mostWorkers < 2; ++walk) {
        WalkStats stats;
        ASSERT_EQ(walkPaths(tree.root(), "*.txt", WalkOptions{2, 65536, 0}, &stats).size(), 800u);
        ASSERT_EQ(stats.folders, 841u);
        mostWorkers = std::max(mostWorkers, stats.workersUsed);
    }
    EXPECT_EQ(mostWorkers, 2u);
}

TEST(FolderWalk, MissingOrNonFolderRootsFindNothing) {
    TempTree tree;
    tree.file("plain.txt");
    EXPECT_EQ(walkPaths(tree.path("missing"), "*"), Paths{});
    EXPECT_EQ(walkPaths(tree.path("plain.txt"), "*"), Paths{});
    EXPECT_EQ(walkPaths("", "*"), Paths{});
}

// The same set of paths as GNU find, on a generated tree with mixed case, non-ASCII letters, blanks,
// hidden names and symlinks.
TEST(FolderWalk, FindsWhatGnuFindFinds) {
    TempTree tree;
    std::mt19937 random(7);
    const std::vector<std::string> parts = {"a", "B", "c", "Ä", "ä", "é", "É", " ", "_", "x", "Y", "1", "."};
    const std::vector<std::string> extensions = {".txt", ".TXT", ".Txt", ".jpg", ".md", "", ".txt.bak"};
    const auto name = [&] {
        std::string s = random() % 20 == 0 ? "." : "";
        for (int i = 0, n = 2 + int(random() % 8); i < n; ++i)
            s += parts[random() % parts.size()];
        return s;
    };
    std::vector<std::string> folders = {""};
    for (int i = 0; i < 120; ++i) {
        const std::string folder = folders[random() % folders.size()] + name() + std::to_string(i) + "/";
        tree.folder(folder);
        folders.push_back(folder);
    }
    for (int i = 0; i < 2500; ++i) {
        const std::string at = folders[random() % folders.size()];
        const std::string file = at + name() + std::to_string(i) + extensions[random() % extensions.size()];
        if (i % 100 == 0)
            tree.link(i % 200 ? ".." : "/none", file);
        else
            tree.file(file);
    }
    for (const char *pattern : {"*.txt", "*", "*ä*", "?b*", "*É?*", "*.t?t", ".*", "a*"}) {
        QProcess find;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LC_ALL", "C.UTF-8");
        find.setProcessEnvironment(environment);
        find.start("find",
                   {QString::fromStdString(tree.root()), "!", "-type", "d", "-iname", pattern, "-print0"});
        ASSERT_TRUE(find.waitForFinished(60000));
        Paths expected;
        for (const QByteArray &path : find.readAllStandardOutput().split('\0'))
            if (!path.isEmpty())
                expected.insert(path.toStdString());
        EXPECT_EQ(walkPaths(tree.root(), pattern), expected) << pattern;
        EXPECT_FALSE(expected.empty()) << pattern;
    }
}
