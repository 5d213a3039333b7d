// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/plugin/SnapshotStore.h"

#include "base/MountTable.h"

#include <system_error>

namespace search_component::plugin {

SnapshotStore::SnapshotStore(SnapshotCache cache)
    : cache_(std::move(cache)) {}

SnapshotStore::~SnapshotStore() {
    // A program that ends does not wait for a file: the next run starts from the old one, or reads anew.
    for (auto &[root, kept] : snapshots_)
        settle(kept);
}

void SnapshotStore::settleAll(std::chrono::milliseconds patience) {
    const auto start = std::chrono::steady_clock::now();
    const auto waited = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                     start);
    };
    for (auto &[root, kept] : snapshots_) {
        while (kept.working.joinable() && !kept.worked && waited() < patience)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        settle(kept, !kept.worked);
    }
}

void SnapshotStore::settle(Kept &kept, bool stopWriting) {
    if (!kept.working.joinable())
        return;
    kept.stopWriting = stopWriting;
    kept.working.join();
    kept.stopWriting = false;
    kept.worked = false;
    if (kept.compacted)
        kept.snapshot = std::move(kept.compacted);
}

std::unique_ptr<DriveSnapshot> SnapshotStore::take(const SearchRoot &opened, const std::string &root,
                                                   bool &fromFile) {
    fromFile = false;
    std::unique_ptr<DriveSnapshot> snapshot;
    if (const auto it = snapshots_.find(root); it != snapshots_.end()) {
        settle(it->second);
        snapshot = std::move(it->second.snapshot);
        snapshots_.erase(it);
    } else if (cache_) {
        snapshot = cache_->load(opened, root);
        fromFile = snapshot != nullptr;
    }
    if (snapshot && !opened.canRevalidate(*snapshot)) {
        snapshot.reset();
        fromFile = false;
    }
    return snapshot;
}

void SnapshotStore::keep(std::unique_ptr<DriveSnapshot> snapshot, bool compact, bool changed) {
    Kept &kept = snapshots_[snapshot->rootPath()];
    settle(kept);
    kept.snapshot = std::move(snapshot);
    kept.snapshot->inFile = kept.snapshot->inFile && !changed;
    // Also a snapshot whose writing stopped before it was done.
    const bool save = cache_ && kept.snapshot->trust.lasting && !kept.snapshot->inFile;
    if (!compact && !save)
        return;
    try {
        // The thread only reads the snapshot; nothing else touches it before settle() has joined.
        kept.working = std::thread([this, &kept, compact, save] {
            if (compact)
                kept.compacted = kept.snapshot->compacted();
            DriveSnapshot &current = kept.compacted ? *kept.compacted : *kept.snapshot;
            if (save)
                current.inFile = cache_->save(current, kept.stopWriting);
            kept.worked = true;
        });
    } catch (const std::system_error &) {
        // No thread to spare: the snapshot stays as it is, and its file as it was.
    }
}

void SnapshotStore::drop(const std::string &root) {
    const auto it = snapshots_.find(root);
    if (it == snapshots_.end())
        return;
    settle(it->second);
    snapshots_.erase(it);
}

void SnapshotStore::dropVanished() {
    // Asked of the mount table alone: nothing here calls into a file system that may have stopped
    // answering. A snapshot whose root is another folder now is found out when its drive is searched.
    const std::vector<base::Mount> mounts = base::readMountTable();
    for (auto it = snapshots_.begin(); it != snapshots_.end();) {
        settle(it->second);
        const MountIdentity &was = it->second.snapshot->rootMount;
        const base::Mount *now = base::mountHolding(mounts, QByteArray::fromStdString(it->first));
        if (!now || (was.hasMountId && std::uint64_t(now->id) != was.mountId))
            it = snapshots_.erase(it);
        else
            ++it;
    }
}

const DriveSnapshot *SnapshotStore::find(const std::string &root) {
    const auto it = snapshots_.find(root);
    if (it == snapshots_.end())
        return nullptr;
    settle(it->second, false);
    return it->second.snapshot.get();
}

} // namespace search_component::plugin
