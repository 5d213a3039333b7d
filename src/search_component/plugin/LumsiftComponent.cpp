#include "LumsiftComponent.h"

#include "StreamedSearch.h"
#include "platform/PathCodec.h"

namespace lumsift {

void LumsiftComponent::FindFiles(ResultSink &list, const QString &folder, const QString &pattern,
                                 QWidget &form) {
    std::string root = searchRoot(folder);
    const NameMatcher matcher(platform::encodePath(pattern).toStdString());
    if (root.empty() || matcher.matchesNothing())
        return;
    streamSearch(list, std::move(root), matcher, form);
}

} // namespace lumsift
