// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempTree.h"

#include "Differential.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace plugin = search_component::plugin;

TempTree::TempTree()
    : root_(dir_.bytes().toStdString()) {}

void TempTree::folder(const std::string &relative) const {
    ASSERT_EQ(::mkdir(path(relative).c_str(), 0755), 0) << relative;
}

void TempTree::file(const std::string &relative) const {
    const int fd = ::open(path(relative).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << relative;
    ::close(fd);
}

void TempTree::link(const std::string &target, const std::string &relative) const {
    ASSERT_EQ(::symlink(target.c_str(), path(relative).c_str()), 0) << relative;
}

std::set<std::string> walkPaths(const std::string &root, std::string_view pattern,
                                plugin::WalkOptions options, plugin::WalkStats *stats) {
    if (stats)
        *stats = {};
    const std::optional<plugin::SearchRoot> opened = plugin::SearchRoot::open(root);
    if (!opened)
        return {};
    const std::unique_ptr<plugin::DriveSnapshot> snapshot = opened->newSnapshot(root);
    const plugin::WalkStats walked = plugin::refreshSnapshot(*snapshot, *opened, options);
    if (stats)
        *stats = walked;
    const std::vector<std::string> ordered = orderedPaths(*snapshot, pattern);
    return std::set<std::string>(ordered.begin(), ordered.end());
}

int openDescriptorCount() {
    int count = 0;
    if (DIR *fds = ::opendir("/proc/self/fd")) {
        while (::readdir(fds))
            ++count;
        ::closedir(fds);
    }
    return count;
}
