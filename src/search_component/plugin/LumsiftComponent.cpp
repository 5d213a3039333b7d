#include "search_component/plugin/LumsiftComponent.h"

#include "platform/PathCodec.h"

namespace lumsift {

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

} // namespace lumsift
