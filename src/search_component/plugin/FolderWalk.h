#pragma once

#include "NameMatcher.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumsift {

// A folder met by a walk. Nodes live as long as the walk, so results and the caption may point at them.
// The root's name is the walk's absolute root path; every other name is one path component. The name's
// bytes follow the node in memory, with a NUL after them.
struct FolderNode {
    FolderNode(const FolderNode *parentFolder, std::uint32_t length)
        : parent(parentFolder)
        , nameLength(length) {}

    std::string_view name() const { return {reinterpret_cast<const char *>(this + 1), nameLength}; }

    const FolderNode *parent;
    std::uint32_t nameLength;
    // The consumer's id for this folder; only the consuming thread sets and reads it.
    mutable std::uint32_t sinkId = UINT32_MAX;
    // The descriptor children are opened from (-1: none held), and the children not opened yet.
    int descriptor = -1;
    std::atomic<std::uint32_t> unopenedChildren{0};
};

// The full path of a folder as bytes; at a root of "/" the separator is not doubled.
std::string folderPath(const FolderNode *folder);

// A found name: its folder and a slice of the batch's names.
struct Hit {
    const FolderNode *folder;
    std::uint32_t offset;
    std::uint32_t length;
};

struct ResultBatch {
    std::string names;
    std::vector<Hit> hits;

    void add(const FolderNode *folder, std::string_view name);
    // Moves the other batch's hits to the end of this one, leaving it empty.
    void takeFrom(ResultBatch &other);
    void clear();
    bool empty() const { return hits.empty(); }
};

struct WalkOptions {
    unsigned workers = 0;                    // 0: one per core
    std::size_t readBufferBytes = 128 << 10; // per worker, for getdents64
    unsigned maxHeldDescriptors = 0;         // folders kept open for their children; 0: from RLIMIT_NOFILE
};

struct WalkStats {
    std::uint64_t entries = 0;
    std::uint64_t folders = 0;
    std::uint64_t skippedFolders = 0; // unreadable, vanished, or on another mount
    std::uint64_t reopenedByPath = 0; // opened from the root because the parent's descriptor was given up
    unsigned workersUsed = 0;         // workers that read at least one folder
};

// A parallel walk of one folder tree: every entry that is not a directory and whose name matches is a
// result (a file finder lists files; folders are walked, not listed). Symlinks are results by name and
// never followed; other mounts are not entered; folders that cannot be read are skipped silently.
// Workers keep their own queue of folders (newest first) and steal the oldest folder of another when
// theirs is empty, which spreads the big subtrees near the root.
class FolderWalk {
public:
    FolderWalk(std::string root, const NameMatcher &matcher, WalkOptions options = {});
    ~FolderWalk(); // stops an unfinished walk and waits for its workers
    FolderWalk(const FolderWalk &) = delete;
    FolderWalk &operator=(const FolderWalk &) = delete;

    void start();
    // Waits until the walk is complete or the deadline has passed; true when complete.
    bool waitUntil(std::chrono::steady_clock::time_point deadline);
    bool done() const;
    // Appends the results published since the last call. After done() this includes every result.
    void takeResults(ResultBatch &into);
    // A folder being read now (nullptr before the start); it stays valid while the walk lives.
    const FolderNode *folderInProgress() const;
    const FolderNode *root() const;
    WalkStats stats() const; // complete once done()

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace lumsift
