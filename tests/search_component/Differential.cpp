// SPDX-License-Identifier: GPL-3.0-or-later
#include "Differential.h"
#include "Unprivileged.h"

#include "search_component/plugin/SnapshotRefresh.h"
#include "search_component/plugin/SnapshotStore.h"
#include "search_component/plugin/StreamedSearch.h"

#include <QWidget>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <random>

namespace plugin = search_component::plugin;

namespace {

bool byteLess(const std::string &a, const std::string &b) {
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    return c < 0 || (c == 0 && a.size() < b.size());
}

std::string joined(const std::string &folder, const std::string &name) {
    return folder.empty() || folder.ends_with('/') ? folder + name : folder + "/" + name;
}

struct Mount {
    std::uint64_t dev = 0, mountId = 0;
    bool operator==(const Mount &) const = default;
};

std::optional<Mount> mountOf(int fd) {
    struct statx info;
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &info) != 0)
        return std::nullopt;
    return Mount{(std::uint64_t(info.stx_dev_major) << 32) | info.stx_dev_minor,
                 (info.stx_mask & STATX_MNT_ID) ? info.stx_mnt_id : 0};
}

void referenceWalk(int fd, const std::string &path, const Mount &rootMount,
                   const plugin::NameMatcher &matcher, std::vector<std::string> &out) {
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    std::vector<std::pair<std::string, bool>> entries;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        unsigned type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat info;
            type = ::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
                       ? unsigned(IFTODT(info.st_mode))
                       : unsigned(DT_UNKNOWN);
        }
        entries.emplace_back(name, type == DT_DIR);
    }
    std::sort(entries.begin(), entries.end(), [](auto &a, auto &b) { return byteLess(a.first, b.first); });
    for (const auto &[name, folder] : entries)
        if (!folder && matcher.matches(name))
            out.push_back(joined(path, name));
    for (const auto &[name, folder] : entries) {
        if (!folder)
            continue;
        const int child =
            ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0)
            continue;
        if (mountOf(child) != rootMount) {
            ::close(child);
            continue;
        }
        referenceWalk(child, joined(path, name), rootMount, matcher, out);
    }
    ::closedir(dir);
}

// Random changes to a tree, made with the full rights of the test.
class Changer {
public:
    Changer(std::string root, unsigned seed)
        : root_(std::move(root))
        , random_(seed) {}

    void generate(int folders, int files) {
        folderTarget_ = std::size_t(folders);
        fileTarget_ = std::size_t(files);
        std::vector<std::string> made = {""};
        for (int i = 0; i < folders; ++i) {
            const std::string folder = joined(made[below(made.size())], name());
            if (::mkdir(at(folder).c_str(), 0755) == 0)
                made.push_back(folder);
        }
        for (int i = 0; i < files; ++i)
            touchFile(joined(made[below(made.size())], name()));
    }

    // One random change; returns what it did.
    std::string apply() {
        scan();
        const std::string folder = folders_[below(folders_.size())];
        const std::string inner = inner_.empty() ? std::string() : inner_[below(inner_.size())];
        const std::string file = files_.empty() ? std::string() : files_[below(files_.size())];
        // Removals take whole subtrees and creations add one entry: without growing back, the tree
        // would shrink to a few folders within a few hundred rounds.
        if (folders_.size() < folderTarget_ * 3 / 4 || files_.size() < fileTarget_ * 3 / 4)
            return grow(folder);
        switch (below(19)) {
        case 0:
        case 1:
            return touchFile(joined(folder, name()));
        case 2:
            return file.empty() ? "nothing" : "delete " + file + result(::unlink(at(file).c_str()));
        case 3:
            return file.empty() ? "nothing" : move(file, joined(folder, name()));
        case 4: {
            const std::string made = joined(folder, name());
            std::string done = "mkdir " + made + result(::mkdir(at(made).c_str(), 0755));
            for (unsigned i = below(3); i-- > 0;)
                done += "; " + touchFile(joined(made, name()));
            return done;
        }
        case 5:
            if (inner.empty())
                return "nothing";
            removeTree(at(inner));
            return "remove tree " + inner;
        case 6:
            return inner.empty() ? "nothing" : move(inner, joined(parentOf(inner), name()));
        case 7: // a subtree into another folder, unless into itself
            if (inner.empty() || folder == inner || folder.starts_with(inner + "/"))
                return "nothing";
            return move(inner, joined(folder, random_() % 2 ? baseOf(inner) : name()));
        case 8: {
            if (inner.empty())
                return "nothing";
            removeTree(at(inner));
            const std::string target = random_() % 2 ? ".." : at(folder);
            return "replace " + inner + " by a symlink" +
                   result(::symlink(target.c_str(), at(inner).c_str()));
        }
        case 9:
            if (inner.empty())
                return "nothing";
            removeTree(at(inner));
            return "replace folder by file: " + touchFile(inner);
        case 10:
            if (file.empty())
                return "nothing";
            ::unlink(at(file).c_str());
            return "replace file " + file + " by a folder" + result(::mkdir(at(file).c_str(), 0755)) + "; " +
                   touchFile(joined(file, name()));
        case 11: {
            if (inner.empty())
                return "nothing";
            const mode_t modes[] = {0, 0300, 0600, 0500};
            const mode_t mode = modes[below(std::size(modes))];
            locked_.push_back(inner);
            return "chmod " + std::to_string(mode) + " " + inner + result(::chmod(at(inner).c_str(), mode));
        }
        case 12: {
            if (locked_.empty())
                return "nothing";
            const std::string opened = locked_.back();
            locked_.pop_back();
            return "chmod 755 " + opened + result(::chmod(at(opened).c_str(), 0755));
        }
        case 13: { // touch within the same second: whole seconds, as coarse file systems keep them
            timespec now{};
            ::clock_gettime(CLOCK_REALTIME, &now);
            const timespec times[2] = {{now.tv_sec, 0}, {now.tv_sec, 0}};
            return "touch " + folder + result(::utimensat(AT_FDCWD, at(folder).c_str(), times, 0));
        }
        case 14: { // a folder renamed over an empty one: same name, another folder
            if (inner.empty())
                return "nothing";
            const std::string empty = joined(folder, name());
            ::mkdir(at(empty).c_str(), 0755);
            if (folder == inner || folder.starts_with(inner + "/"))
                return "mkdir " + empty;
            return "mkdir " + empty + "; " + move(inner, empty);
        }
        case 15: { // two folders swap places
            const std::string other = inner_.empty() ? std::string() : inner_[below(inner_.size())];
            if (inner.empty() || other.empty() || other == inner || other.starts_with(inner + "/") ||
                inner.starts_with(other + "/"))
                return "nothing";
            const long done = ::syscall(SYS_renameat2, AT_FDCWD, at(inner).c_str(), AT_FDCWD,
                                        at(other).c_str(), 2 /* RENAME_EXCHANGE */);
            return "exchange " + inner + " and " + other + result(int(done));
        }
        case 17: { // a change, then the folder's times set back, as tar and rsync -t do
            struct stat before;
            if (::lstat(at(folder).c_str(), &before) != 0)
                return "nothing";
            const std::string made = touchFile(joined(folder, name()));
            const timespec times[2] = {before.st_atim, before.st_mtim};
            return made + "; times of " + folder + " set back" +
                   result(::utimensat(AT_FDCWD, at(folder).c_str(), times, AT_SYMLINK_NOFOLLOW));
        }
        case 18: { // a folder made anew under its old name
            if (inner.empty())
                return "nothing";
            removeTree(at(inner));
            return "mkdir " + inner + " anew" + result(::mkdir(at(inner).c_str(), 0755)) + "; " +
                   touchFile(joined(inner, name()));
        }
        default: { // a folder's own times touched to the nanosecond
            return "touch " + folder + result(::utimensat(AT_FDCWD, at(folder).c_str(), nullptr, 0));
        }
        }
    }

private:
    std::size_t below(std::size_t n) { return std::size_t(random_() % n); }

    std::string at(const std::string &relative) const {
        return relative.empty() ? root_ : root_ + "/" + relative;
    }

    static std::string parentOf(const std::string &relative) {
        const auto slash = relative.rfind('/');
        return slash == std::string::npos ? std::string() : relative.substr(0, slash);
    }
    static std::string baseOf(const std::string &relative) {
        return relative.substr(relative.rfind('/') + 1);
    }
    static std::string result(int rc) { return rc == 0 ? "" : " (failed)"; }

    // Names that sort in byte order unlike in letter order: capitals, spaces, dots, non-UTF-8 bytes.
    std::string name() {
        static const char *const parts[] = {"a", "B", "c", "D", "e",        "x",
                                            " ", ".", "_", "1", "\xc3\xa9", "\xff"};
        static const char *const extensions[] = {".txt", ".TXT", ".jpg", "", ""};
        std::string s;
        for (std::size_t i = 0, n = 1 + below(5); i < n; ++i)
            s += parts[below(std::size(parts))];
        return s + extensions[below(std::size(extensions))];
    }

    // A new subtree of a few folders with a few files each.
    std::string grow(const std::string &parent) {
        const std::string top = joined(parent, name());
        if (::mkdir(at(top).c_str(), 0755) != 0)
            return "mkdir " + top + " (failed)";
        std::vector<std::string> made = {top};
        for (std::size_t i = below(6); i-- > 0;) {
            const std::string folder = joined(made[below(made.size())], name());
            if (::mkdir(at(folder).c_str(), 0755) == 0)
                made.push_back(folder);
        }
        for (std::size_t i = 2 + below(30); i-- > 0;)
            touchFile(joined(made[below(made.size())], name()));
        return "grow " + std::to_string(made.size()) + " folders at " + top;
    }

    std::string touchFile(const std::string &relative) {
        const int fd = ::open(at(relative).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd >= 0)
            ::close(fd);
        return "create " + relative + result(fd >= 0 ? 0 : -1);
    }

    std::string move(const std::string &from, const std::string &to) {
        return "rename " + from + " to " + to + result(::rename(at(from).c_str(), at(to).c_str()));
    }

    // Lists every folder and every other entry; sorted, so that the same seed makes the same changes.
    void scan() {
        folders_.assign(1, std::string());
        inner_.clear();
        files_.clear();
        scanFolder("");
        std::sort(folders_.begin(), folders_.end());
        std::sort(inner_.begin(), inner_.end());
        std::sort(files_.begin(), files_.end());
    }

    void scanFolder(const std::string &relative) {
        DIR *dir = ::opendir(at(relative).c_str());
        if (!dir)
            return;
        std::vector<std::string> subfolders;
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string path = joined(relative, name);
            struct stat info;
            if (::lstat(at(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                subfolders.push_back(path);
            else
                files_.push_back(path);
        }
        ::closedir(dir);
        for (const std::string &folder : subfolders) {
            folders_.push_back(folder);
            inner_.push_back(folder);
            scanFolder(folder);
        }
    }

    std::string root_;
    std::mt19937 random_;
    std::vector<std::string> folders_; // with the root, ""
    std::vector<std::string> inner_;   // without it
    std::vector<std::string> files_;
    std::vector<std::string> locked_;
    std::size_t folderTarget_ = 0;
    std::size_t fileTarget_ = 0;
};

std::string firstDifference(const std::vector<std::string> &expected, const std::vector<std::string> &got) {
    std::size_t i = 0;
    while (i < expected.size() && i < got.size() && expected[i] == got[i])
        ++i;
    const auto show = [](const std::vector<std::string> &paths, std::size_t k) {
        return k < paths.size() ? "\"" + paths[k] + "\"" : std::string("(end)");
    };
    return "at result " + std::to_string(i) + " of " + std::to_string(expected.size()) + " expected " +
           show(expected, i) + ", got " + show(got, i) + " (" + std::to_string(got.size()) + " results)";
}

} // namespace

std::vector<std::string> orderedPaths(const plugin::DriveSnapshot &snapshot, std::string_view pattern) {
    const plugin::NameMatcher matcher(pattern);
    plugin::ResultBatch batch;
    plugin::matchAll(snapshot, matcher, &batch);
    std::vector<std::string> paths;
    paths.reserve(batch.hits.size());
    for (const search_component::FoundName &hit : batch.hits)
        paths.push_back(joined(snapshot.path(hit.folder), batch.names.substr(hit.offset, hit.length)));
    return paths;
}

std::vector<std::string> referencePaths(const std::string &root, std::string_view pattern) {
    std::vector<std::string> paths;
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return paths;
    const std::optional<Mount> mount = mountOf(fd);
    if (!mount) {
        ::close(fd);
        return paths;
    }
    referenceWalk(fd, root, *mount, plugin::NameMatcher(pattern), paths);
    return paths;
}

void removeTree(const std::string &path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        return;
    if (!S_ISDIR(info.st_mode)) {
        ::unlink(path.c_str());
        return;
    }
    ::chmod(path.c_str(), 0755);
    std::vector<std::string> names;
    if (DIR *dir = ::opendir(path.c_str())) {
        while (const dirent *entry = ::readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    for (const std::string &name : names)
        removeTree(path + "/" + name);
    ::rmdir(path.c_str());
}

namespace {

// Collects full paths in the order the search hands them over.
class PathSink : public search_component::ResultSink {
public:
    std::uint32_t addFolder(std::uint32_t parent, std::string_view name) override {
        folders_.push_back(parent == search_component::noFolder
                               ? std::string(name)
                               : joined(folders_[parent], std::string(name)));
        return std::uint32_t(folders_.size() - 1);
    }
    void appendFiles(std::span<const search_component::FoundName> names, std::string_view arena) override {
        for (const search_component::FoundName &name : names)
            paths.push_back(
                joined(folders_[name.folder], std::string(arena.substr(name.offset, name.length))));
    }
    std::vector<std::string> paths;

private:
    std::vector<std::string> folders_;
};

} // namespace

DifferentialReport runDifferential(const std::string &root, const DifferentialOptions &options) {
    DifferentialReport report;
    ::chmod(root.c_str(), 0755);
    Changer changer(root, options.seed);
    changer.generate(options.folders, options.files);
    plugin::StreamOptions stream;
    stream.walk.roundTimesToNs = options.roundTimesToNs;
    const bool acrossRuns = !options.cacheFolder.empty();
    if (acrossRuns && ::geteuid() == 0 && ::chown(options.cacheFolder.c_str(), 65534, 65534) != 0) {
        report.failure = "cannot give the cache folder to the unprivileged user";
        return report;
    }
    // A run of the program: its store of snapshots, and with a cache folder, their files.
    const auto newRun = [&] {
        return acrossRuns
                   ? std::make_unique<plugin::SnapshotStore>(plugin::SnapshotCache(options.cacheFolder))
                   : std::make_unique<plugin::SnapshotStore>();
    };
    std::unique_ptr<plugin::SnapshotStore> store = newRun();
    QWidget form;
    const char *const patterns[] = {"*", "*.txt", "?a*", "*.*", "*\xc3\xa9*"};

    std::vector<std::string> changes;
    std::size_t records = 0;
    for (int round = 0; round <= options.rounds; ++round) {
        if (round > 0 && acrossRuns) {
            store->settleAll(); // the run ends once its file is written
            store.reset();
        }
        if (round > 0) {
            changes.clear();
            for (std::size_t n = 1 + std::size_t(round % 4); n-- > 0;)
                changes.push_back(changer.apply());
            report.changes += changes.size();
        }
        const std::string_view pattern = patterns[round % std::size(patterns)];
        std::vector<std::string> fresh, expected;
        PathSink repeat;
        {
            Unprivileged unprivileged;
            // The repeat search as the component makes it, then two fresh walks.
            if (!store)
                store = newRun();
            const plugin::SearchReport searched =
                plugin::streamSearch(repeat, *store, root, plugin::NameMatcher(pattern), form, stream);
            if (round > 0 && (!searched.fromSnapshot || searched.fromFile != acrossRuns)) {
                report.failure = "round " + std::to_string(round) +
                                 ": the drive was read anew, not revalidated" +
                                 (acrossRuns ? " from the file" : "");
                return report;
            }
            report.fromFile += searched.fromFile ? 1 : 0;
            if (round > 0) {
                report.checkedFolders += searched.walk.checkedFolders;
                report.rereadFolders += searched.walk.rereadFolders;
                report.freshSubtrees += searched.walk.freshSubtrees;
            }
            expected = referencePaths(root, pattern);
            const std::optional<plugin::SearchRoot> opened =
                plugin::SearchRoot::open(root, options.roundTimesToNs);
            if (opened) {
                const std::unique_ptr<plugin::DriveSnapshot> anew = opened->newSnapshot(root);
                plugin::refreshSnapshot(*anew, *opened, stream.walk);
                fresh = orderedPaths(*anew, pattern);
            }
        }
        if (repeat.paths != expected || fresh != expected) {
            std::string done;
            for (const std::string &change : changes)
                done += "\n  " + change;
            report.failure =
                "round " + std::to_string(round) + " (seed " + std::to_string(options.seed) + ", pattern \"" +
                std::string(pattern) + "\"): " +
                (repeat.paths != expected ? "repeat search " + firstDifference(expected, repeat.paths)
                                          : "fresh snapshot " + firstDifference(expected, fresh)) +
                "; changes of the round:" + done;
            return report;
        }
        if (const plugin::DriveSnapshot *kept = store->find(root)) {
            if (kept->folders.size() < records)
                ++report.compactions;
            records = kept->folders.size();
        }
        report.rounds = round;
        if (options.progress && round > 0 && round % 1000 == 0)
            options.progress(round);
    }
    return report;
}
