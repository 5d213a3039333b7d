// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/CompactStore.h"
#include "search_component/SearchComponent.h"

#include <QAbstractListModel>
#include <QByteArray>

#include <vector>

namespace search_component {

// The rows of the result list. Found files are kept compactly: a table of folders (parent and name)
// and, per row, its folder and its name; the full path is composed only for rows shown or used.
// Rows that are not found files (the instruction lines) are ordinary rows without a folder. Names live
// in one chunked byte arena and rows and folders are small fixed records in blocks, so a million
// results take about 30 bytes each and growing never copies what is already stored.
class ResultListModel : public QAbstractListModel, public ResultSink {
    Q_OBJECT
public:
    explicit ResultListModel(QObject *parent = nullptr);

    int count() const;
    // The entry's text: the full path of a found file, decoded with the path codec.
    QString text(int row) const;
    // The entry's raw bytes: exactly the path of the file on disk.
    QByteArray bytes(int row) const;
    // Whether the entry is a full path, as found files are; the instruction lines are not.
    bool isPath(int row) const { return bytes(row).startsWith('/'); }
    void clear();
    void addItem(const QString &line);

    // Bytes held for the rows, their names and the folder table.
    std::size_t memoryBytes() const;

    // ResultSink
    std::uint32_t addFolder(std::uint32_t parent, std::string_view name) override;
    void appendFiles(std::span<const FoundName> names, std::string_view arena) override;

    // QAbstractListModel
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // A found file can be dragged out; a line that names no file cannot.
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    struct Folder {
        std::uint32_t parent;
        std::uint32_t name; // in text_
    };
    struct Row {
        std::uint32_t folder;
        std::uint32_t name; // in text_
    };

    std::uint32_t knownFolder(std::uint32_t folder) const;
    bool storeRow(std::uint32_t folder, std::string_view name);

    base::BlockVector<Folder> folders_;
    base::BlockVector<Row> rows_;
    base::TextArena text_;
    // Rows the views know of; rows are stored first and announced in one insertion per batch.
    int shown_ = 0;
    // The folders of one path, reused between calls.
    mutable std::vector<std::uint32_t> chain_;
};

} // namespace search_component
