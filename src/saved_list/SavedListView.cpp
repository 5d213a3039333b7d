// SPDX-License-Identifier: GPL-3.0-or-later
#include "saved_list/SavedListView.h"

#include "platform/Files.h"
#include "platform/PathCodec.h"
#include "saved_list/SavedListFile.h"

#include <QItemSelectionModel>

#include <climits>
#include <fcntl.h>

namespace saved_list {

QByteArrayView SavedEntries::view(int row) const {
    if (row < 0 || row >= count())
        return {};
    const std::string_view entry = text_.at(rows_[std::size_t(row)]);
    return QByteArrayView(entry.data(), qsizetype(entry.size()));
}

QString SavedEntries::text(int row) const {
    return platform::decodePath(view(row));
}

QString SavedEntries::shownText(int row) const {
    platform::TextStart start = platform::decodePathStart(view(row), shownCharacters);
    return start.whole ? start.text : start.text + u'\u2026';
}

void SavedEntries::clear() {
    beginResetModel();
    rows_.clear();
    text_.clear();
    endResetModel();
}

// The entry's bytes in the arena; nothing beyond what it can reference (4 GiB) or a list can count.
std::optional<std::uint32_t> SavedEntries::store(QByteArrayView entry) {
    if (rows_.size() >= std::size_t(INT_MAX))
        return std::nullopt;
    const std::uint32_t ref = text_.store(std::string_view(entry.data(), std::size_t(entry.size())));
    if (ref == base::TextArena::full)
        return std::nullopt;
    return ref;
}

void SavedEntries::add(QByteArrayView entry) {
    const std::optional<std::uint32_t> ref = store(entry);
    if (!ref)
        return;
    beginInsertRows({}, count(), count());
    rows_.push_back(*ref);
    endInsertRows();
}

void SavedEntries::load(const QByteArray &file) {
    beginResetModel();
    rows_.clear();
    text_.clear();
    const platform::Result<platform::Descriptor> fd = platform::openOwnFile(file, O_RDONLY);
    if (fd) {
        saved_list::readEntries(fd->get(), [this](QByteArrayView entry) {
            if (const std::optional<std::uint32_t> ref = store(entry))
                rows_.push_back(*ref);
        });
    }
    endResetModel();
}

int SavedEntries::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant SavedEntries::data(const QModelIndex &index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return shownText(index.row());
}

SavedListView::SavedListView(QWidget *parent)
    : QListView(parent)
    , model_(this) {
    setModel(&model_);
    // Every row has the same height, so that a long list scrolls without measuring each row.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SavedListView::itemSelectionChanged);
}

void SavedListView::addItem(const QString &text) {
    model_.add(platform::encodePath(text));
}

int SavedListView::selectedRow() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void SavedListView::setCurrentRow(int row) {
    selectionModel()->setCurrentIndex(model_.index(row), QItemSelectionModel::ClearAndSelect);
}

} // namespace saved_list
