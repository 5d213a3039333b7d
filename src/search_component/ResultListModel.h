#pragma once

#include "search_component/SearchComponent.h"

#include <QAbstractListModel>
#include <QByteArray>

#include <string>
#include <vector>

// The rows of the result list. Found files are kept compactly: a table of folders (parent and name)
// and, per row, its folder and its name; the full path is composed only for rows shown or used.
// Rows that are not found files (the instruction lines) are ordinary rows without a folder.
class ResultListModel : public QAbstractListModel, public lumsift::ResultSink {
    Q_OBJECT
public:
    explicit ResultListModel(QObject *parent = nullptr);

    int count() const;
    // The entry's text: the full path of a found file, decoded with the path codec.
    QString text(int row) const;
    // The entry's raw bytes: exactly the path of the file on disk.
    QByteArray bytes(int row) const;
    void clear();
    void addItem(const QString &line);

    // Bytes held for the rows, their names and the folder table.
    std::size_t memoryBytes() const;

    // lumsift::ResultSink
    std::uint32_t addFolder(std::uint32_t parent, std::string_view name) override;
    void appendFiles(std::span<const lumsift::FoundName> names, std::string_view arena) override;

    // QAbstractListModel
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    struct Folder {
        std::uint32_t parent;
        std::uint32_t nameOffset;
        std::uint32_t nameLength;
    };
    struct Row {
        std::uint32_t folder;
        std::uint32_t nameOffset;
        std::uint32_t nameLength;
    };

    void appendFolderPath(std::uint32_t folder, QByteArray &out) const;

    std::vector<Folder> folders_;
    std::string folderNames_;
    std::vector<Row> rows_;
    std::string rowNames_;
};
