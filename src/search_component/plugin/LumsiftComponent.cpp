// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/plugin/LumsiftComponent.h"

#include "platform/PathCodec.h"

#include <QCoreApplication>

namespace search_component::plugin {

namespace {

// The component's instance lives as long as the program: the library keeps it.
LumsiftComponent *live = nullptr;

// The program has ended and its windows are closed: the files being written get a moment to be whole.
void finishFiles() {
    if (live)
        live->finishFiles();
}

} // namespace

LumsiftComponent::LumsiftComponent() {
    live = this;
    qAddPostRoutine(search_component::plugin::finishFiles);
}

LumsiftComponent::~LumsiftComponent() {
    if (live == this)
        live = nullptr;
}

void LumsiftComponent::finishFiles() {
    snapshots_.settleAll(std::chrono::seconds(2));
}

void LumsiftComponent::FindFiles(ResultSink &list, const QString &folder, const QString &pattern,
                                 QWidget &form) {
    const std::string root = searchRoot(folder);
    const NameMatcher matcher(platform::encodePath(pattern).toStdString());
    if (root.empty() || matcher.matchesNothing())
        return;
    // A drive that is gone takes its snapshot with it.
    snapshots_.dropVanished();
    streamSearch(list, snapshots_, root, matcher, form);
}

} // namespace search_component::plugin
