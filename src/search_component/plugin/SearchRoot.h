#pragma once

#include "DriveSnapshot.h"

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace lumsift {

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

private:
    SearchRoot() = default;
    int fd_ = -1;
    MountIdentity mount_;
    TimeTrust trust_;
    FileSystemIdentity identity_;
};

} // namespace lumsift
