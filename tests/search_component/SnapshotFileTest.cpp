// SPDX-License-Identifier: GPL-3.0-or-later
// Snapshots kept in files between runs: the first search of a new run starts from the file the last run
// wrote and equals a fresh walk; a file that is damaged, foreign or not private is no snapshot.
#include "Differential.h"
#include "TempTree.h"
#include "search_component/plugin/SnapshotStore.h"
#include "search_component/plugin/StreamedSearch.h"

#include <QDir>
#include <QWidget>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

namespace plugin = search_component::plugin;

using plugin::SnapshotCache;
using plugin::SnapshotStore;
using Bytes = std::string;

namespace {

// Collects full paths in the order the search hands them over.
class Paths : public search_component::ResultSink {
public:
    std::uint32_t addFolder(std::uint32_t parent, std::string_view name) override {
        folders_.push_back(parent == search_component::noFolder ? std::string(name)
                                                                : folders_[parent] + "/" + std::string(name));
        return std::uint32_t(folders_.size() - 1);
    }
    void appendFiles(std::span<const search_component::FoundName> names, std::string_view arena) override {
        for (const search_component::FoundName &name : names)
            found.push_back(folders_[name.folder] + "/" +
                            std::string(arena.substr(name.offset, name.length)));
    }
    std::vector<std::string> found;

private:
    std::vector<std::string> folders_;
};

// A drive (a small tree of known names) and a cache folder beside it, outside the tree.
class SnapshotFile : public ::testing::Test {
protected:
    SnapshotFile()
        : cacheFolder_(tree_.root() + "-cache") {
        for (const char *folder : {"c", "c/d", "e"})
            tree_.folder(folder);
        for (const char *file : {"a.txt", "b.txt", "c/one.txt", "c/d/two.txt", "e/three"})
            tree_.file(file);
    }
    ~SnapshotFile() override { removeTree(cacheFolder_); }

    // The first search of a new run.
    plugin::SearchReport searchInNewRun(std::vector<std::string> *found = nullptr) {
        SnapshotStore store{SnapshotCache(cacheFolder_)};
        Paths paths;
        QWidget form;
        const plugin::SearchReport report =
            plugin::streamSearch(paths, store, tree_.root(), plugin::NameMatcher("*"), form);
        store.settleAll();
        if (found)
            *found = paths.found;
        return report;
    }
    bool loads() const {
        const std::optional<plugin::SearchRoot> root = plugin::SearchRoot::open(tree_.root());
        return root && SnapshotCache(cacheFolder_).load(*root, tree_.root()) != nullptr;
    }
    std::string file() const { return cacheFolder_ + "/" + SnapshotCache::fileName(tree_.root()); }
    Bytes bytes() const {
        std::ifstream in(file(), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    void write(const Bytes &bytes) const {
        std::ofstream(file(), std::ios::binary | std::ios::trunc) << bytes;
    }

    TempTree tree_;
    std::string cacheFolder_;
};

// Offsets in the file of the tree above: a header of 96 bytes, the root path, 4 folders' records,
// then the root's listing: "a.txt", "b.txt", "c" (a folder), "e" (a folder).
struct Layout {
    std::size_t rootPath = 96, listings = 0, rootEntries = 0, firstName = 0, childOfC = 0;
    explicit Layout(std::size_t rootPathBytes) {
        listings = 96 + rootPathBytes + 4 * 25;
        rootEntries = listings;
        firstName = listings + 8 + 2;         // "a.txt"
        childOfC = firstName + 5 + 2 + 5 + 3; // after "b.txt", "c"
    }
};

template <typename T> void set(Bytes &bytes, std::size_t at, T value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

// Puts a right checksum on a changed file, so that the checks behind it are reached.
void sign(Bytes &bytes) {
    set<std::uint64_t>(bytes, 88, 0);
    plugin::Checksum checksum;
    checksum.add(bytes.data(), bytes.size());
    set<std::uint64_t>(bytes, 88, checksum.value());
}

} // namespace

TEST(SnapshotAcrossRuns, TheFirstSearchOfEveryRunEqualsAFreshWalk) {
    TempTree tree, cache;
    DifferentialOptions options;
    options.rounds = 400;
    options.seed = 31;
    options.cacheFolder = cache.path("lumsifter");
    ASSERT_EQ(::chmod(cache.root().c_str(), 0755), 0); // the unprivileged searcher reaches its cache
    ASSERT_EQ(::mkdir(options.cacheFolder.c_str(), 0700), 0);
    const DifferentialReport report = runDifferential(tree.root(), options);
    EXPECT_EQ(report.failure, "");
    EXPECT_EQ(report.rounds, options.rounds);
    EXPECT_EQ(report.fromFile, options.rounds);
}

TEST_F(SnapshotFile, IsWrittenPrivatelyAndAnswersTheNextRun) {
    std::vector<std::string> fresh, again;
    const plugin::SearchReport first = searchInNewRun(&fresh);
    EXPECT_FALSE(first.fromFile);
    struct stat folder, written;
    ASSERT_EQ(::lstat(cacheFolder_.c_str(), &folder), 0);
    ASSERT_EQ(::lstat(file().c_str(), &written), 0);
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    EXPECT_EQ(written.st_mode & 07777, 0600u);
    // Nothing else: no temporary file is left behind.
    EXPECT_EQ(QDir(QString::fromStdString(cacheFolder_)).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{QString::fromStdString(SnapshotCache::fileName(tree_.root()))});

    const plugin::SearchReport second = searchInNewRun(&again);
    EXPECT_TRUE(second.fromFile);
    EXPECT_EQ(again, fresh);
    EXPECT_EQ(again, referencePaths(tree_.root(), "*"));
}

TEST_F(SnapshotFile, AFileThatIsDamagedForeignOrNotPrivateIsNoSnapshotAndIsReplaced) {
    searchInNewRun();
    const Bytes good = bytes();
    const Layout at(tree_.root().size());
    ASSERT_EQ(good.substr(at.firstName, 5), "a.txt");
    ASSERT_EQ(good[at.childOfC - 1], 'c');
    const auto changed = [&](const std::function<void(Bytes &)> &change, bool signAgain = true) {
        return [=, this] {
            Bytes bytes = good;
            change(bytes);
            if (signAgain)
                sign(bytes);
            write(bytes);
        };
    };
    const bool root = ::geteuid() == 0;
    const struct {
        const char *what;
        std::function<void()> damage;
    } cases[] = {
        {"empty", changed([](Bytes &b) { b.clear(); }, false)},
        {"cut in the header", changed([](Bytes &b) { b.resize(50); }, false)},
        {"cut in the listings", changed([](Bytes &b) { b.pop_back(); }, false)},
        {"a byte longer", changed([](Bytes &b) { b.push_back(0); }, false)},
        {"a byte changed", changed([&](Bytes &b) { b[at.firstName] = 'x'; }, false)},
        {"another version", changed([](Bytes &b) { set<std::uint32_t>(b, 8, 2); })},
        {"another file system", changed([](Bytes &b) { b[24] ^= 1; })},
        {"another drive's root", changed([&](Bytes &b) { b[at.rootPath + 1] ^= 1; })},
        {"folders past the end", changed([](Bytes &b) { set<std::uint32_t>(b, 68, 0x7FFFFFFF); })},
        {"a listing past the end",
         changed([&](Bytes &b) { set<std::uint32_t>(b, at.rootEntries + 4, ~0u); })},
        {"an entry count that disagrees",
         changed([&](Bytes &b) { set<std::uint32_t>(b, at.rootEntries, 5); })},
        {"names out of order", changed([&](Bytes &b) { std::swap(b[at.firstName], b[at.firstName + 7]); })},
        {"a name with a slash", changed([&](Bytes &b) { b[at.firstName + 1] = '/'; })},
        {"a folder out of range", changed([&](Bytes &b) { set<std::uint32_t>(b, at.childOfC, 1000); })},
        {"a folder inside itself", changed([&](Bytes &b) { set<std::uint32_t>(b, at.childOfC, 0); })},
        {"unknown flags", changed([&](Bytes &b) { b[at.listings - 4] = char(0x80); })},
        {"readable by others", [&] { ::chmod(file().c_str(), 0644); }},
        {"a symbolic link",
         [&] {
             write(good);
             ::rename(file().c_str(), (file() + "-real").c_str());
             ASSERT_EQ(::symlink((file() + "-real").c_str(), file().c_str()), 0);
         }},
        {"another user's",
         [&] {
             if (root)
                 ASSERT_EQ(::lchown(file().c_str(), 65534, 65534), 0);
             else
                 write({});
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        write(good);
        ::chmod(file().c_str(), 0600);
        ASSERT_TRUE(loads());
        c.damage();
        EXPECT_FALSE(loads());
        std::vector<std::string> found;
        const plugin::SearchReport report = searchInNewRun(&found);
        EXPECT_FALSE(report.fromFile);
        EXPECT_EQ(found, referencePaths(tree_.root(), "*"));
        EXPECT_TRUE(loads()); // written anew by that search
        ::unlink((file() + "-real").c_str());
    }
}

TEST_F(SnapshotFile, NoCacheFolderMeansNoFileAndTheSameSearch) {
    tree_.file("in-the-way");
    for (const std::string &unusable : {tree_.path("in-the-way/lumsifter"), std::string()}) {
        cacheFolder_ = unusable;
        std::vector<std::string> found;
        const plugin::SearchReport report = searchInNewRun(&found);
        EXPECT_FALSE(report.fromFile);
        EXPECT_EQ(found, referencePaths(tree_.root(), "*"));
    }
}

// Another file system mounted where the drive was: same names, same folder shapes, another identity.
TEST(SnapshotAcrossRuns, AnotherFileSystemAtTheSameMountPointIsReadAnew) {
    TempTree tree, cache;
    tree.folder("mnt");
    const std::string drive = tree.path("mnt");
    const auto mountWith = [&](const char *file) {
        if (::mount("lumsift-test", drive.c_str(), "tmpfs", 0, "size=1m") != 0)
            return false;
        ::mkdir((drive + "/sub").c_str(), 0755);
        ::close(::open((drive + "/sub/" + file).c_str(), O_CREAT | O_WRONLY, 0644));
        return true;
    };
    if (!mountWith("first.txt"))
        GTEST_SKIP() << "cannot mount here";
    const auto search = [&] {
        SnapshotStore store{SnapshotCache(cache.path("lumsifter"))};
        Paths paths;
        QWidget form;
        const auto report = plugin::streamSearch(paths, store, drive, plugin::NameMatcher("*"), form);
        store.settleAll();
        return std::make_pair(report.fromFile, paths.found);
    };
    search();
    EXPECT_TRUE(search().first);
    ::umount2(drive.c_str(), MNT_DETACH);
    ASSERT_TRUE(mountWith("second.txt"));
    const auto [fromFile, found] = search();
    ::umount2(drive.c_str(), MNT_DETACH);
    EXPECT_FALSE(fromFile);
    EXPECT_EQ(found, std::vector<std::string>{drive + "/sub/second.txt"});
}

TEST(SnapshotCacheFolder, IsTheUsersCacheUnlessTheVariableIsUnsetEmptyOrRelative) {
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    const std::string home = qgetenv("HOME").toStdString();
    const struct {
        const char *variable;
        std::string folder;
    } cases[] = {{"/var/cache/ann", "/var/cache/ann/lumsifter"},
                 {"", home + "/.cache/lumsifter"},
                 {"relative/cache", home + "/.cache/lumsifter"},
                 {nullptr, home + "/.cache/lumsifter"}};
    for (const auto &c : cases) {
        if (c.variable)
            qputenv("XDG_CACHE_HOME", c.variable);
        else
            qunsetenv("XDG_CACHE_HOME");
        EXPECT_EQ(SnapshotCache::userFolder(), c.folder) << (c.variable ? c.variable : "(unset)");
    }
    qputenv("XDG_CACHE_HOME", saved);
}
