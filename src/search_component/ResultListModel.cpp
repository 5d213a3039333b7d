// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/ResultListModel.h"

#include "base/FolderChain.h"
#include "platform/PathCodec.h"

#include <climits>

namespace search_component {

ResultListModel::ResultListModel(QObject *parent)
    : QAbstractListModel(parent) {}

int ResultListModel::count() const {
    return shown_;
}

QByteArray ResultListModel::bytes(int row) const {
    if (row < 0 || row >= count())
        return {};
    const Row &r = rows_[std::size_t(row)];
    QByteArray path;
    base::appendFolderChain(
        path, r.folder, noFolder, [this](std::uint32_t f) { return folders_[f].parent; },
        [this](QByteArray &out, std::uint32_t f) {
            const std::string_view name = text_.at(folders_[f].name);
            out.append(name.data(), qsizetype(name.size()));
        },
        chain_);
    if (!path.isEmpty() && !path.endsWith('/'))
        path += '/';
    const std::string_view name = text_.at(r.name);
    path.append(name.data(), qsizetype(name.size()));
    return path;
}

QString ResultListModel::text(int row) const {
    return platform::decodePath(bytes(row));
}

void ResultListModel::clear() {
    beginResetModel();
    rows_.clear();
    folders_.clear();
    text_.clear();
    chain_.clear();
    chain_.shrink_to_fit();
    shown_ = 0;
    endResetModel();
}

void ResultListModel::addItem(const QString &line) {
    if (!storeRow(noFolder, platform::encodePath(line).toStdString()))
        return;
    beginInsertRows({}, shown_, shown_);
    ++shown_;
    endInsertRows();
}

std::size_t ResultListModel::memoryBytes() const {
    return rows_.memoryBytes() + folders_.memoryBytes() + text_.memoryBytes() +
           chain_.capacity() * sizeof(std::uint32_t);
}

// An id this list never gave out (bad input) stands for no folder.
std::uint32_t ResultListModel::knownFolder(std::uint32_t folder) const {
    return folder < folders_.size() ? folder : noFolder;
}

// Rows beyond what the arena can reference (4 GiB of names) are not kept; the count stays true.
bool ResultListModel::storeRow(std::uint32_t folder, std::string_view name) {
    if (rows_.size() >= std::size_t(INT_MAX))
        return false;
    const std::uint32_t ref = text_.store(name);
    if (ref == base::TextArena::full)
        return false;
    rows_.push_back(Row{knownFolder(folder), ref});
    return true;
}

std::uint32_t ResultListModel::addFolder(std::uint32_t parent, std::string_view name) {
    const std::uint32_t ref = text_.store(name);
    if (ref == base::TextArena::full || folders_.size() >= noFolder)
        return noFolder;
    folders_.push_back(Folder{knownFolder(parent), ref});
    return std::uint32_t(folders_.size() - 1);
}

void ResultListModel::appendFiles(std::span<const FoundName> names, std::string_view arena) {
    for (const FoundName &name : names) {
        const std::string_view bytes =
            name.offset <= arena.size() ? arena.substr(name.offset, name.length) : std::string_view();
        if (!storeRow(name.folder, bytes))
            break;
    }
    const int stored = int(rows_.size());
    if (stored == shown_)
        return;
    beginInsertRows({}, shown_, stored - 1);
    shown_ = stored;
    endInsertRows();
}

int ResultListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant ResultListModel::data(const QModelIndex &index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return text(index.row());
}

Qt::ItemFlags ResultListModel::flags(const QModelIndex &index) const {
    const Qt::ItemFlags flags = QAbstractListModel::flags(index);
    return index.isValid() && isPath(index.row()) ? flags | Qt::ItemIsDragEnabled : flags;
}

} // namespace search_component
