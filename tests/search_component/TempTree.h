// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "search_component/plugin/SnapshotMatch.h"
#include "search_component/plugin/SnapshotRefresh.h"

#include "TempFolder.h"

#include <set>
#include <string>
#include <vector>

// A folder tree in a temporary folder, built from paths relative to its root (raw bytes).
class TempTree {
public:
    TempTree();
    const std::string &root() const { return root_; }
    std::string path(const std::string &relative) const { return root_ + "/" + relative; }

    void folder(const std::string &relative) const;
    void file(const std::string &relative) const;
    void link(const std::string &target, const std::string &relative) const;

private:
    TempFolder dir_;
    std::string root_;
};

// The full paths a complete first read of `root` finds.
std::set<std::string> walkPaths(const std::string &root, std::string_view pattern,
                                search_component::plugin::WalkOptions options = {},
                                search_component::plugin::WalkStats *stats = nullptr);

// Descriptors this process has open.
int openDescriptorCount();
