#include "search_component/ResultListModel.h"

#include "platform/PathCodec.h"

ResultListModel::ResultListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

int ResultListModel::count() const
{
    return int(rows_.size());
}

void ResultListModel::appendFolderPath(std::uint32_t folder, QByteArray &out) const
{
    const Folder &f = folders_[folder];
    if (f.parent != lumsift::noFolder) {
        appendFolderPath(f.parent, out);
        if (!out.endsWith('/'))
            out += '/';
    }
    out.append(folderNames_.data() + f.nameOffset, f.nameLength);
}

QByteArray ResultListModel::bytes(int row) const
{
    if (row < 0 || row >= count())
        return {};
    const Row &r = rows_[std::size_t(row)];
    QByteArray path;
    if (r.folder != lumsift::noFolder) {
        appendFolderPath(r.folder, path);
        if (!path.endsWith('/'))
            path += '/';
    }
    path.append(rowNames_.data() + r.nameOffset, r.nameLength);
    return path;
}

QString ResultListModel::text(int row) const
{
    return platform::decodePath(bytes(row));
}

void ResultListModel::clear()
{
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    rowNames_.clear();
    rowNames_.shrink_to_fit();
    folders_.clear();
    folders_.shrink_to_fit();
    folderNames_.clear();
    folderNames_.shrink_to_fit();
    endResetModel();
}

void ResultListModel::addItem(const QString &line)
{
    const QByteArray bytes = platform::encodePath(line);
    beginInsertRows({}, count(), count());
    rows_.push_back(Row{lumsift::noFolder, std::uint32_t(rowNames_.size()), std::uint32_t(bytes.size())});
    rowNames_.append(bytes.constData(), std::size_t(bytes.size()));
    endInsertRows();
}

std::size_t ResultListModel::memoryBytes() const
{
    return rows_.capacity() * sizeof(Row) + rowNames_.capacity() + folders_.capacity() * sizeof(Folder) +
           folderNames_.capacity();
}

std::uint32_t ResultListModel::addFolder(std::uint32_t parent, std::string_view name)
{
    folders_.push_back(Folder{parent, std::uint32_t(folderNames_.size()), std::uint32_t(name.size())});
    folderNames_.append(name);
    return std::uint32_t(folders_.size() - 1);
}

void ResultListModel::appendFiles(std::span<const lumsift::FoundName> names, std::string_view arena)
{
    if (names.empty())
        return;
    beginInsertRows({}, count(), count() + int(names.size()) - 1);
    for (const lumsift::FoundName &name : names) {
        rows_.push_back(Row{name.folder, std::uint32_t(rowNames_.size()), name.length});
        rowNames_.append(arena.substr(name.offset, name.length));
    }
    endInsertRows();
}

int ResultListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant ResultListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return text(index.row());
}
