// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/plugin/SnapshotRefresh.h"

#include "search_component/plugin/WorkTeam.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <thread>
#include <utility>

namespace search_component::plugin {

namespace {

constexpr int folderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int pathOpenFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr unsigned statMask = folderStatMask;
constexpr std::int64_t second = 1000000000;
// Known folders are checked in runs of this many, in order, so that paths are built incrementally.
constexpr std::size_t checkRun = 256;

std::int64_t realtimeNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return std::int64_t(now.tv_sec) * second + now.tv_nsec;
}

bool isDotOrDotDot(const char *name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

std::uint8_t typeByStat(int folderFd, const char *name) {
    struct stat info;
    if (::fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return DT_UNKNOWN;
    return std::uint8_t(IFTODT(info.st_mode));
}

unsigned teamSize(unsigned workers) {
    return std::min(workers == 0 ? std::max(1u, std::thread::hardware_concurrency()) : workers, 64u);
}

// Enough reads in flight for a disk that is read cold: measured, 16 threads read a cold tree more
// than twice as fast as 2 do.
unsigned teamLimit(const WalkOptions &options) {
    return std::max(teamSize(options.workers),
                    std::min(options.maxWorkers == 0 ? 16u : options.maxWorkers, 64u));
}

unsigned descriptorBudget() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 256;
    return unsigned(std::clamp<rlim_t>(limit.rlim_cur / 4, 8, 256));
}

// Byte order of names: the order of listings and of the results.
bool byteLess(std::string_view a, std::string_view b) {
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    return c < 0 || (c == 0 && a.size() < b.size());
}

std::int64_t roundDown(std::int64_t ns, std::int64_t granularity) {
    if (granularity <= 1)
        return ns;
    const std::int64_t rest = ns % granularity;
    return ns - (rest < 0 ? rest + granularity : rest);
}

// Racy: a change after the read could have left the times as they were.
bool isRacy(const TimeTrust &trust, std::int64_t mtime, std::int64_t ctime, std::int64_t readAt) {
    const bool wholeSeconds = mtime % second == 0 && ctime % second == 0;
    return std::max(mtime, ctime) > readAt - (wholeSeconds ? trust.coarseNs : trust.slackNs);
}

enum Verdict : std::uint8_t { unchangedFolder, changedFolder, uncertainFolder };
enum RunState : std::uint8_t { uncheckedRun, cleanRun, changedRun };

} // namespace

namespace {

// An entry read from a folder; its name lies in the worker's name buffer.
struct ReadEntry {
    std::uint32_t offset;
    std::uint8_t length;
    std::uint8_t type;
};

struct Worker {
    std::size_t index = 0;
    std::mutex queueMutex;
    std::deque<std::uint32_t> queue; // own end: back; thieves take the front

    std::unique_ptr<char[]> buffer;
    std::string names;
    std::vector<ReadEntry> read;
    std::vector<ListingInput> sorted;
    std::vector<std::uint32_t> children;
    std::vector<ListingRef> nameAt;
    ListingStore::Writer writer;
    // The path of a folder relative to the root, and while checking in order, the folders it passes.
    std::string path;
    std::vector<std::pair<std::uint32_t, std::size_t>> pathStack;
    std::vector<std::uint32_t> chain;
    std::string mountPath;
    char name[NAME_MAX + 1];
    std::atomic<std::uint32_t> current{noIndex};
    // Whether the worker is inside a call into the file system that may not return (inCall), or was
    // given up on there (givenUp): the folder it was reading is then no longer its own.
    std::atomic<int> phase{0};
    WalkStats stats;
    std::int64_t entryDelta = 0;
    std::int64_t byteDelta = 0;
};

} // namespace

enum WorkerPhase : int { outsideCalls, inCall, givenUp };

struct SnapshotRefresh::Impl : std::enable_shared_from_this<SnapshotRefresh::Impl> {
    Impl(DriveSnapshot &snapshotToRefresh, const SearchRoot &searchRoot, WalkOptions walkOptions);

    void run();
    void firstRead();
    void revalidate();
    template <typename Work> void runTeam(Work work);

    // The walk of whole subtrees.
    void walk(const std::vector<std::uint32_t> &starts);
    void walkWorker(Worker &worker);
    std::uint32_t takeWork(Worker &worker);
    void visit(Worker &worker, std::uint32_t folder);
    int openForWalk(Worker &worker, std::uint32_t folder, bool &byPath);
    void releaseParent(std::uint32_t folder);
    void holdForChildren(std::uint32_t folder, int fd, std::size_t children);
    void queueChildren(Worker &worker);
    bool isMountPoint(Worker &worker, std::uint32_t parent, std::string_view name);

    // A file system that stops answering.
    bool enterCall(Worker &worker);
    bool leaveCall(Worker &worker);
    void noteProgress();
    bool stoppedAnswering();
    void giveUpUnread(const std::vector<std::uint32_t> &starts);

    // Reading one folder.
    const char *nameOf(Worker &worker, std::uint32_t folder);
    int openByPath(Worker &worker, std::uint32_t folder, int flags);
    bool readEntries(Worker &worker, std::uint32_t folder, int fd);
    void sortEntries(Worker &worker);
    void publish(Worker &worker, std::uint32_t folder, const struct statx &info, std::int64_t readAt,
                 std::uint8_t flags);
    void publishEmpty(std::uint32_t folder, std::uint8_t flags);

    // Revalidation.
    void checkWorker(Worker &worker);
    void check(Worker &worker, std::uint32_t folder);
    int statFolder(Worker &worker, std::uint32_t folder, struct statx &info);
    void rereadWorker(Worker &worker);
    void reread(Worker &worker, std::uint32_t folder);

    DriveSnapshot &snapshot;
    FolderTable &folders;
    const SearchRoot &root;
    WalkOptions options;
    WorkTeam team;
    std::vector<std::unique_ptr<Worker>> workers; // one per member the team may have

    std::atomic<long> pending{0};  // folders queued or being read by the walk
    std::atomic<unsigned> held{0}; // descriptors kept open for children
    std::vector<std::uint8_t> verdicts;
    // The order as it was before the revalidation, checked in runs of checkRun folders, and each
    // run's state; the runs up to the first that is not clean hold nothing that will change.
    std::vector<std::uint32_t> checkedOrder;
    std::unique_ptr<std::atomic<std::uint8_t>[]> runStates;
    std::size_t runCount = 0;
    std::size_t cleanRuns = 0; // used by the consumer only
    std::vector<std::uint32_t> tasks;
    std::atomic<std::size_t> nextTask{0};
    std::atomic<bool> structureChanged{false};
    std::size_t captionTurn = 0; // used by the consumer only
    WalkStats totals;

    std::shared_ptr<const void> keepAlive;
    std::atomic<bool> givingUp{false};
    std::atomic<std::int64_t> lastProgress{0}; // steady clock, ns

    std::thread coordinator;
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool started = false;
    bool reading = false; // a first read rather than a revalidation
    bool done = false;
    std::chrono::steady_clock::time_point startedAt;
    double seconds = 0;
};

SnapshotRefresh::Impl::Impl(DriveSnapshot &snapshotToRefresh, const SearchRoot &searchRoot,
                            WalkOptions walkOptions)
    : snapshot(snapshotToRefresh)
    , folders(snapshotToRefresh.folders)
    , root(searchRoot)
    , options(walkOptions)
    , team(teamSize(walkOptions.workers), teamLimit(walkOptions)) {
    options.workers = teamSize(options.workers);
    options.readBufferBytes = std::max<std::size_t>(options.readBufferBytes, 4096);
    if (options.maxHeldDescriptors == 0)
        options.maxHeldDescriptors = descriptorBudget();
    for (unsigned i = 0; i < team.limit(); ++i) {
        workers.push_back(std::make_unique<Worker>());
        workers.back()->index = i;
    }
}

void SnapshotRefresh::Impl::run() {
    if (reading)
        firstRead();
    else
        revalidate();
    for (auto &worker : workers) {
        const WalkStats &s = worker->stats;
        totals.entries += s.entries;
        totals.folders += s.folders;
        totals.skippedFolders += s.skippedFolders;
        totals.reopenedByPath += s.reopenedByPath;
        totals.checkedFolders += s.checkedFolders;
        totals.rereadFolders += s.rereadFolders;
        totals.workersUsed += s.folders + s.checkedFolders > 0 ? 1 : 0;
    }
    totals.changed = reading || totals.rereadFolders > 0 || structureChanged;
    std::lock_guard lock(doneMutex);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt).count();
    done = true;
    doneSignal.notify_all();
}

// Members hold the pass's state: on a file system that stopped answering, one may return long after.
template <typename Work> void SnapshotRefresh::Impl::runTeam(Work work) {
    WorkTeam::Watch watch;
    watch.giveUp = [this] { return stoppedAnswering(); };
    watch.isStuck = [this](unsigned member) { return workers[member]->phase.load() == givenUp; };
    noteProgress();
    team.run(
        [self = shared_from_this(), work](unsigned member) {
            Worker &worker = *self->workers[member];
            if (!worker.buffer)
                worker.buffer = std::make_unique<char[]>(self->options.readBufferBytes);
            work(worker);
            worker.current.store(noIndex, std::memory_order_release);
        },
        options.answerDeadline.count() > 0 ? &watch : nullptr);
}

// Entering and leaving a call that may never return: either the worker learns that the pass gives up
// before it calls, or the pass sees it inside the call and takes its folder over (seq_cst on both
// sides, so that one of them always sees the other).
bool SnapshotRefresh::Impl::enterCall(Worker &worker) {
    worker.phase.store(inCall);
    if (!givingUp.load())
        return true;
    worker.phase.store(outsideCalls);
    return false;
}

bool SnapshotRefresh::Impl::leaveCall(Worker &worker) {
    int expected = inCall;
    return worker.phase.compare_exchange_strong(expected, outsideCalls);
}

void SnapshotRefresh::Impl::noteProgress() {
    lastProgress.store(std::chrono::steady_clock::now().time_since_epoch().count(),
                       std::memory_order_relaxed);
}

// Nothing read for the deadline while calls wait: the file system stopped answering. The workers
// inside calls are given up on, and the others stop before their next call.
bool SnapshotRefresh::Impl::stoppedAnswering() {
    const std::int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
    const bool waiting = std::any_of(workers.begin(), workers.end(),
                                     [](const auto &worker) { return worker->phase.load() == inCall; });
    if (!waiting || now - lastProgress.load(std::memory_order_relaxed) <
                        std::chrono::nanoseconds(options.answerDeadline).count())
        return false;
    givingUp.store(true);
    for (const auto &worker : workers) {
        int expected = inCall;
        worker->phase.compare_exchange_strong(expected, givenUp);
    }
    totals.gaveUp = true;
    return true;
}

// What the walk did not read is given up like an unreadable folder, so that the results still come out
// in order; the descriptors kept for children are closed (a worker left behind no longer uses them).
void SnapshotRefresh::Impl::giveUpUnread(const std::vector<std::uint32_t> &starts) {
    std::vector<std::uint32_t> stack(starts.begin(), starts.end());
    while (!stack.empty()) {
        const std::uint32_t folder = stack.back();
        stack.pop_back();
        SnapshotFolder &record = folders[folder];
        if (const int fd = record.descriptor.exchange(-1); fd >= 0)
            ::close(fd);
        if (!snapshot.isRead(folder)) {
            publishEmpty(folder, skippedFolder);
            continue;
        }
        ListingCursor cursor = snapshot.entries(folder);
        for (ListingEntry entry; cursor.next(entry);)
            if (entry.type == folderType)
                stack.push_back(entry.child);
    }
}

void SnapshotRefresh::Impl::firstRead() {
    walk({DriveSnapshot::root});
    snapshot.rebuildOrder();
}

// Checks every known folder, re-reads the changed ones, then reads anew what is new or uncertain.
void SnapshotRefresh::Impl::revalidate() {
    nextTask = 0;
    runTeam([this](Worker &worker) { checkWorker(worker); });

    tasks.clear();
    for (std::uint32_t folder : checkedOrder)
        if (verdicts[folder] == changedFolder)
            tasks.push_back(folder);
    if (!tasks.empty()) {
        nextTask = 0;
        runTeam([this](Worker &worker) { rereadWorker(worker); });
    }

    if (!structureChanged && std::find(verdicts.begin(), verdicts.end(), uncertainFolder) == verdicts.end()) {
        for (auto &worker : workers) {
            snapshot.entryCount += worker->entryDelta;
            snapshot.liveListingBytes += worker->byteDelta;
        }
        return;
    }
    // What the folders hold now decides which of them are still there; of those, the ones to read
    // anew are read with everything below them.
    std::vector<std::uint32_t> starts;
    std::vector<std::uint32_t> stack{DriveSnapshot::root};
    while (!stack.empty()) {
        const std::uint32_t folder = stack.back();
        stack.pop_back();
        if ((folder < verdicts.size() && verdicts[folder] == uncertainFolder) || !snapshot.isRead(folder)) {
            starts.push_back(folder);
            continue;
        }
        ListingCursor cursor = snapshot.entries(folder);
        for (ListingEntry entry; cursor.next(entry);)
            if (entry.type == folderType)
                stack.push_back(entry.child);
    }
    if (!starts.empty()) {
        // A folder that could not be read before and still cannot changes nothing.
        std::vector<bool> skippedBefore;
        for (std::uint32_t folder : starts) {
            SnapshotFolder &record = folders[folder];
            skippedBefore.push_back(snapshot.isRead(folder) && (record.flags & skippedFolder));
            record.listing.store(noListing, std::memory_order_relaxed);
            record.flags = 0;
        }
        totals.freshSubtrees = starts.size();
        walk(starts);
        for (std::size_t i = 0; i < starts.size(); ++i)
            if (!skippedBefore[i] || !(folders[starts[i]].flags & skippedFolder))
                structureChanged = true;
    }

    if (structureChanged) {
        snapshot.rebuildOrder();
        return;
    }
    for (auto &worker : workers) {
        snapshot.entryCount += worker->entryDelta;
        snapshot.liveListingBytes += worker->byteDelta;
    }
}

void SnapshotRefresh::Impl::walk(const std::vector<std::uint32_t> &starts) {
    pending = long(starts.size());
    for (std::size_t i = 0; i < starts.size(); ++i)
        workers[i % options.workers]->queue.push_back(starts[i]);
    runTeam([this](Worker &worker) { walkWorker(worker); });
    if (givingUp)
        giveUpUnread(starts);
}

void SnapshotRefresh::Impl::walkWorker(Worker &worker) {
    unsigned idleRounds = 0;
    while (!givingUp.load(std::memory_order_relaxed)) {
        const std::uint32_t folder = takeWork(worker);
        if (folder == noIndex) {
            if (pending.load(std::memory_order_acquire) == 0)
                break;
            if (++idleRounds < 32)
                std::this_thread::yield();
            else
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            continue;
        }
        idleRounds = 0;
        visit(worker, folder);
        pending.fetch_sub(1, std::memory_order_acq_rel);
    }
}

std::uint32_t SnapshotRefresh::Impl::takeWork(Worker &worker) {
    {
        std::lock_guard lock(worker.queueMutex);
        if (!worker.queue.empty()) {
            const std::uint32_t folder = worker.queue.back();
            worker.queue.pop_back();
            return folder;
        }
    }
    const std::size_t members = team.size();
    for (std::size_t k = 1; k < members; ++k) {
        Worker &victim = *workers[(worker.index + k) % members];
        std::lock_guard lock(victim.queueMutex);
        if (!victim.queue.empty()) {
            const std::uint32_t folder = victim.queue.front();
            victim.queue.pop_front();
            return folder;
        }
    }
    return noIndex;
}

void SnapshotRefresh::Impl::visit(Worker &worker, std::uint32_t folder) {
    worker.current.store(folder, std::memory_order_release);
    if (folder != DriveSnapshot::root &&
        isMountPoint(worker, folders[folder].parent, snapshot.name(folder))) {
        releaseParent(folder);
        ++worker.stats.skippedFolders;
        publishEmpty(folder, skippedFolder);
        return;
    }
    if (!enterCall(worker))
        return; // the pass gives up: what is left is its own
    bool byPath = false;
    const int fd = openForWalk(worker, folder, byPath);
    const std::int64_t readAt = realtimeNow();
    struct statx info;
    const bool opened = fd >= 0 && ::statx(fd, "", AT_EMPTY_PATH, statMask, &info) == 0 &&
                        mountOf(info).sameAs(snapshot.rootMount);
    const bool complete = opened && readEntries(worker, folder, fd);
    if (!leaveCall(worker)) {
        // Given up on while the file system kept it waiting: the folder is the pass's now.
        if (fd >= 0)
            ::close(fd);
        return;
    }
    releaseParent(folder);
    worker.stats.reopenedByPath += byPath ? 1 : 0;
    if (!opened) {
        if (fd >= 0)
            ::close(fd);
        ++worker.stats.skippedFolders;
        publishEmpty(folder, skippedFolder);
        return;
    }
    sortEntries(worker);
    publish(worker, folder, info, readAt, complete ? 0 : partialFolder);
    ++worker.stats.folders;
    holdForChildren(folder, fd, worker.children.size());
    queueChildren(worker);
}

// Opens a folder relative to its parent's descriptor, so that depth and path length do not matter.
int SnapshotRefresh::Impl::openForWalk(Worker &worker, std::uint32_t folder, bool &byPath) {
    byPath = false;
    if (folder == DriveSnapshot::root)
        return ::openat(root.fd(), ".", folderOpenFlags);
    const SnapshotFolder &parent = folders[folders[folder].parent];
    const int parentFd = parent.descriptor.load(std::memory_order_acquire);
    if (parentFd >= 0)
        return ::openat(parentFd, nameOf(worker, folder), folderOpenFlags);
    byPath = true;
    return openByPath(worker, folder, folderOpenFlags);
}

// Another file system mounted there is passed by: the mount table names it, without a call on it.
bool SnapshotRefresh::Impl::isMountPoint(Worker &worker, std::uint32_t parent, std::string_view name) {
    return root.isMountPoint(name, [&] {
        snapshot.relativePath(parent, worker.mountPath, worker.chain);
        if (!worker.mountPath.empty())
            worker.mountPath += '/';
        worker.mountPath += name;
        return std::string_view(worker.mountPath);
    });
}

void SnapshotRefresh::Impl::releaseParent(std::uint32_t folder) {
    const std::uint32_t parentIndex = folders[folder].parent;
    if (parentIndex == noIndex)
        return;
    SnapshotFolder &parent = folders[parentIndex];
    const int fd = parent.descriptor.load(std::memory_order_acquire);
    if (fd < 0)
        return;
    if (parent.unopenedChildren.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        parent.descriptor.store(-1, std::memory_order_relaxed);
        ::close(fd);
        held.fetch_sub(1, std::memory_order_relaxed);
    }
}

void SnapshotRefresh::Impl::holdForChildren(std::uint32_t folder, int fd, std::size_t children) {
    if (children == 0) {
        ::close(fd);
        return;
    }
    if (held.fetch_add(1, std::memory_order_relaxed) >= options.maxHeldDescriptors) {
        held.fetch_sub(1, std::memory_order_relaxed);
        ::close(fd);
        return; // the children are opened from the root
    }
    SnapshotFolder &record = folders[folder];
    record.unopenedChildren.store(std::uint32_t(children), std::memory_order_relaxed);
    record.descriptor.store(fd, std::memory_order_release);
}

void SnapshotRefresh::Impl::queueChildren(Worker &worker) {
    if (worker.children.empty())
        return;
    pending.fetch_add(long(worker.children.size()), std::memory_order_relaxed);
    std::lock_guard lock(worker.queueMutex);
    // Reversed, so that the worker goes on with the first subfolder in byte order.
    worker.queue.insert(worker.queue.end(), worker.children.rbegin(), worker.children.rend());
}

const char *SnapshotRefresh::Impl::nameOf(Worker &worker, std::uint32_t folder) {
    const std::string_view name = snapshot.name(folder);
    std::memcpy(worker.name, name.data(), name.size());
    worker.name[name.size()] = 0;
    return worker.name;
}

// The slow way, for folders whose parent is not open: from the root, through no symlink and no mount.
int SnapshotRefresh::Impl::openByPath(Worker &worker, std::uint32_t folder, int flags) {
    if (folder == DriveSnapshot::root)
        return ::openat(root.fd(), ".", flags);
    snapshot.relativePath(folder, worker.path, worker.chain);
    if (worker.path.size() < PATH_MAX) {
        open_how how{};
        how.flags = std::uint64_t(flags);
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS;
        const int fd = int(::syscall(SYS_openat2, root.fd(), worker.path.c_str(), &how, sizeof how));
        if (fd >= 0 || (errno != ENOSYS && errno != E2BIG))
            return fd;
    }
    // One component at a time: longer than PATH_MAX, or a kernel without openat2.
    std::vector<std::uint32_t> &chain = worker.chain;
    chain.clear();
    for (std::uint32_t f = folder; f != DriveSnapshot::root; f = folders[f].parent)
        chain.push_back(f);
    int fd = root.fd();
    for (auto it = chain.rbegin(); it != chain.rend() && fd >= 0; ++it) {
        const int next = ::openat(fd, nameOf(worker, *it), it + 1 == chain.rend() ? flags : pathOpenFlags);
        if (fd != root.fd())
            ::close(fd);
        fd = next;
    }
    return fd;
}

// A failing read (a folder removed meanwhile, an I/O error) keeps what was read before it.
bool SnapshotRefresh::Impl::readEntries(Worker &worker, std::uint32_t folder, int fd) {
    worker.read.clear();
    worker.names.clear();
    char *buffer = worker.buffer.get();
    for (;;) {
        const long size = ::syscall(SYS_getdents64, fd, buffer, options.readBufferBytes);
        if (size == 0)
            return true;
        if (size < 0)
            return false;
        for (long offset = 0; offset < size;) {
            const auto *entry = reinterpret_cast<const struct dirent64 *>(buffer + offset);
            offset += entry->d_reclen;
            if (isDotOrDotDot(entry->d_name))
                continue;
            const std::size_t length = std::strlen(entry->d_name);
            std::uint8_t type = entry->d_type;
            // A mount point is a folder (another file system's root): no stat crosses into it.
            if (type == DT_UNKNOWN)
                type = isMountPoint(worker, folder, std::string_view(entry->d_name, length))
                           ? std::uint8_t(DT_DIR)
                           : typeByStat(fd, entry->d_name);
            worker.read.push_back(ReadEntry{std::uint32_t(worker.names.size()), std::uint8_t(length), type});
            worker.names.append(entry->d_name, length);
        }
    }
}

void SnapshotRefresh::Impl::sortEntries(Worker &worker) {
    worker.sorted.clear();
    for (const ReadEntry &entry : worker.read)
        worker.sorted.push_back(
            ListingInput{std::string_view(worker.names).substr(entry.offset, entry.length), entry.type});
    std::sort(worker.sorted.begin(), worker.sorted.end(),
              [](const ListingInput &a, const ListingInput &b) { return byteLess(a.name, b.name); });
    worker.stats.entries += worker.sorted.size();
}

// Stores a freshly read folder's listing, with new records for its subfolders (worker.children).
void SnapshotRefresh::Impl::publish(Worker &worker, std::uint32_t folder, const struct statx &info,
                                    std::int64_t readAt, std::uint8_t flags) {
    std::size_t subfolders = 0;
    for (const ListingInput &entry : worker.sorted)
        subfolders += entry.type == folderType ? 1 : 0;
    worker.children.clear();
    if (subfolders > 0) {
        const std::uint32_t first = folders.allocate(std::uint32_t(subfolders));
        if (first == noIndex) {
            // No room for more folders: keep the files, and try again at the next search.
            std::erase_if(worker.sorted, [](const ListingInput &entry) { return entry.type == folderType; });
            flags |= partialFolder;
        } else {
            for (std::uint32_t i = 0; i < subfolders; ++i)
                worker.children.push_back(first + i);
        }
    }
    worker.nameAt.resize(worker.children.size());
    const ListingRef ref = writeListing(snapshot.listings, worker.writer, worker.sorted.data(),
                                        worker.sorted.size(), worker.children.data(), worker.nameAt.data());
    if (ref == noListing) {
        worker.children.clear();
        publishEmpty(folder, partialFolder);
        return;
    }
    for (std::size_t i = 0; i < worker.children.size(); ++i) {
        SnapshotFolder &child = folders[worker.children[i]];
        child.parent = folder;
        child.nameAt.store(worker.nameAt[i], std::memory_order_relaxed);
    }
    SnapshotFolder &record = folders[folder];
    record.ino = info.stx_ino;
    record.mtime = roundDown(nanoseconds(info.stx_mtime), snapshot.trust.roundToNs);
    record.ctime = roundDown(nanoseconds(info.stx_ctime), snapshot.trust.roundToNs);
    record.flags = flags | (isRacy(snapshot.trust, record.mtime, record.ctime, readAt) ? racyFolder : 0);
    record.listing.store(ref, std::memory_order_release);
    noteProgress();
}

void SnapshotRefresh::Impl::publishEmpty(std::uint32_t folder, std::uint8_t flags) {
    SnapshotFolder &record = folders[folder];
    record.ino = 0;
    record.mtime = record.ctime = 0;
    record.flags = flags;
    record.listing.store(ListingStore::emptyListing, std::memory_order_release);
    noteProgress();
}

void SnapshotRefresh::Impl::checkWorker(Worker &worker) {
    const std::vector<std::uint32_t> &order = checkedOrder;
    for (;;) {
        const std::size_t begin = nextTask.fetch_add(checkRun, std::memory_order_relaxed);
        if (begin >= order.size())
            return;
        const std::size_t end = std::min(order.size(), begin + checkRun);
        worker.pathStack.clear();
        bool clean = true;
        for (std::size_t i = begin; i < end; ++i) {
            check(worker, order[i]);
            clean = clean && verdicts[order[i]] == unchangedFolder;
        }
        runStates[begin / checkRun].store(clean ? cleanRun : changedRun, std::memory_order_release);
    }
}

void SnapshotRefresh::Impl::check(Worker &worker, std::uint32_t folder) {
    worker.current.store(folder, std::memory_order_release);
    ++worker.stats.checkedFolders;
    const SnapshotFolder &record = folders[folder];
    // Read anew anyway: no need to ask the file system (which, for a mount point, is another one).
    if (record.flags & (skippedFolder | partialFolder)) {
        verdicts[folder] = uncertainFolder;
        return;
    }
    struct statx info;
    const int result = statFolder(worker, folder, info);
    if (result != 0 || !S_ISDIR(info.stx_mode) || info.stx_ino != record.ino ||
        !mountOf(info).sameAs(snapshot.rootMount)) {
        verdicts[folder] = uncertainFolder;
        return;
    }
    const std::int64_t roundTo = snapshot.trust.roundToNs;
    if (roundDown(nanoseconds(info.stx_mtime), roundTo) != record.mtime ||
        roundDown(nanoseconds(info.stx_ctime), roundTo) != record.ctime || (record.flags & racyFolder))
        verdicts[folder] = changedFolder;
}

// statx by the path from the root, built from the previous folder's path: folders come in order.
int SnapshotRefresh::Impl::statFolder(Worker &worker, std::uint32_t folder, struct statx &info) {
    constexpr int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
    if (folder == DriveSnapshot::root) {
        worker.pathStack.assign(1, {folder, 0});
        worker.path.clear();
        return ::statx(root.fd(), "", AT_EMPTY_PATH, statMask, &info);
    }
    const std::uint32_t parent = folders[folder].parent;
    while (!worker.pathStack.empty() && worker.pathStack.back().first != parent)
        worker.pathStack.pop_back();
    if (worker.pathStack.empty()) {
        snapshot.relativePath(parent, worker.path, worker.chain);
        worker.pathStack.emplace_back(parent, worker.path.size());
    }
    worker.path.resize(worker.pathStack.back().second);
    if (!worker.path.empty())
        worker.path += '/';
    worker.path += snapshot.name(folder);
    worker.pathStack.emplace_back(folder, worker.path.size());
    if (root.isMountPoint(worker.path))
        return -1; // mounted over since the last search: read anew, which passes it by
    if (worker.path.size() < PATH_MAX)
        return ::statx(root.fd(), worker.path.c_str(), flags, statMask, &info);
    // Too long a path: from the parent, opened one component at a time.
    const std::string path = worker.path;
    const int parentFd = openByPath(worker, parent, pathOpenFlags);
    worker.path = path;
    if (parentFd < 0)
        return -1;
    const int result = ::statx(parentFd, nameOf(worker, folder), flags, statMask, &info);
    ::close(parentFd);
    return result;
}

void SnapshotRefresh::Impl::rereadWorker(Worker &worker) {
    for (;;) {
        const std::size_t task = nextTask.fetch_add(1, std::memory_order_relaxed);
        if (task >= tasks.size())
            return;
        reread(worker, tasks[task]);
    }
}

// Reads a known folder again; subfolders that keep their name keep their records (their own check
// decides about them), new ones get new records that are read later, and vanished ones are left out.
void SnapshotRefresh::Impl::reread(Worker &worker, std::uint32_t folder) {
    worker.current.store(folder, std::memory_order_release);
    SnapshotFolder &record = folders[folder];
    const int fd = openByPath(worker, folder, folderOpenFlags);
    if (fd < 0) {
        verdicts[folder] = uncertainFolder;
        return;
    }
    const std::int64_t readAt = realtimeNow();
    struct statx info;
    if (::statx(fd, "", AT_EMPTY_PATH, statMask, &info) != 0 || info.stx_ino != record.ino ||
        !mountOf(info).sameAs(snapshot.rootMount)) {
        ::close(fd);
        verdicts[folder] = uncertainFolder;
        return;
    }
    const bool complete = readEntries(worker, folder, fd);
    ::close(fd);
    sortEntries(worker);

    ListingCursor old = snapshot.entries(folder);
    const std::uint32_t oldEntries = old.entries(), oldBytes = old.bytes();
    ListingEntry was;
    bool more = old.next(was);
    std::size_t oldSubfolders = 0, kept = 0, added = 0;
    worker.children.clear();
    for (const ListingInput &entry : worker.sorted) {
        if (entry.type != folderType)
            continue;
        while (more && byteLess(was.name, entry.name)) {
            oldSubfolders += was.type == folderType ? 1 : 0;
            more = old.next(was);
        }
        if (more && was.name == entry.name && was.type == folderType) {
            worker.children.push_back(was.child);
            ++kept;
        } else {
            worker.children.push_back(noIndex);
            ++added;
        }
    }
    for (; more; more = old.next(was))
        oldSubfolders += was.type == folderType ? 1 : 0;
    std::uint8_t flags = complete ? 0 : partialFolder;
    if (added > 0) {
        std::uint32_t next = folders.allocate(std::uint32_t(added));
        if (next == noIndex) {
            verdicts[folder] = uncertainFolder;
            return;
        }
        for (std::uint32_t &child : worker.children)
            if (child == noIndex)
                child = next++;
    }
    worker.nameAt.resize(worker.children.size());
    const ListingRef ref = writeListing(snapshot.listings, worker.writer, worker.sorted.data(),
                                        worker.sorted.size(), worker.children.data(), worker.nameAt.data());
    if (ref == noListing) {
        verdicts[folder] = uncertainFolder;
        return;
    }
    for (std::size_t i = 0; i < worker.children.size(); ++i) {
        SnapshotFolder &child = folders[worker.children[i]];
        child.parent = folder;
        child.nameAt.store(worker.nameAt[i], std::memory_order_relaxed);
    }
    if (added > 0 || kept != oldSubfolders)
        structureChanged.store(true, std::memory_order_relaxed);
    const ListingCursor now(snapshot.listings.at(ref), ref);
    worker.entryDelta += std::int64_t(now.entries()) - oldEntries;
    worker.byteDelta += std::int64_t(now.bytes()) - oldBytes;
    record.mtime = roundDown(nanoseconds(info.stx_mtime), snapshot.trust.roundToNs);
    record.ctime = roundDown(nanoseconds(info.stx_ctime), snapshot.trust.roundToNs);
    record.flags = flags | (isRacy(snapshot.trust, record.mtime, record.ctime, readAt) ? racyFolder : 0);
    record.listing.store(ref, std::memory_order_release);
    ++worker.stats.rereadFolders;
    ++worker.stats.folders;
}

SnapshotRefresh::SnapshotRefresh(DriveSnapshot &snapshot, const SearchRoot &root, WalkOptions options,
                                 std::shared_ptr<const void> keepAlive)
    : impl_(std::make_shared<Impl>(snapshot, root, options)) {
    impl_->keepAlive = std::move(keepAlive);
}

SnapshotRefresh::~SnapshotRefresh() {
    if (impl_->coordinator.joinable())
        impl_->coordinator.join();
}

void SnapshotRefresh::start() {
    if (impl_->started)
        return;
    impl_->started = true;
    impl_->startedAt = std::chrono::steady_clock::now();
    // The root's record exists before start() returns: the consumer may look at it at once.
    impl_->reading = impl_->folders.size() == 0;
    if (impl_->reading && impl_->folders.allocate(1) != DriveSnapshot::root) {
        impl_->done = true;
        return;
    }
    if (!impl_->reading) {
        // A copy, so that the consumer may go through it while the snapshot's own order is rebuilt.
        impl_->checkedOrder = impl_->snapshot.order;
        impl_->runCount = (impl_->checkedOrder.size() + checkRun - 1) / checkRun;
        impl_->runStates = std::make_unique<std::atomic<std::uint8_t>[]>(impl_->runCount);
        impl_->verdicts.assign(impl_->folders.size(), unchangedFolder);
    }
    impl_->coordinator = std::thread([impl = impl_] { impl->run(); });
}

bool SnapshotRefresh::waitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(impl_->doneMutex);
    return impl_->doneSignal.wait_until(lock, deadline, [this] { return impl_->done; });
}

std::uint32_t SnapshotRefresh::folderInProgress() const {
    // Take the workers in turn, so that the caption follows every part of the tree.
    const std::size_t count = impl_->workers.size();
    for (std::size_t k = 0; k < count; ++k) {
        const Worker &worker = *impl_->workers[impl_->captionTurn++ % count];
        const std::uint32_t folder = worker.current.load(std::memory_order_acquire);
        if (folder != noIndex)
            return folder;
    }
    return noIndex;
}

WalkStats SnapshotRefresh::stats() const {
    return impl_->totals;
}

const std::vector<std::uint32_t> &SnapshotRefresh::checkedOrder() const {
    return impl_->checkedOrder;
}

std::size_t SnapshotRefresh::unchangedPrefix() {
    Impl &d = *impl_;
    while (d.cleanRuns < d.runCount && d.runStates[d.cleanRuns].load(std::memory_order_acquire) == cleanRun)
        ++d.cleanRuns;
    return std::min(d.checkedOrder.size(), d.cleanRuns * checkRun);
}

double SnapshotRefresh::seconds() const {
    std::lock_guard lock(impl_->doneMutex);
    return impl_->seconds;
}

WalkStats refreshSnapshot(DriveSnapshot &snapshot, const SearchRoot &root, WalkOptions options) {
    SnapshotRefresh refresh(snapshot, root, options);
    refresh.start();
    while (!refresh.waitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(1))) {
    }
    return refresh.stats();
}

} // namespace search_component::plugin
