// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "search_component/SearchComponent.h"
#include "search_component/plugin/DriveSnapshot.h"
#include "search_component/plugin/NameMatcher.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace search_component::plugin {

// Found names: each with its folder in the snapshot (not yet the sink's id) and a slice of `names`.
struct ResultBatch {
    std::string names;
    std::vector<FoundName> hits;

    void add(std::uint32_t folder, std::string_view name);
    void clear();
    bool empty() const { return hits.empty(); }
};

// Appends the matching names of one folder (every entry that is not a folder: a file finder lists
// files; folders are searched, not listed) in their order.
void matchFolder(const DriveSnapshot &snapshot, std::uint32_t folder, const NameMatcher &matcher,
                 ResultBatch &into);

// The results of a snapshot whose first read is still running, in order: a folder's matching names,
// then its subfolders' trees in byte order of their names. It follows the folders already read and
// stops at the first one that is not.
class ReadCursor {
public:
    ReadCursor(const DriveSnapshot &snapshot, const NameMatcher &matcher);
    // Adds results until it meets a folder not read yet or `into` holds at least `limit` hits.
    // True when every result has been added.
    bool advance(ResultBatch &into, std::size_t limit);

private:
    struct Frame {
        std::uint32_t folder;
        ListingCursor children;
    };
    void enter(std::uint32_t folder, ResultBatch &into);

    const DriveSnapshot &snapshot_;
    const NameMatcher &matcher_;
    std::vector<Frame> stack_;
    std::uint32_t waitingFor_ = noIndex;
    bool started_ = false;
    bool finished_ = false;
};

// Matches the names of a complete snapshot on worker threads, one per core, in runs of consecutive
// folders of its order; the consumer takes the runs' results in order. At most `window` results wait
// for the consumer: a slow consumer slows the workers instead of growing memory.
class ParallelMatch {
public:
    // Matches the folders of the snapshot's order from position `from` on.
    ParallelMatch(const DriveSnapshot &snapshot, const NameMatcher &matcher, unsigned workers = 0,
                  unsigned window = 0, std::size_t from = 0);
    ~ParallelMatch(); // stops the workers
    ParallelMatch(const ParallelMatch &) = delete;
    ParallelMatch &operator=(const ParallelMatch &) = delete;

    void start();
    enum class Next { Batch, NotYet, Done };
    // Swaps the next run's results into `into` (Batch), or waits for them until the deadline (NotYet).
    Next next(ResultBatch &into, std::chrono::steady_clock::time_point deadline);
    // Of the run handed out last: its first folder (noIndex before the first).
    std::uint32_t lastFolder() const { return lastFolder_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::uint32_t lastFolder_ = noIndex;
};

// Every result of a complete snapshot, in order, matched on every core (the bench times this alone).
std::size_t matchAll(const DriveSnapshot &snapshot, const NameMatcher &matcher, ResultBatch *into = nullptr);

} // namespace search_component::plugin
