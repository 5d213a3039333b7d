// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtPlugin>

#include <cstdint>
#include <span>
#include <string_view>

class QWidget;

namespace search_component {

// A found file: its folder (an id the result list returned from addFolder) and its name, a slice of
// the arena handed over with it. Names are raw file-name bytes.
struct FoundName {
    std::uint32_t folder;
    std::uint32_t offset;
    std::uint32_t length;
};

constexpr std::uint32_t noFolder = UINT32_MAX;

// What the component writes into: the result list. Folders come before the files in them; a folder
// whose parent is noFolder has an absolute path as its name.
class ResultSink {
public:
    virtual ~ResultSink() = default;
    virtual std::uint32_t addFolder(std::uint32_t parent, std::string_view name) = 0;
    virtual void appendFiles(std::span<const FoundName> names, std::string_view arena) = 0;
};

// The search component (the file Lumsift.ocx, class LSP.LS). FindFiles walks the folder tree under
// `folder` (an absolute path, decoded with the path codec), appends every file whose name matches
// `pattern` to `list`, writes the folder it is walking into the caption of `form`, processes events
// (user input excluded) meanwhile, and returns when the walk is complete.
class SearchComponent {
public:
    virtual ~SearchComponent() = default;
    virtual void FindFiles(ResultSink &list, const QString &folder, const QString &pattern,
                           QWidget &form) = 0;
};

} // namespace search_component

#define LumsiftSearchComponent_iid "org.lumsifter.LSP.LS/1.0"
Q_DECLARE_INTERFACE(search_component::SearchComponent, LumsiftSearchComponent_iid)
