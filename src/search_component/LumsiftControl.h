// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "search_component/SearchComponent.h"

#include <QString>

#include <memory>

namespace platform {
class Volumes;
}

namespace search_component {

// LS1, the search component's instance on the main window. It loads the component from its file on
// first use and hands FindFiles on to it. A missing, unreadable or foreign file makes every call do
// nothing, without a message; so does a location that names no drive or folder.
class LumsiftControl {
public:
    LumsiftControl(QString componentFile, std::shared_ptr<platform::Volumes> volumes,
                   std::shared_ptr<SearchComponent> preset = {});

    // location: a drive text ("C:", "c: ") resolved through the drive letters, or an absolute folder.
    void FindFiles(ResultSink &list, const QString &location, const QString &pattern, QWidget &form);

    // Whether the component could be loaded (loads it if not yet done).
    bool isLoaded();

private:
    SearchComponent *component();

    QString componentFile_;
    std::shared_ptr<platform::Volumes> volumes_;
    std::shared_ptr<SearchComponent> preset_;
    SearchComponent *loaded_ = nullptr;
};

} // namespace search_component
