// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/plugin/StreamedSearch.h"

#include "platform/PathCodec.h"

#include <QCoreApplication>
#include <QWidget>

#include <vector>

namespace search_component::plugin {

namespace {

using Clock = std::chrono::steady_clock;

// Hits taken from the cursor at once while a first read is emitted, between looks at the clock.
constexpr std::size_t hitsPerDelivery = 32768;

// Hands results to the sink, their folders first (ancestors before descendants, each once per search),
// and keeps the caption and the event loop going. Events are processed every tick, but results enter
// the list only every few ticks: each insertion makes the list repaint the rows in sight, which costs
// more than the insertion itself.
class Streamer {
public:
    Streamer(ResultSink &sink, QWidget &form, const DriveSnapshot &snapshot, std::chrono::milliseconds tick)
        : sink_(sink)
        , form_(form)
        , snapshot_(snapshot)
        , tick_(tick)
        , lastTick_(Clock::now())
        , lastFlush_(lastTick_) {}

    void take(const ResultBatch &batch) {
        if (batch.empty())
            return;
        const auto base = std::uint32_t(arena_.size());
        arena_ += batch.names;
        for (const FoundName &hit : batch.hits)
            names_.push_back(FoundName{idOf(hit.folder), base + hit.offset, hit.length});
        caption_ = batch.hits.back().folder;
    }

    void flush() {
        if (names_.empty())
            return;
        sink_.appendFiles(names_, arena_);
        delivered += names_.size();
        names_.clear();
        arena_.clear();
    }

    // The folder the caption shows from the next tick on.
    void follow(std::uint32_t folder) {
        if (folder != noIndex)
            caption_ = folder;
    }

    void showCaption() {
        if (caption_ == shown_ || caption_ == noIndex)
            return;
        shown_ = caption_;
        form_.setWindowTitle(platform::decodePath(snapshot_.path(shown_)));
    }

    Clock::time_point nextTick() const { return lastTick_ + tick_; }
    bool tickDue() const { return Clock::now() >= nextTick(); }

    void tick() {
        const Clock::time_point now = Clock::now();
        if (now - lastFlush_ >= flushInterval || names_.size() >= maxPending) {
            flush();
            lastFlush_ = now;
        }
        showCaption();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        lastTick_ = Clock::now();
    }

    void tickIfDue() {
        if (tickDue())
            tick();
    }

    std::size_t delivered = 0;

private:
    std::uint32_t idOf(std::uint32_t folder) {
        if (folder >= ids_.size())
            ids_.resize(std::max<std::size_t>(folder + 1, ids_.size() * 2), noFolder);
        if (ids_[folder] != noFolder)
            return ids_[folder];
        unknown_.clear();
        for (std::uint32_t f = folder; f != noIndex && ids_[f] == noFolder; f = snapshot_.folders[f].parent)
            unknown_.push_back(f);
        for (auto it = unknown_.rbegin(); it != unknown_.rend(); ++it) {
            const std::uint32_t parent = snapshot_.folders[*it].parent;
            ids_[*it] = sink_.addFolder(parent == noIndex ? noFolder : ids_[parent], snapshot_.name(*it));
        }
        return ids_[folder];
    }

    ResultSink &sink_;
    QWidget &form_;
    const DriveSnapshot &snapshot_;
    static constexpr std::chrono::milliseconds flushInterval{90};
    static constexpr std::size_t maxPending = 1 << 18;

    std::chrono::milliseconds tick_;
    Clock::time_point lastTick_;
    Clock::time_point lastFlush_;
    std::vector<std::uint32_t> ids_;
    std::vector<std::uint32_t> unknown_;
    std::vector<FoundName> names_;
    std::string arena_;
    std::uint32_t caption_ = DriveSnapshot::root;
    std::uint32_t shown_ = noIndex;
};

// A first read: the results of the folders read so far go out in order while the read goes on.
void emitWhileReading(SnapshotRefresh &refresh, ReadCursor &cursor, Streamer &streamer) {
    ResultBatch batch;
    bool read = false;
    for (bool emitted = false; !emitted;) {
        if (!read)
            read = refresh.waitUntil(streamer.nextTick());
        bool stuck = false;
        do {
            batch.clear();
            emitted = cursor.advance(batch, hitsPerDelivery);
            streamer.take(batch);
            // Once everything is read the cursor always gets to the end; not doing so would hang.
            stuck = read && !emitted && batch.empty();
        } while (!emitted && !stuck && batch.hits.size() >= hitsPerDelivery && !streamer.tickDue());
        if (stuck)
            break;
        if (!read)
            streamer.follow(refresh.folderInProgress());
        streamer.tickIfDue();
    }
}

// A revalidated snapshot. While the check goes on, the folders it has proved unchanged, with every
// folder before them, go out in order; the rest is matched on every core once the check is done.
void emitWhileChecking(SnapshotRefresh &refresh, const DriveSnapshot &snapshot, const NameMatcher &matcher,
                       unsigned workers, Streamer &streamer) {
    constexpr std::size_t foldersAtOnce = 256;
    const std::vector<std::uint32_t> &checked = refresh.checkedOrder();
    std::size_t emitted = 0;
    ResultBatch batch;
    for (;;) {
        const bool ahead = emitted < refresh.unchangedPrefix();
        if (refresh.waitUntil(ahead ? Clock::now() : streamer.nextTick()))
            break;
        const std::size_t end = std::min(refresh.unchangedPrefix(), emitted + foldersAtOnce);
        batch.clear();
        for (; emitted < end; ++emitted)
            matchFolder(snapshot, checked[emitted], matcher, batch);
        streamer.take(batch);
        streamer.follow(refresh.folderInProgress());
        streamer.tickIfDue();
    }
    // The check leaves the first `emitted` folders of the order as they were.
    ParallelMatch match(snapshot, matcher, workers, 0, emitted);
    match.start();
    for (;;) {
        const ParallelMatch::Next next = match.next(batch, streamer.nextTick());
        if (next == ParallelMatch::Next::Done)
            return;
        if (next == ParallelMatch::Next::Batch) {
            streamer.follow(match.lastFolder());
            streamer.take(batch);
        }
        streamer.tickIfDue();
    }
}

// Opens the root on a thread of its own and processes events while it waits: the root of a drive that
// stopped answering ends the search at the deadline, with nothing found.
std::shared_ptr<const SearchRoot> openRoot(const std::string &root, const StreamOptions &options,
                                           SearchReport &report) {
    RootOpener opener(root, options.walk.roundTimesToNs);
    const Clock::time_point giveUpAt = Clock::now() + options.answerDeadline;
    while (!opener.waitUntil(std::min(giveUpAt, Clock::now() + options.tick))) {
        if (Clock::now() >= giveUpAt) {
            report.unanswered = true;
            return nullptr;
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    return opener.root();
}

} // namespace

SearchReport streamSearch(ResultSink &sink, SnapshotStore &store, const std::string &root,
                          const NameMatcher &matcher, QWidget &form, const StreamOptions &options) {
    SearchReport report;
    const std::shared_ptr<const SearchRoot> opened = openRoot(root, options, report);
    if (!opened) {
        store.drop(root);
        return report;
    }
    std::unique_ptr<DriveSnapshot> kept = store.take(*opened, root, report.fromFile);
    report.fromSnapshot = kept != nullptr;
    if (!kept)
        kept = opened->newSnapshot(root);
    // A file system that may stop answering is read by workers that may be left behind in it: they keep
    // the snapshot and the root. Its snapshot is never kept anyway.
    WalkOptions walk = options.walk;
    std::shared_ptr<DriveSnapshot> shared;
    std::shared_ptr<const void> keepAlive;
    if (!opened->trust().usable) {
        walk.answerDeadline = options.answerDeadline;
        shared = std::move(kept);
        keepAlive =
            std::make_shared<std::pair<std::shared_ptr<DriveSnapshot>, std::shared_ptr<const SearchRoot>>>(
                shared, opened);
    }
    DriveSnapshot &snapshot = shared ? *shared : *kept;

    Streamer streamer(sink, form, snapshot, options.tick);
    streamer.showCaption();
    const Clock::time_point start = Clock::now();
    {
        SnapshotRefresh refresh(snapshot, *opened, walk, keepAlive);
        refresh.start();
        if (report.fromSnapshot) {
            emitWhileChecking(refresh, snapshot, matcher, walk.workers, streamer);
        } else {
            ReadCursor cursor(snapshot, matcher);
            emitWhileReading(refresh, cursor, streamer);
        }
        while (!refresh.waitUntil(Clock::now() + options.tick)) {
        }
        report.walk = refresh.stats();
        report.refreshSeconds = refresh.seconds();
        report.unanswered = report.walk.gaveUp;
    }

    // The last results; even a search shorter than a tick lets the timers run once.
    streamer.flush();
    streamer.tick();
    report.results = streamer.delivered;
    report.totalSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!kept || !kept->trust.usable)
        return report;
    const bool compact = kept->wantsCompaction();
    store.keep(std::move(kept), compact, report.walk.changed);
    return report;
}

std::string searchRoot(const QString &folder) {
    QByteArray bytes = platform::encodePath(folder);
    if (!bytes.startsWith('/'))
        return {};
    while (bytes.size() > 1 && bytes.endsWith('/'))
        bytes.chop(1);
    return bytes.toStdString();
}

} // namespace search_component::plugin
