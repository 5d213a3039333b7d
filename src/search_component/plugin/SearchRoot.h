// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "search_component/plugin/DriveSnapshot.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace search_component::plugin {

// What every statx of the walk asks for.
constexpr unsigned folderStatMask = STATX_TYPE | STATX_INO | STATX_MTIME | STATX_CTIME | STATX_MNT_ID;

inline std::int64_t nanoseconds(const struct statx_timestamp &t) {
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

MountIdentity mountOf(const struct statx &info);

// The folder a search starts from, opened, with what a snapshot of it needs to know.
class SearchRoot {
public:
    // Empty when the path cannot be opened as a folder.
    static std::optional<SearchRoot> open(const std::string &path, std::int64_t roundTimesToNs = 0);
    SearchRoot(SearchRoot &&other) noexcept;
    SearchRoot &operator=(SearchRoot &&) = delete;
    ~SearchRoot();

    int fd() const { return fd_; }
    std::uint64_t ino() const { return identity_.rootIno; }
    const MountIdentity &mount() const { return mount_; }
    const TimeTrust &trust() const { return trust_; }
    const FileSystemIdentity &identity() const { return identity_; }
    // Whether a snapshot taken of this root before can be brought up to date.
    bool canRevalidate(const DriveSnapshot &snapshot) const;
    // An empty snapshot for this root, ready for its first read.
    std::unique_ptr<DriveSnapshot> newSnapshot(const std::string &path) const;
    // Makes a snapshot kept from an earlier run this root's, once its file system proved the same.
    void adopt(DriveSnapshot &snapshot) const;

    // Whether another file system is mounted at this path below the root ("a/b", no leading '/'), as
    // the mount table said when the root was opened. A walk passes such a folder by without a call on
    // it, so that a file system that stopped answering holds up no one; `name` is its last component.
    bool isMountPoint(std::string_view name, const std::function<std::string_view()> &relativePath) const;
    bool isMountPoint(std::string_view relativePath) const;

private:
    SearchRoot() = default;
    int fd_ = -1;
    MountIdentity mount_;
    TimeTrust trust_;
    FileSystemIdentity identity_;
    std::set<std::string, std::less<>> mountsBelow_;
    std::set<std::string, std::less<>> mountNames_; // their last components
};

// Opens a search root on a thread of its own: the root of a file system that stopped answering holds
// up no one. The caller waits in slices, and gives up when it will; the thread is then left behind.
class RootOpener {
public:
    RootOpener(std::string path, std::int64_t roundTimesToNs = 0);
    // Whether the open has ended, waiting for it until `until` at most.
    bool waitUntil(std::chrono::steady_clock::time_point until);
    // Once ended: the root, or nullptr when it could not be opened as a folder.
    std::shared_ptr<const SearchRoot> root() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace search_component::plugin
