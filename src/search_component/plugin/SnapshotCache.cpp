// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/plugin/SnapshotCache.h"

#include "base/Descriptor.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace search_component::plugin {

namespace {

constexpr mode_t privateFolder = 0700;
constexpr mode_t privateFile = 0600;

// The user files are opened as: the effective user, unless a caller acts as another (setfsuid).
uid_t actingUser() {
    return uid_t(::syscall(SYS_setfsuid, -1));
}

bool ownedByUser(int fd, bool regularFile) {
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_uid != actingUser())
        return false;
    if (!regularFile)
        return S_ISDIR(info.st_mode);
    return S_ISREG(info.st_mode) && (info.st_mode & 077) == 0;
}

// The cache folder itself, never through a symbolic link, and only when it is the user's.
int openFolder(const std::string &folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 && !ownedByUser(fd, false)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string parentOf(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

// A name no other save uses, of this run or another.
std::string temporaryName(const std::string &base) {
    static std::atomic<unsigned> count{0};
    return base + "." + std::to_string(::getpid()) + "-" + std::to_string(count++) + ".new";
}

// A temporary file in the folder, for a save to write: unnamed where the file system allows, so that a
// run that ends while writing leaves nothing behind. `name` is empty for an unnamed one.
int createTemporary(int folder, const std::string &base, std::string &name) {
    name.clear();
    const int unnamed = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, privateFile);
    if (unnamed >= 0)
        return unnamed;
    name = temporaryName(base);
    return ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, privateFile);
}

// Gives an unnamed file a name in its folder, to be renamed over the old file.
bool nameTemporary(int fd, int folder, const std::string &base, std::string &name) {
    name = temporaryName(base);
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    name.clear();
    return false;
}

} // namespace

std::string SnapshotCache::userFolder() {
    const char *cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/')
        return std::string(cache) + "/lumsifter";
    std::string home;
    if (const char *variable = std::getenv("HOME"); variable && variable[0] == '/')
        home = variable;
    else if (const passwd *user = ::getpwuid(::geteuid()); user && user->pw_dir && user->pw_dir[0] == '/')
        home = user->pw_dir;
    if (home.empty())
        return {};
    return (home == "/" ? std::string() : home) + "/.cache/lumsifter";
}

std::string SnapshotCache::fileName(const std::string &rootPath) {
    Checksum checksum;
    checksum.add(rootPath.data(), rootPath.size());
    char name[32];
    std::snprintf(name, sizeof name, "drive-%016llx", static_cast<unsigned long long>(checksum.value()));
    return name;
}

SnapshotCache::SnapshotCache(std::string folder)
    : folder_(std::move(folder)) {}

std::unique_ptr<DriveSnapshot> SnapshotCache::load(const SearchRoot &root,
                                                   const std::string &rootPath) const {
    if (folder_.empty() || !root.trust().lasting)
        return nullptr;
    const base::Descriptor folder(openFolder(folder_));
    if (!folder.valid())
        return nullptr;
    const base::Descriptor file(::openat(folder.get(), fileName(rootPath).c_str(),
                                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.valid() || !ownedByUser(file.get(), true))
        return nullptr;
    std::unique_ptr<DriveSnapshot> snapshot =
        readSnapshotFile(file.get(), rootPath, root.identity(), root.trust());
    if (snapshot) {
        root.adopt(*snapshot);
        snapshot->inFile = true;
    }
    return snapshot;
}

bool SnapshotCache::save(const DriveSnapshot &snapshot, const std::atomic<bool> &cancel,
                         SnapshotFileFacts *facts) const {
    if (folder_.empty() || !snapshot.trust.lasting)
        return false;
    // The cache home and our folder in it are made private, as the cache's convention asks.
    ::mkdir(parentOf(folder_).c_str(), privateFolder);
    ::mkdir(folder_.c_str(), privateFolder);
    const base::Descriptor folder(openFolder(folder_));
    if (!folder.valid())
        return false;
    const std::string name = fileName(snapshot.rootPath());
    std::string temporary;
    bool written = false;
    {
        const base::Descriptor file(createTemporary(folder.get(), name, temporary));
        if (!file.valid())
            return false;
        written = ::fchmod(file.get(), privateFile) == 0 &&
                  writeSnapshotFile(snapshot, file.get(), cancel, facts) &&
                  (!temporary.empty() || nameTemporary(file.get(), folder.get(), name, temporary));
    }
    if (written && ::renameat(folder.get(), temporary.c_str(), folder.get(), name.c_str()) == 0)
        return true;
    if (!temporary.empty())
        ::unlinkat(folder.get(), temporary.c_str(), 0);
    return false;
}

} // namespace search_component::plugin
