// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/plugin/SnapshotMatch.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace search_component::plugin {

void ResultBatch::add(std::uint32_t folder, std::string_view name) {
    hits.push_back(FoundName{folder, std::uint32_t(names.size()), std::uint32_t(name.size())});
    names += name;
}

void ResultBatch::clear() {
    names.clear();
    hits.clear();
}

void matchFolder(const DriveSnapshot &snapshot, std::uint32_t folder, const NameMatcher &matcher,
                 ResultBatch &into) {
    const ListingRef ref = snapshot.folders[folder].listing.load(std::memory_order_acquire);
    const unsigned char *listing = snapshot.listings.at(ref);
    std::uint32_t bytes;
    std::memcpy(&bytes, listing + 4, sizeof bytes);
    const unsigned char *const end = listing + bytes;
    for (const unsigned char *p = listing + listingHeaderBytes; p < end;) {
        const std::size_t length = p[0];
        const std::uint8_t type = p[1];
        const std::string_view name(reinterpret_cast<const char *>(p + 2), length);
        p += 2 + length;
        if (type == folderType)
            p += 4;
        else if (matcher.matches(name))
            into.add(folder, name);
    }
}

ReadCursor::ReadCursor(const DriveSnapshot &snapshot, const NameMatcher &matcher)
    : snapshot_(snapshot)
    , matcher_(matcher) {}

bool ReadCursor::advance(ResultBatch &into, std::size_t limit) {
    if (finished_)
        return true;
    if (!started_) {
        if (!snapshot_.isRead(DriveSnapshot::root))
            return false;
        started_ = true;
        enter(DriveSnapshot::root, into);
    }
    while (!stack_.empty()) {
        if (into.hits.size() >= limit)
            return false;
        std::uint32_t child = waitingFor_;
        if (child == noIndex) {
            ListingEntry entry;
            bool found = false;
            while (!found && stack_.back().children.next(entry))
                found = entry.type == folderType;
            if (!found) {
                stack_.pop_back();
                continue;
            }
            child = entry.child;
        }
        if (!snapshot_.isRead(child)) {
            waitingFor_ = child;
            return false;
        }
        waitingFor_ = noIndex;
        enter(child, into);
    }
    finished_ = true;
    return true;
}

void ReadCursor::enter(std::uint32_t folder, ResultBatch &into) {
    matchFolder(snapshot_, folder, matcher_, into);
    stack_.push_back(Frame{folder, snapshot_.entries(folder)});
}

struct ParallelMatch::Impl {
    struct Run {
        std::size_t begin, end; // in the snapshot's order
    };
    struct Slot {
        ResultBatch batch;
        std::size_t run = SIZE_MAX; // whose results it holds
    };

    Impl(const DriveSnapshot &snapshotToMatch, const NameMatcher &nameMatcher, unsigned workerCount,
         unsigned windowSize, std::size_t from);
    void work();

    const DriveSnapshot &snapshot;
    const NameMatcher &matcher;
    unsigned workers;
    std::vector<Run> runs;
    std::vector<Slot> outbox;

    std::mutex mutex;
    std::condition_variable resultReady; // the consumer waits for the next run
    std::condition_variable roomReady;   // workers wait for a free slot
    std::size_t nextRun = 0;             // under mutex
    std::size_t consumed = 0;            // under mutex
    bool stopping = false;               // under mutex
    std::vector<std::thread> threads;
};

ParallelMatch::Impl::Impl(const DriveSnapshot &snapshotToMatch, const NameMatcher &nameMatcher,
                          unsigned workerCount, unsigned windowSize, std::size_t from)
    : snapshot(snapshotToMatch)
    , matcher(nameMatcher)
    , workers(workerCount ? workerCount : std::max(1u, std::thread::hardware_concurrency())) {
    const std::vector<std::uint32_t> &starts = snapshot.runs;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : snapshot.order.size();
        if (end > from)
            runs.push_back(Run{std::max<std::size_t>(starts[i], from), end});
    }
    outbox.resize(std::max(windowSize ? windowSize : 4 * workers, 1u));
}

void ParallelMatch::Impl::work() {
    for (;;) {
        std::size_t run;
        {
            std::unique_lock lock(mutex);
            roomReady.wait(lock, [this] {
                return stopping || nextRun >= runs.size() || nextRun < consumed + outbox.size();
            });
            if (stopping || nextRun >= runs.size())
                return;
            run = nextRun++;
        }
        // The slot's previous run has been consumed: nobody else touches it until this one is.
        Slot &slot = outbox[run % outbox.size()];
        slot.batch.clear();
        for (std::size_t i = runs[run].begin; i < runs[run].end; ++i)
            if (snapshot.isRead(snapshot.order[i]))
                matchFolder(snapshot, snapshot.order[i], matcher, slot.batch);
        {
            std::lock_guard lock(mutex);
            slot.run = run;
        }
        resultReady.notify_one();
    }
}

ParallelMatch::ParallelMatch(const DriveSnapshot &snapshot, const NameMatcher &matcher, unsigned workers,
                             unsigned window, std::size_t from)
    : impl_(std::make_unique<Impl>(snapshot, matcher, workers, window, from)) {}

ParallelMatch::~ParallelMatch() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->roomReady.notify_all();
    for (std::thread &thread : impl_->threads)
        thread.join();
}

void ParallelMatch::start() {
    if (!impl_->threads.empty())
        return;
    const unsigned count = unsigned(std::min<std::size_t>(impl_->workers, impl_->runs.size()));
    for (unsigned i = 0; i < count; ++i)
        impl_->threads.emplace_back([this] { impl_->work(); });
}

ParallelMatch::Next ParallelMatch::next(ResultBatch &into, std::chrono::steady_clock::time_point deadline) {
    Impl &d = *impl_;
    std::unique_lock lock(d.mutex);
    if (d.consumed >= d.runs.size())
        return Next::Done;
    Impl::Slot &slot = d.outbox[d.consumed % d.outbox.size()];
    if (!d.resultReady.wait_until(lock, deadline, [&] { return slot.run == d.consumed; }))
        return Next::NotYet;
    std::swap(into.names, slot.batch.names);
    std::swap(into.hits, slot.batch.hits);
    lastFolder_ = d.snapshot.order[d.runs[d.consumed].begin];
    ++d.consumed;
    lock.unlock();
    d.roomReady.notify_all();
    return Next::Batch;
}

std::size_t matchAll(const DriveSnapshot &snapshot, const NameMatcher &matcher, ResultBatch *into) {
    ParallelMatch match(snapshot, matcher);
    match.start();
    ResultBatch batch;
    std::size_t found = 0;
    for (;;) {
        const ParallelMatch::Next next =
            match.next(batch, std::chrono::steady_clock::now() + std::chrono::seconds(1));
        if (next == ParallelMatch::Next::Done)
            return found;
        if (next == ParallelMatch::Next::NotYet)
            continue;
        found += batch.hits.size();
        if (into) {
            const auto base = std::uint32_t(into->names.size());
            into->names += batch.names;
            for (FoundName hit : batch.hits) {
                hit.offset += base;
                into->hits.push_back(hit);
            }
        }
    }
}

} // namespace search_component::plugin
