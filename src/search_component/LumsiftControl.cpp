// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/LumsiftControl.h"

#include "platform/PathCodec.h"
#include "platform/Volumes.h"

#include <QFile>
#include <QFileInfo>
#include <QPluginLoader>

#include <dlfcn.h>

namespace search_component {

LumsiftControl::LumsiftControl(QString componentFile, std::shared_ptr<platform::Volumes> volumes,
                               std::shared_ptr<SearchComponent> preset)
    : componentFile_(std::move(componentFile))
    , volumes_(std::move(volumes))
    , preset_(std::move(preset)) {}

namespace {

// The plugin's instance. The loader keeps the library loaded for the program's life and instance() is
// shared. Qt takes file names as text and encodes them as UTF-8, so a path that is not valid UTF-8 (a
// program folder named in another encoding) is loaded by its bytes and asked for its instance the
// way the loader asks it.
QObject *loadPlugin(const QString &file) {
    const QByteArray bytes = platform::encodePath(QFileInfo(file).absoluteFilePath());
    if (QFile::encodeName(QFile::decodeName(bytes)) == bytes)
        return QPluginLoader(QFile::decodeName(bytes)).instance();
    void *library = ::dlopen(bytes.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return nullptr;
    using Instance = QObject *(*)();
    const auto instance = reinterpret_cast<Instance>(::dlsym(library, "qt_plugin_instance"));
    return instance ? instance() : nullptr;
}

} // namespace

SearchComponent *LumsiftControl::component() {
    if (preset_)
        return preset_.get();
    if (!loaded_) {
        loaded_ = qobject_cast<SearchComponent *>(loadPlugin(componentFile_));
    }
    return loaded_;
}

bool LumsiftControl::isLoaded() {
    return component() != nullptr;
}

void LumsiftControl::FindFiles(ResultSink &list, const QString &location, const QString &pattern,
                               QWidget &form) {
    SearchComponent *searcher = component();
    if (!searcher)
        return;
    const std::optional<QByteArray> folder = platform::folderOfLocation(volumes_->drives(), location);
    if (!folder)
        return;
    searcher->FindFiles(list, platform::decodePath(*folder), pattern, form);
}

} // namespace search_component
