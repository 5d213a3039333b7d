// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/plugin/SearchRoot.h"

#include "base/MountTable.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace search_component::plugin {

namespace {

constexpr std::int64_t second = 1000000000;

// Folder times can be trusted only where the file system updates a folder's modification time
// whenever an entry is added, removed or renamed, at once and on this machine: local file systems.
// Network and FUSE file systems may report times that lag or that another machine wrote.
TimeTrust timeTrustOf(const struct statfs &fs, std::int64_t roundTimesToNs) {
    TimeTrust trust;
    constexpr unsigned long zfsMagic = 0x2FC12FC1, ntfs3Magic = 0x7366746E;
    std::int64_t granularity = 0;
    // Between two runs the file system may have been changed elsewhere: on another system whose
    // driver keeps folder times as Linux does, or by none (read-only images). Other systems leave a
    // FAT folder's times as they were when they add to it, so those folders are trusted within a run.
    bool lasting = false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC: // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
    case F2FS_SUPER_MAGIC:
    case SQUASHFS_MAGIC:
    case ISOFS_SUPER_MAGIC:
    case zfsMagic:
        lasting = true;
        break;
    case UDF_SUPER_MAGIC:
    case ntfs3Magic:
        break;
    case EXFAT_SUPER_MAGIC:
        granularity = 10000000;
        break;
    case MSDOS_SUPER_MAGIC:
        granularity = 2 * second;
        break;
    default:
        return trust;
    }
    // The kernel stamps times from a clock that advances once per tick.
    timespec resolution{};
    std::int64_t tick = 10000000;
    if (::clock_getres(CLOCK_REALTIME_COARSE, &resolution) == 0)
        tick = std::max<std::int64_t>(std::int64_t(resolution.tv_sec) * second + resolution.tv_nsec, 1000000);
    trust.usable = true;
    trust.lasting = lasting;
    trust.roundToNs = roundTimesToNs;
    granularity = std::max(granularity, roundTimesToNs);
    trust.slackNs = granularity + 2 * tick;
    // Times without a sub-second part may come from a file system that keeps whole seconds only.
    trust.coarseNs = roundTimesToNs > 0 ? trust.slackNs : std::max(granularity, 2 * second) + 2 * tick;
    return trust;
}

// What tells this file system from another mounted at the same place later: f_fsid comes from the
// file system's UUID where it has one (ext4, btrfs, tmpfs: new at every mount), and the root's birth
// time tells a partition formatted anew where it does not (xfs).
FileSystemIdentity identityOf(const struct statx &root, const struct statfs &fs) {
    FileSystemIdentity identity;
    identity.type = std::uint64_t(fs.f_type);
    static_assert(sizeof fs.f_fsid == sizeof identity.fsid);
    std::memcpy(&identity.fsid, &fs.f_fsid, sizeof identity.fsid);
    identity.devMajor = root.stx_dev_major;
    identity.devMinor = root.stx_dev_minor;
    identity.rootIno = root.stx_ino;
    if (root.stx_mask & STATX_BTIME)
        identity.rootBirthNs = nanoseconds(root.stx_btime);
    return identity;
}

} // namespace

MountIdentity mountOf(const struct statx &info) {
    MountIdentity mount;
    mount.devMajor = info.stx_dev_major;
    mount.devMinor = info.stx_dev_minor;
    mount.hasMountId = (info.stx_mask & STATX_MNT_ID) != 0;
    mount.mountId = info.stx_mnt_id;
    return mount;
}

std::optional<SearchRoot> SearchRoot::open(const std::string &path, std::int64_t roundTimesToNs) {
    if (path.empty())
        return std::nullopt;
    SearchRoot root;
    root.fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root.fd_ < 0)
        return std::nullopt;
    struct statx info;
    if (::statx(root.fd_, "", AT_EMPTY_PATH, folderStatMask | STATX_BTIME, &info) != 0)
        return std::nullopt;
    struct statfs fs {};
    if (::fstatfs(root.fd_, &fs) != 0)
        return std::nullopt;
    root.mount_ = mountOf(info);
    root.trust_ = timeTrustOf(fs, roundTimesToNs);
    root.identity_ = identityOf(info, fs);
    const QByteArray folder = QByteArray::fromStdString(path);
    for (const QByteArray &point : base::mountPointsBelow(base::readMountTable(), folder)) {
        const std::string relative = point.mid(folder == "/" ? 1 : folder.size() + 1).toStdString();
        root.mountNames_.insert(relative.substr(relative.find_last_of('/') + 1));
        root.mountsBelow_.insert(relative);
    }
    return root;
}

SearchRoot::SearchRoot(SearchRoot &&other) noexcept
    : fd_(std::exchange(other.fd_, -1))
    , mount_(other.mount_)
    , trust_(other.trust_)
    , identity_(other.identity_)
    , mountsBelow_(std::move(other.mountsBelow_))
    , mountNames_(std::move(other.mountNames_)) {}

SearchRoot::~SearchRoot() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool SearchRoot::canRevalidate(const DriveSnapshot &snapshot) const {
    return trust_.usable && snapshot.trust.usable && snapshot.folders.size() > 0 &&
           snapshot.rootIno == identity_.rootIno && snapshot.rootMount.sameAs(mount_) &&
           snapshot.trust.roundToNs == trust_.roundToNs;
}

std::unique_ptr<DriveSnapshot> SearchRoot::newSnapshot(const std::string &path) const {
    auto snapshot = std::make_unique<DriveSnapshot>(path);
    adopt(*snapshot);
    return snapshot;
}

void SearchRoot::adopt(DriveSnapshot &snapshot) const {
    snapshot.rootIno = identity_.rootIno;
    snapshot.rootMount = mount_;
    snapshot.trust = trust_;
    snapshot.identity = identity_;
}

bool SearchRoot::isMountPoint(std::string_view name,
                              const std::function<std::string_view()> &relativePath) const {
    return !mountNames_.empty() && mountNames_.find(name) != mountNames_.end() &&
           isMountPoint(relativePath());
}

bool SearchRoot::isMountPoint(std::string_view relativePath) const {
    return mountsBelow_.find(relativePath) != mountsBelow_.end();
}

struct RootOpener::State {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::shared_ptr<const SearchRoot> root;
};

RootOpener::RootOpener(std::string path, std::int64_t roundTimesToNs)
    : state_(std::make_shared<State>()) {
    const auto open = [state = state_, path = std::move(path), roundTimesToNs] {
        std::optional<SearchRoot> opened = SearchRoot::open(path, roundTimesToNs);
        const std::lock_guard lock(state->mutex);
        if (opened)
            state->root = std::make_shared<const SearchRoot>(std::move(*opened));
        state->done = true;
        state->ended.notify_all();
    };
    try {
        std::thread(open).detach();
    } catch (const std::system_error &) {
        open(); // no thread to spare: the caller's own
    }
}

bool RootOpener::waitUntil(std::chrono::steady_clock::time_point until) {
    std::unique_lock lock(state_->mutex);
    return state_->ended.wait_until(lock, until, [this] { return state_->done; });
}

std::shared_ptr<const SearchRoot> RootOpener::root() const {
    const std::lock_guard lock(state_->mutex);
    return state_->root;
}

} // namespace search_component::plugin
