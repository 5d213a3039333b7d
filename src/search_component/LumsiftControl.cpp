#include "search_component/LumsiftControl.h"

#include "platform/PathCodec.h"
#include "platform/Volumes.h"

#include <QFileInfo>
#include <QPluginLoader>

LumsiftControl::LumsiftControl(QString componentFile, std::shared_ptr<platform::Volumes> volumes,
                               std::shared_ptr<lumsift::SearchComponent> preset)
    : componentFile_(std::move(componentFile))
    , volumes_(std::move(volumes))
    , preset_(std::move(preset)) {}

lumsift::SearchComponent *LumsiftControl::component() {
    if (preset_)
        return preset_.get();
    if (!loaded_) {
        // The loader keeps the library loaded for the program's life; instance() is shared.
        QPluginLoader loader(QFileInfo(componentFile_).absoluteFilePath());
        loaded_ = qobject_cast<lumsift::SearchComponent *>(loader.instance());
    }
    return loaded_;
}

bool LumsiftControl::isLoaded() {
    return component() != nullptr;
}

void LumsiftControl::FindFiles(lumsift::ResultSink &list, const QString &location, const QString &pattern,
                               QWidget &form) {
    lumsift::SearchComponent *searcher = component();
    if (!searcher)
        return;
    const std::optional<QByteArray> folder = platform::folderOfLocation(volumes_->drives(), location);
    if (!folder)
        return;
    searcher->FindFiles(list, platform::decodePath(*folder), pattern, form);
}
