#include "search_component/ResultListView.h"

#include <QItemSelectionModel>
#include <QSignalBlocker>

ResultListView::ResultListView(QWidget *parent)
    : QListView(parent) {
    setModel(&model_);
    // Every row has the same height, so that millions of rows scroll without measuring each.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &ResultListView::followSelection);
    connect(&model_, &QAbstractItemModel::modelReset, this, &ResultListView::followSelection);
}

void ResultListView::followSelection() {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    const int index = selected.isEmpty() ? -1 : selected.first().row();
    if (index == listIndex_)
        return;
    listIndex_ = index;
    emit listIndexChanged(index);
}

bool ResultListView::setListIndex(int index) {
    if (index < -1 || index >= listCount())
        return false;
    if (index == -1) {
        selectionModel()->clearSelection();
        return true;
    }
    const QModelIndex item = model_.index(index);
    selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
    scrollTo(item);
    return true;
}

QString ResultListView::text() const {
    return listIndex_ < 0 ? QString() : model_.text(listIndex_);
}

void ResultListView::clear() {
    // Emptying the list forgets the selection without running the selection step.
    const QSignalBlocker blocker(this);
    model_.clear();
    listIndex_ = -1;
}
