// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "search_component/plugin/DriveSnapshot.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace search_component::plugin {

// A drive's snapshot as a file, so that the first search of a later run only has to check it.
//
// The file is this machine's own (native byte order, little-endian on every machine we build for):
//   header    magic "LSNAPSHT", u32 version, u32 header bytes, the file system's identity, the time
//             rounding, u32 root path bytes, u32 folders, u64 entries, u64 listing bytes, u64 checksum
//   body      the root path; per folder its inode, modification and change times (u64, i64, i64),
//             then per folder its flags (u8); then the folders' listings side by side, as kept in
//             memory (see ListingCursor), a folder entry naming its folder's number
// Folders are numbered in the snapshot's order, so a folder's number is larger than its parent's.
// The checksum covers the whole file, its own field taken as zero.
//
// Nothing read is trusted: every count and length is checked against the bytes at hand, names must be
// names (no '/', no NUL, not "." or "..") in strictly ascending byte order, and the folders must form
// one tree. A file that fails any check is no snapshot.

struct SnapshotFileFacts {
    std::uint64_t folders = 0;
    std::uint64_t entries = 0;
    std::uint64_t bytes = 0;
};

// Writes the snapshot's live folders to `fd` (an empty file) from its start. False when a write
// failed or `cancel` was set meanwhile; what was written is then to be thrown away.
bool writeSnapshotFile(const DriveSnapshot &snapshot, int fd, const std::atomic<bool> &cancel,
                       SnapshotFileFacts *facts = nullptr);

// The snapshot a file holds (`fd` at its start), if it is sound, of the root `path` and of the file system
// `identity`, with times kept as `trust` keeps them. The snapshot takes `trust` and `identity`; its mount is
// the caller's to set.
std::unique_ptr<DriveSnapshot> readSnapshotFile(int fd, const std::string &path,
                                                const FileSystemIdentity &identity, const TimeTrust &trust);

// A 64-bit checksum of a byte stream in the manner of xxHash64: fast enough to cover a snapshot of a
// million entries in a few milliseconds, and any change of a byte changes it.
class Checksum {
public:
    Checksum();
    void add(const void *data, std::size_t size);
    std::uint64_t value() const;

private:
    std::uint64_t lanes_[4];
    unsigned char pending_[32];
    std::size_t pendingBytes_ = 0;
    std::uint64_t total_ = 0;
};

} // namespace search_component::plugin
