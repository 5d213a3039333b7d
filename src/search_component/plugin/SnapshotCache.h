// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "search_component/plugin/SearchRoot.h"
#include "search_component/plugin/SnapshotFile.h"

#include <atomic>
#include <memory>
#include <string>

namespace search_component::plugin {

// Where drives' snapshots are kept between runs: one file per drive in a folder of the user's cache,
// private to the user (the folder 0700, its files 0600). The files are a cache and nothing more: one
// that cannot be read, or is not the user's own and private, is no snapshot, and one that cannot be
// written is no file. Deleting the folder is always safe.
class SnapshotCache {
public:
    // $XDG_CACHE_HOME/lumsifter, or ~/.cache/lumsifter when the variable is unset, empty or relative;
    // empty when there is no home either.
    static std::string userFolder();
    // The file's name for a drive: a checksum of its root path, in hex.
    static std::string fileName(const std::string &rootPath);

    explicit SnapshotCache(std::string folder);
    const std::string &folder() const { return folder_; }

    // The snapshot kept for the drive at `root`, when its file is sound and of the same file system.
    std::unique_ptr<DriveSnapshot> load(const SearchRoot &root, const std::string &rootPath) const;
    // Writes the snapshot's file anew, into a temporary file renamed over the old one, so that a reader
    // never sees half a file. False when it could not; nothing is left behind then.
    bool save(const DriveSnapshot &snapshot, const std::atomic<bool> &cancel,
              SnapshotFileFacts *facts = nullptr) const;

private:
    std::string folder_;
};

} // namespace search_component::plugin
