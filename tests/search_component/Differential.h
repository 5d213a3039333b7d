// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "search_component/plugin/SnapshotMatch.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Repeat searches against fresh walks: used by the differential test and, longer, by the bench.

struct DifferentialOptions {
    int rounds = 1000;
    unsigned seed = 1;
    std::int64_t roundTimesToNs = 0; // 0: the file system's own times
    int folders = 40;                // of the tree generated first
    int files = 300;
    std::function<void(int round)> progress; // called every 1000 rounds
    // Non-empty: every round is a new run of the program, whose first search starts from the file the
    // run before it left in this folder; the changes of a round are made while no program runs.
    std::string cacheFolder;
};

struct DifferentialReport {
    int rounds = 0;
    std::uint64_t changes = 0;
    std::uint64_t checkedFolders = 0;
    std::uint64_t rereadFolders = 0;
    std::uint64_t freshSubtrees = 0;
    int compactions = 0;
    int fromFile = 0;    // searches that started from a file
    std::string failure; // empty when every repeat search equalled the fresh walk
};

// Generates a tree in `root` (an empty folder), searches it once, then in every round applies a few
// random changes (files and folders created, deleted, renamed and moved, folders replaced by symlinks
// or files, permissions taken away and given back, times touched) and compares a repeat search, made
// as the component makes it (revalidated snapshot, results streamed into a sink), with an independent
// fresh walk of the tree and with a new snapshot: the same paths, byte for byte, in the same order.
// When run by root, the searches run as an unprivileged user, so that permissions count (the cache
// folder is then given to that user). Needs a QApplication.
DifferentialReport runDifferential(const std::string &root, const DifferentialOptions &options);

// The full paths a search of a complete snapshot finds, in their order.
std::vector<std::string> orderedPaths(const search_component::plugin::DriveSnapshot &snapshot,
                                      std::string_view pattern);

// The full paths a plain walk finds, in the order the component lists them: per folder its matching
// names in byte order, then its subfolders' trees in byte order. One thread, readdir, no snapshot.
std::vector<std::string> referencePaths(const std::string &root, std::string_view pattern);

// Removes a tree whatever its permissions; symlinks are removed, never followed.
void removeTree(const std::string &path);
