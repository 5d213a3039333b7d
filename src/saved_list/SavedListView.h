// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/CompactStore.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QByteArrayView>
#include <QListView>

#include <optional>

namespace saved_list {

// The saved entries, kept as their bytes in one chunked arena (a million entries take little more than
// the file), decoded with the path codec only for rows that are shown or used.
class SavedEntries : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int count() const { return int(rows_.size()); }
    // The entry's exact bytes, in place: valid until the list changes. Empty for no row.
    QByteArrayView view(int row) const;
    QByteArray bytes(int row) const { return view(row).toByteArray(); }
    QString text(int row) const;
    // The entry as the list shows it: its first few thousand characters, with an ellipsis when there
    // are more, so that an entry of millions of characters is measured and drawn as quickly as any.
    QString shownText(int row) const;
    static constexpr qsizetype shownCharacters = 4000;

    void clear();
    void add(QByteArrayView entry);
    // Fills the list anew, in one reset, with the entries of the saved-list file; empty when it is
    // missing or cannot be read.
    void load(const QByteArray &file);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    std::optional<std::uint32_t> store(QByteArrayView entry);

    base::BlockVector<std::uint32_t> rows_; // each row's entry in text_
    base::TextArena text_;
};

// lstEmployee: a list box over the saved entries. Every change of the selected entry emits
// itemSelectionChanged, as a list widget does.
class SavedListView : public QListView {
    Q_OBJECT
public:
    explicit SavedListView(QWidget *parent = nullptr);

    SavedEntries &entries() { return model_; }
    int count() const { return model_.count(); }
    QString text(int row) const { return model_.text(row); }
    QString shownText(int row) const { return model_.shownText(row); }
    void addItem(const QString &text);
    void clear() { model_.clear(); }
    // The selected entry's row, -1 when none is selected.
    int selectedRow() const;
    void setCurrentRow(int row);

signals:
    void itemSelectionChanged();

private:
    SavedEntries model_;
};

} // namespace saved_list
