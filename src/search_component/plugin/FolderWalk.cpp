#include "FolderWalk.h"

#include "base/FolderChain.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <thread>

namespace lumsift {

std::string folderPath(const FolderNode *folder) {
    std::string path;
    std::vector<const FolderNode *> chain;
    base::appendFolderChain(
        path, folder, static_cast<const FolderNode *>(nullptr), [](const FolderNode *f) { return f->parent; },
        [](std::string &out, const FolderNode *f) { out += f->name(); }, chain);
    return path;
}

void ResultBatch::add(const FolderNode *folder, std::string_view name) {
    hits.push_back(Hit{folder, std::uint32_t(names.size()), std::uint32_t(name.size())});
    names += name;
}

void ResultBatch::takeFrom(ResultBatch &other) {
    if (hits.empty()) {
        std::swap(names, other.names);
        std::swap(hits, other.hits);
        other.clear();
        return;
    }
    const auto base = std::uint32_t(names.size());
    names += other.names;
    for (Hit hit : other.hits) {
        hit.offset += base;
        hits.push_back(hit);
    }
    other.clear();
}

void ResultBatch::clear() {
    names.clear();
    hits.clear();
}

namespace {

constexpr int folderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Folder nodes of one worker, carved from large blocks: no allocation per folder, one free at the end.
class NodeArena {
public:
    FolderNode *make(const FolderNode *parent, std::string_view name) {
        // The name is stored with a NUL after it, ready for openat.
        const std::size_t bytes = (sizeof(FolderNode) + name.size() + 1 + 7) & ~std::size_t(7);
        if (bytes > blockBytes - used_ || blocks_.empty()) {
            blocks_.push_back(std::make_unique<std::byte[]>(std::max(bytes, blockBytes)));
            used_ = 0;
        }
        std::byte *at = blocks_.back().get() + used_;
        used_ = bytes > blockBytes ? blockBytes : used_ + bytes;
        auto *node = new (at) FolderNode(parent, std::uint32_t(name.size()));
        char *text = reinterpret_cast<char *>(node + 1);
        std::memcpy(text, name.data(), name.size());
        text[name.size()] = 0;
        return node;
    }

private:
    static constexpr std::size_t blockBytes = 64 << 10;
    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    std::size_t used_ = 0;
};

struct MountIdentity {
    std::uint32_t devMajor = 0, devMinor = 0;
    std::uint64_t mountId = 0;
    bool hasMountId = false;

    static bool of(int fd, MountIdentity &out) {
        struct statx info;
        if (statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &info) != 0)
            return false;
        out.devMajor = info.stx_dev_major;
        out.devMinor = info.stx_dev_minor;
        out.hasMountId = (info.stx_mask & STATX_MNT_ID) != 0;
        out.mountId = info.stx_mnt_id;
        return true;
    }

    // The mount id also tells bind mounts of the same filesystem apart.
    bool sameAs(const MountIdentity &other) const {
        return devMajor == other.devMajor && devMinor == other.devMinor &&
               (!hasMountId || !other.hasMountId || mountId == other.mountId);
    }
};

bool isDotOrDotDot(const char *name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

unsigned typeByStat(int folderFd, const char *name) {
    struct stat info;
    if (fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return DT_UNKNOWN;
    return IFTODT(info.st_mode);
}

unsigned descriptorBudget() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 256;
    return unsigned(std::clamp<rlim_t>(limit.rlim_cur / 4, 8, 256));
}

} // namespace

struct Worker {
    std::size_t index = 0;
    std::mutex queueMutex;
    std::deque<FolderNode *> queue; // own end: back; thieves take the front

    std::mutex outboxMutex;
    ResultBatch outbox;

    ResultBatch found;
    std::vector<FolderNode *> subfolders;
    std::vector<const FolderNode *> chain;
    std::unique_ptr<char[]> buffer;
    NodeArena arena;
    std::atomic<const FolderNode *> current{nullptr};
    WalkStats stats;
    std::thread thread;
};

struct FolderWalk::Impl {
    Impl(std::string rootPath, const NameMatcher &nameMatcher, WalkOptions walkOptions);

    void start();
    void run(Worker &worker);
    FolderNode *takeWork(Worker &worker);
    void visit(Worker &worker, FolderNode *folder);
    int open(Worker &worker, const FolderNode *folder);
    int openFromRoot(Worker &worker, const FolderNode *folder);
    void releaseParent(const FolderNode *folder);
    void read(Worker &worker, FolderNode *folder, int fd);
    void holdForChildren(FolderNode *folder, int fd, std::size_t children);
    void queue(Worker &worker);
    void publish(Worker &worker, bool wait);
    void finishWorker();

    std::string rootPath;
    const NameMatcher &matcher;
    WalkOptions options;
    std::vector<std::unique_ptr<Worker>> workers;
    FolderNode *rootNode = nullptr;
    int rootFd = -1;
    MountIdentity rootMount;

    std::atomic<long> pending{0};  // folders queued or being read
    std::atomic<unsigned> held{0}; // descriptors kept open for children
    std::atomic<bool> stopping{false};
    bool started = false;
    std::size_t captionTurn = 0; // used by the consumer only

    std::mutex doneMutex;
    std::condition_variable doneSignal;
    unsigned running = 0;
};

FolderWalk::Impl::Impl(std::string path, const NameMatcher &nameMatcher, WalkOptions walkOptions)
    : rootPath(std::move(path))
    , matcher(nameMatcher)
    , options(walkOptions) {
    if (options.workers == 0)
        options.workers = std::max(1u, std::thread::hardware_concurrency());
    options.workers = std::min(options.workers, 64u);
    options.readBufferBytes = std::max<std::size_t>(options.readBufferBytes, 4096);
    if (options.maxHeldDescriptors == 0)
        options.maxHeldDescriptors = descriptorBudget();
    for (unsigned i = 0; i < options.workers; ++i) {
        workers.push_back(std::make_unique<Worker>());
        workers.back()->index = i;
        workers.back()->buffer = std::make_unique<char[]>(options.readBufferBytes);
    }
    rootNode = workers[0]->arena.make(nullptr, rootPath);
}

void FolderWalk::Impl::start() {
    started = true;
    rootFd = ::open(rootPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0 || !MountIdentity::of(rootFd, rootMount))
        return;
    pending = 1;
    workers[0]->queue.push_back(rootNode);
    running = unsigned(workers.size());
    for (auto &worker : workers)
        worker->thread = std::thread([this, w = worker.get()] { run(*w); });
}

void FolderWalk::Impl::run(Worker &worker) {
    unsigned idleRounds = 0;
    for (;;) {
        FolderNode *folder = takeWork(worker);
        if (!folder) {
            if (pending.load(std::memory_order_acquire) == 0)
                break;
            if (++idleRounds < 32)
                std::this_thread::yield();
            else
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            continue;
        }
        idleRounds = 0;
        if (stopping.load(std::memory_order_relaxed))
            releaseParent(folder); // drain without reading, so that held descriptors get closed
        else
            visit(worker, folder);
        publish(worker, false);
        pending.fetch_sub(1, std::memory_order_acq_rel);
    }
    publish(worker, true);
    finishWorker();
}

FolderNode *FolderWalk::Impl::takeWork(Worker &worker) {
    {
        std::lock_guard lock(worker.queueMutex);
        if (!worker.queue.empty()) {
            FolderNode *folder = worker.queue.back();
            worker.queue.pop_back();
            return folder;
        }
    }
    for (std::size_t k = 1; k < workers.size(); ++k) {
        Worker &victim = *workers[(worker.index + k) % workers.size()];
        std::lock_guard lock(victim.queueMutex);
        if (!victim.queue.empty()) {
            FolderNode *folder = victim.queue.front();
            victim.queue.pop_front();
            return folder;
        }
    }
    return nullptr;
}

void FolderWalk::Impl::visit(Worker &worker, FolderNode *folder) {
    const int fd = open(worker, folder);
    if (fd < 0) {
        ++worker.stats.skippedFolders;
        return;
    }
    MountIdentity mount;
    if (!MountIdentity::of(fd, mount) || !mount.sameAs(rootMount)) {
        ::close(fd);
        ++worker.stats.skippedFolders;
        return;
    }
    worker.current.store(folder, std::memory_order_release);
    read(worker, folder, fd);
    ++worker.stats.folders;
    holdForChildren(folder, fd, worker.subfolders.size());
    queue(worker);
}

// Opens a folder relative to its parent's descriptor, so that depth and path length do not matter.
int FolderWalk::Impl::open(Worker &worker, const FolderNode *folder) {
    const FolderNode *parent = folder->parent;
    if (!parent)
        return ::openat(rootFd, ".", folderOpenFlags);
    const int fd = parent->descriptor >= 0
                       ? ::openat(parent->descriptor, folder->name().data(), folderOpenFlags)
                       : openFromRoot(worker, folder);
    releaseParent(folder);
    return fd;
}

// The slow way, for folders whose parent gave up its descriptor to keep the count bounded: one
// component at a time from the root.
int FolderWalk::Impl::openFromRoot(Worker &worker, const FolderNode *folder) {
    ++worker.stats.reopenedByPath;
    worker.chain.clear();
    for (const FolderNode *f = folder; f->parent; f = f->parent)
        worker.chain.push_back(f);
    int fd = rootFd;
    for (auto it = worker.chain.rbegin(); it != worker.chain.rend() && fd >= 0; ++it) {
        const int next = ::openat(fd, (*it)->name().data(), folderOpenFlags);
        if (fd != rootFd)
            ::close(fd);
        fd = next;
    }
    return fd;
}

void FolderWalk::Impl::releaseParent(const FolderNode *folder) {
    const FolderNode *parent = folder->parent;
    if (!parent || parent->descriptor < 0)
        return;
    auto &unopened = const_cast<FolderNode *>(parent)->unopenedChildren;
    if (unopened.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        ::close(parent->descriptor);
        held.fetch_sub(1, std::memory_order_relaxed);
    }
}

void FolderWalk::Impl::read(Worker &worker, FolderNode *folder, int fd) {
    worker.subfolders.clear();
    char *buffer = worker.buffer.get();
    for (;;) {
        // A failing read (a folder removed meanwhile, an I/O error) keeps what was read before it.
        const long size = ::syscall(SYS_getdents64, fd, buffer, options.readBufferBytes);
        if (size <= 0)
            return;
        for (long offset = 0; offset < size;) {
            const auto *entry = reinterpret_cast<const struct dirent64 *>(buffer + offset);
            offset += entry->d_reclen;
            if (isDotOrDotDot(entry->d_name))
                continue;
            const std::string_view name(entry->d_name);
            unsigned type = entry->d_type;
            if (type == DT_UNKNOWN)
                type = typeByStat(fd, entry->d_name);
            ++worker.stats.entries;
            if (type == DT_DIR)
                worker.subfolders.push_back(worker.arena.make(folder, name));
            else if (matcher.matches(name))
                worker.found.add(folder, name);
        }
    }
}

void FolderWalk::Impl::holdForChildren(FolderNode *folder, int fd, std::size_t children) {
    if (children == 0) {
        ::close(fd);
        return;
    }
    if (held.fetch_add(1, std::memory_order_relaxed) >= options.maxHeldDescriptors) {
        held.fetch_sub(1, std::memory_order_relaxed);
        ::close(fd);
        return; // descriptor stays -1: the children are opened from the root
    }
    folder->unopenedChildren.store(std::uint32_t(children), std::memory_order_relaxed);
    folder->descriptor = fd;
}

void FolderWalk::Impl::queue(Worker &worker) {
    if (worker.subfolders.empty())
        return;
    pending.fetch_add(long(worker.subfolders.size()), std::memory_order_relaxed);
    std::lock_guard lock(worker.queueMutex);
    worker.queue.insert(worker.queue.end(), worker.subfolders.begin(), worker.subfolders.end());
}

// Hands the worker's results to the consumer without making the worker wait for it, except at the end.
void FolderWalk::Impl::publish(Worker &worker, bool wait) {
    if (worker.found.empty())
        return;
    std::unique_lock lock(worker.outboxMutex, std::defer_lock);
    if (wait)
        lock.lock();
    else if (!lock.try_lock())
        return;
    worker.outbox.takeFrom(worker.found);
}

void FolderWalk::Impl::finishWorker() {
    std::lock_guard lock(doneMutex);
    if (--running == 0)
        doneSignal.notify_all();
}

FolderWalk::FolderWalk(std::string root, const NameMatcher &matcher, WalkOptions options)
    : impl_(std::make_unique<Impl>(std::move(root), matcher, options)) {}

FolderWalk::~FolderWalk() {
    impl_->stopping = true;
    for (auto &worker : impl_->workers)
        if (worker->thread.joinable())
            worker->thread.join();
    if (impl_->rootFd >= 0)
        ::close(impl_->rootFd);
}

void FolderWalk::start() {
    if (!impl_->started)
        impl_->start();
}

bool FolderWalk::waitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(impl_->doneMutex);
    return impl_->doneSignal.wait_until(lock, deadline, [this] { return impl_->running == 0; });
}

bool FolderWalk::done() const {
    std::lock_guard lock(impl_->doneMutex);
    return impl_->started && impl_->running == 0;
}

void FolderWalk::takeResults(ResultBatch &into) {
    for (auto &worker : impl_->workers) {
        std::lock_guard lock(worker->outboxMutex);
        into.takeFrom(worker->outbox);
    }
}

const FolderNode *FolderWalk::folderInProgress() const {
    // Take the workers in turn, so that the caption follows every part of the tree.
    const std::size_t count = impl_->workers.size();
    for (std::size_t k = 0; k < count; ++k) {
        const Worker &worker = *impl_->workers[impl_->captionTurn++ % count];
        if (const FolderNode *folder = worker.current.load(std::memory_order_acquire))
            return folder;
    }
    return nullptr;
}

const FolderNode *FolderWalk::root() const {
    return impl_->rootNode;
}

WalkStats FolderWalk::stats() const {
    WalkStats total;
    for (auto &worker : impl_->workers) {
        total.entries += worker->stats.entries;
        total.folders += worker->stats.folders;
        total.skippedFolders += worker->stats.skippedFolders;
        total.reopenedByPath += worker->stats.reopenedByPath;
        total.workersUsed += worker->stats.folders > 0 ? 1 : 0;
    }
    return total;
}

} // namespace lumsift
