#pragma once

#include "FolderWalk.h"
#include "search_component/SearchComponent.h"

#include <chrono>
#include <string>

class QWidget;

namespace lumsift {

struct StreamOptions {
    // How often results reach the sink, the caption is renewed and events are processed.
    std::chrono::milliseconds tick{15};
    WalkOptions walk;
};

// Runs a walk of `root` (absolute path bytes) to its end on the calling thread's behalf: every tick it
// hands the new results to the sink in one batch (their folders first), writes the folder being walked
// into the form's caption and processes events other than user input, so that the program's timers
// keep running. Returns when every result is in the sink.
void streamSearch(ResultSink &sink, std::string root, const NameMatcher &matcher, QWidget &form,
                  const StreamOptions &options = {});

// The root a folder text names: absolute, trailing separators dropped ("/" stays "/"). Empty when the
// text is not an absolute path.
std::string searchRoot(const QString &folder);

} // namespace lumsift
