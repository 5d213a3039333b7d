// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "search_component/plugin/DriveSnapshot.h"
#include "search_component/plugin/SearchRoot.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace search_component::plugin {

struct WalkOptions {
    unsigned workers = 0;                    // 0: one per core
    std::size_t readBufferBytes = 128 << 10; // per worker, for getdents64
    unsigned maxHeldDescriptors = 0;         // folders kept open for their children; 0: from RLIMIT_NOFILE
    std::int64_t roundTimesToNs = 0;         // tests: act as if the file system kept times this coarsely
    unsigned maxWorkers = 0;                 // while workers wait for the disk; 0: 16, or workers if more
    // For a file system that may stop answering: when no folder has been read for this long while reads
    // are waiting, it has stopped; what was not read is given up like an unreadable folder. 0: wait.
    std::chrono::milliseconds answerDeadline{0};
};

struct WalkStats {
    std::uint64_t entries = 0;        // entries read
    std::uint64_t folders = 0;        // folders read, first reads and re-reads
    std::uint64_t skippedFolders = 0; // unreadable, vanished, or on another mount
    std::uint64_t reopenedByPath = 0; // opened from the root because the parent's descriptor was given up
    unsigned workersUsed = 0;         // workers that read or checked at least one folder
    std::uint64_t checkedFolders = 0; // known folders whose identity and times were compared
    std::uint64_t rereadFolders = 0;  // known folders read again: changed, racy, or skipped before
    std::uint64_t freshSubtrees = 0;  // folders read anew with everything below them
    bool changed = false;             // the snapshot is not what it was before the pass
    bool gaveUp = false;              // the file system stopped answering: the rest was given up
};

// One pass that makes a snapshot equal to the disk: the first read of an empty snapshot, or the
// revalidation of a known one. Revalidation compares every known folder's identity and times with a
// statx of it (in parallel), re-reads the folders that changed or whose times were racy, reads anew the
// subtrees of folders that were replaced, could not be checked, or were skipped or cut short before,
// and the subtrees of new folders, and drops the subtrees of folders that are gone.
//
// The walk is the same for all reads: one worker per core, more while workers wait for the disk (see
// WorkTeam), each with its own queue of folders (newest
// first), stealing the oldest folder of another when its own is empty; openat relative to the parent
// with a bounded number of descriptors held; getdents64 with a large buffer and d_type; symlinks never
// followed; other mounts not entered; folders that cannot be read kept empty and tried again next time.
//
// While a first read runs, the consumer may read every folder whose listing has been published
// (DriveSnapshot::isRead); during a revalidation it must leave the snapshot alone until it is done.
class SnapshotRefresh {
public:
    // With an answer deadline, workers stuck in calls that do not return are left behind when the pass
    // gives up; `keepAlive` then keeps what they use (the snapshot and the root) until they return.
    SnapshotRefresh(DriveSnapshot &snapshot, const SearchRoot &root, WalkOptions options = {},
                    std::shared_ptr<const void> keepAlive = {});
    ~SnapshotRefresh(); // waits for the pass to end
    SnapshotRefresh(const SnapshotRefresh &) = delete;
    SnapshotRefresh &operator=(const SnapshotRefresh &) = delete;

    void start();
    // Waits until the pass is complete or the deadline has passed; true when complete.
    bool waitUntil(std::chrono::steady_clock::time_point deadline);
    // A folder being read or checked now (noIndex if none); valid while the snapshot lives.
    std::uint32_t folderInProgress() const;
    // During a revalidation: the order as it was before it, and how many of its first folders have
    // been checked with every folder before them unchanged. Those folders, their entries and their
    // place in the order stay as they are, so the consumer may match them before the pass is done.
    const std::vector<std::uint32_t> &checkedOrder() const;
    std::size_t unchangedPrefix();
    WalkStats stats() const; // complete once done
    double seconds() const;  // from start to done

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

// Reads or revalidates a snapshot to its end on the calling thread's behalf.
WalkStats refreshSnapshot(DriveSnapshot &snapshot, const SearchRoot &root, WalkOptions options = {});

} // namespace search_component::plugin
