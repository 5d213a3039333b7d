// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "search_component/SearchComponent.h"
#include "search_component/plugin/StreamedSearch.h"

#include <QObject>

namespace search_component::plugin {

// The search component as the program loads it from Lumsift.ocx. It keeps a snapshot of every drive
// it searched, so that repeat searches are answered from memory after checking it against the disk,
// and keeps it in the user's cache, so that the first search of the next run is answered the same way.
class LumsiftComponent : public QObject, public SearchComponent {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LumsiftSearchComponent_iid)
    Q_INTERFACES(search_component::SearchComponent)
public:
    LumsiftComponent();
    ~LumsiftComponent() override;
    // Waits a moment for the snapshots' files still being written, as the program ends.
    void finishFiles();
    void FindFiles(ResultSink &list, const QString &folder, const QString &pattern, QWidget &form) override;

private:
    SnapshotStore snapshots_{SnapshotCache(SnapshotCache::userFolder())};
};

} // namespace search_component::plugin
