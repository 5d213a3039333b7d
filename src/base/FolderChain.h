// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <iterator>
#include <vector>

namespace base {

// Appends the path of a folder that is known by its parent chain: the names from the outermost
// folder in, one separator between two names (none after a name that already ends in one, such as
// the root "/"). `parentOf` gives a folder's parent or `none`; `appendName` appends a folder's name.
// `chain` is scratch space, kept by callers that build many paths.
template <typename Id, typename ParentOf, typename AppendName, typename Path>
void appendFolderChain(Path &path, Id folder, Id none, ParentOf parentOf, AppendName appendName,
                       std::vector<Id> &chain) {
    chain.clear();
    for (; folder != none; folder = parentOf(folder))
        chain.push_back(folder);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (std::size(path) > 0 && path.back() != '/')
            path.push_back('/');
        appendName(path, *it);
    }
}

} // namespace base
