// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

struct TreeCounts {
    std::uint64_t folders = 0;
    std::uint64_t files = 0;
    std::uint64_t links = 0;
    std::uint64_t entries() const { return folders + files + links; }
};

// Builds, once, a deterministic tree of about a million entries (about 100,000 folders, names of 10 to
// 30 characters, some non-ASCII and blank, some symlinks) at `root`. A tree finished before is reused:
// building takes minutes and removing it as long. Returns false when it cannot be built.
bool ensureBenchTree(const std::string &root, TreeCounts &counts);
