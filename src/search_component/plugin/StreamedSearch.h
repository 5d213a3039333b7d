#pragma once

#include "SnapshotMatch.h"
#include "SnapshotRefresh.h"
#include "search_component/SearchComponent.h"

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>

class QWidget;

namespace lumsift {

struct StreamOptions {
    // How often results reach the sink, the caption is renewed and events are processed.
    std::chrono::milliseconds tick{15};
    WalkOptions walk;
};

// The snapshots of the drives searched so far, by root path. A snapshot with much garbage is compacted
// on a thread of its own after its search; whoever needs it next waits for that.
class SnapshotStore {
public:
    SnapshotStore() = default;
    ~SnapshotStore(); // waits for the compactions still running
    SnapshotStore(const SnapshotStore &) = delete;
    SnapshotStore &operator=(const SnapshotStore &) = delete;

    // Takes the root's snapshot out of the store for a search; nullptr when there is none.
    std::unique_ptr<DriveSnapshot> take(const std::string &root);
    // `compact`: replace the snapshot by its compacted copy, made meanwhile.
    void keep(std::unique_ptr<DriveSnapshot> snapshot, bool compact = false);
    void drop(const std::string &root);
    // Drops the snapshots of roots that are gone, unreadable, or another folder now.
    void dropVanished();
    const DriveSnapshot *find(const std::string &root);
    std::size_t size() const { return snapshots_.size(); }

private:
    struct Kept {
        std::unique_ptr<DriveSnapshot> snapshot;
        std::unique_ptr<DriveSnapshot> compacted;
        std::thread compacting;
    };
    // Waits for the snapshot's compaction, if any, and puts its result in place.
    static void settle(Kept &kept);

    std::map<std::string, Kept> snapshots_;
};

// How a search went.
struct SearchReport {
    bool fromSnapshot = false; // revalidated a snapshot kept from an earlier search
    WalkStats walk;
    std::size_t results = 0;
    double refreshSeconds = 0; // reading or checking the drive
    double totalSeconds = 0;   // until every result was in the sink
};

// Runs a search of `root` (absolute path bytes) to its end on the calling thread's behalf. The drive's
// snapshot is read for the first time, or revalidated and matched on every core. Every tick the new
// results reach the sink in order (their folders first), the folder being read or checked is written
// into the form's caption, and events other than user input are processed, so that the program's
// timers keep running. Returns when every result is in the sink; the snapshot goes back to the store
// unless its file system's folder times cannot be trusted.
SearchReport streamSearch(ResultSink &sink, SnapshotStore &store, const std::string &root,
                          const NameMatcher &matcher, QWidget &form, const StreamOptions &options = {});

// The root a folder text names: absolute, trailing separators dropped ("/" stays "/"). Empty when the
// text is not an absolute path.
std::string searchRoot(const QString &folder);

} // namespace lumsift
