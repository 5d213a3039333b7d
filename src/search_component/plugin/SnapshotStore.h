// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "search_component/plugin/SnapshotCache.h"

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace search_component::plugin {

// The snapshots of the drives searched so far, by root path, and, with a cache, their files. After a
// search a snapshot with much garbage is compacted and a changed one written to its file, on a thread
// of their own. Whoever needs the snapshot next waits for the compaction, but not for the file: its
// writing stops, and the file is written again after that search.
class SnapshotStore {
public:
    SnapshotStore() = default; // in memory only
    explicit SnapshotStore(SnapshotCache cache);
    ~SnapshotStore(); // stops the files being written and waits for the threads still running
    SnapshotStore(const SnapshotStore &) = delete;
    SnapshotStore &operator=(const SnapshotStore &) = delete;

    // Takes the root's snapshot out of the store for a search: the one kept in memory, else the one
    // its file holds (`fromFile`), if it can be brought up to date from `opened`; nullptr otherwise.
    std::unique_ptr<DriveSnapshot> take(const SearchRoot &opened, const std::string &root, bool &fromFile);
    // `compact`: replace the snapshot by its compacted copy, made meanwhile; `changed`: the search changed
    // it, so its file is written (as it is when its last writing did not end).
    void keep(std::unique_ptr<DriveSnapshot> snapshot, bool compact = false, bool changed = false);
    void drop(const std::string &root);
    // Drops the snapshots of roots whose file system is no longer mounted where it was.
    void dropVanished();
    const DriveSnapshot *find(const std::string &root);
    std::size_t size() const { return snapshots_.size(); }
    // Waits until every snapshot is compacted and written; after `patience`, a file still being written
    // is left as it was.
    void settleAll(std::chrono::milliseconds patience = std::chrono::milliseconds::max());

private:
    struct Kept {
        std::unique_ptr<DriveSnapshot> snapshot;
        std::unique_ptr<DriveSnapshot> compacted;
        std::thread working;
        std::atomic<bool> stopWriting{false};
        std::atomic<bool> worked{false}; // the thread's work is done
    };
    // Waits for the snapshot's compaction and writing, if any (`stopWriting`: the writing ends at once,
    // leaving the file as it was), and puts the compacted copy in place.
    static void settle(Kept &kept, bool stopWriting = true);

    std::optional<SnapshotCache> cache_;
    std::map<std::string, Kept> snapshots_;
};

} // namespace search_component::plugin
