#pragma once

#include "search_component/SearchComponent.h"

#include <QObject>

namespace lumsift {

// The search component as the program loads it from Lumsift.ocx.
class LumsiftComponent : public QObject, public SearchComponent {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LumsiftSearchComponent_iid)
    Q_INTERFACES(lumsift::SearchComponent)
public:
    void FindFiles(ResultSink &list, const QString &folder, const QString &pattern, QWidget &form) override;
};

} // namespace lumsift
