// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "search_component/SearchComponent.h"
#include "search_component/plugin/SnapshotMatch.h"
#include "search_component/plugin/SnapshotRefresh.h"
#include "search_component/plugin/SnapshotStore.h"

#include <chrono>
#include <memory>
#include <string>

class QWidget;

namespace search_component::plugin {

struct StreamOptions {
    // How often results reach the sink, the caption is renewed and events are processed.
    std::chrono::milliseconds tick{15};
    // How long a network, FUSE or unknown file system may leave every read waiting before the search
    // gives up on what it has not read (a drive that stopped answering).
    std::chrono::milliseconds answerDeadline{5000};
    WalkOptions walk;
};

// How a search went.
struct SearchReport {
    bool fromSnapshot = false; // revalidated a snapshot kept from an earlier search
    bool fromFile = false;     // that snapshot was kept in a file by an earlier run
    bool unanswered = false;   // the drive stopped answering: the search gave up on the rest
    WalkStats walk;
    std::size_t results = 0;
    double refreshSeconds = 0; // reading or checking the drive
    double totalSeconds = 0;   // until every result was in the sink
};

// Runs a search of `root` (absolute path bytes) to its end on the calling thread's behalf. The drive's
// snapshot is read for the first time, or revalidated and matched on every core. Every tick the new
// results reach the sink in order (their folders first), the folder being read or checked is written
// into the form's caption, and events other than user input are processed, so that the program's
// timers keep running. Returns when every result is in the sink; the snapshot goes back to the store
// unless its file system's folder times cannot be trusted, and to its file when the search changed it.
SearchReport streamSearch(ResultSink &sink, SnapshotStore &store, const std::string &root,
                          const NameMatcher &matcher, QWidget &form, const StreamOptions &options = {});

// The root a folder text names: absolute, trailing separators dropped ("/" stays "/"). Empty when the
// text is not an absolute path.
std::string searchRoot(const QString &folder);

} // namespace search_component::plugin
