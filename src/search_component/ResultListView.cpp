// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/ResultListView.h"

#include "search_component/ResultDetails.h"
#include "search_component/ResultTransfer.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QSignalBlocker>
#include <QToolTip>

namespace search_component {

ResultListView::ResultListView(QWidget *parent)
    : QListView(parent) {
    setModel(&model_);
    // Every row has the same height, so that millions of rows scroll without measuring each.
    setUniformItemSizes(true);
    // A list view lays out all its rows again after every insertion; in one pass that stalls the window
    // for a tenth of a second at two million rows. In batches between events it stays responsive, and
    // the rows in sight come first.
    setLayoutMode(QListView::Batched);
    setBatchSize(20000);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Found files can be dragged out; nothing is dropped onto the list.
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
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

bool ResultListView::isFile(int index) const {
    return model_.isPath(index);
}

void ResultListView::copyEntry(int index) {
    if (index >= 0 && index < listCount())
        QGuiApplication::clipboard()->setMimeData(pathAsText(model_.bytes(index)));
}

void ResultListView::keyPressEvent(QKeyEvent *event) {
    if (event->matches(QKeySequence::Copy)) {
        copyEntry(listIndex_);
    } else if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        emit deleteRequested();
    } else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
               (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (listIndex_ >= 0)
            emit openRequested(listIndex_);
    } else if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        requestMenuFromKeyboard();
    } else {
        QListView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ResultListView::requestMenuFromKeyboard() {
    if (listIndex_ < 0)
        return;
    const QModelIndex item = model_.index(listIndex_);
    scrollTo(item);
    const QRect row = visualRect(item);
    emit menuRequested(listIndex_, viewport()->mapToGlobal(QPoint(row.left() + 20, row.bottom())));
}

void ResultListView::contextMenuEvent(QContextMenuEvent *event) {
    event->accept();
    if (event->reason() != QContextMenuEvent::Mouse) {
        requestMenuFromKeyboard();
        return;
    }
    // The event comes from the viewport, in its coordinates.
    const QModelIndex item = indexAt(event->pos());
    if (!item.isValid())
        return;
    // A right-click selects its row, as a left one does; the selection step runs on a change.
    if (item.row() != listIndex_)
        setListIndex(item.row());
    if (item.row() == listIndex_)
        emit menuRequested(listIndex_, event->globalPos());
}

void ResultListView::startDrag(Qt::DropActions) {
    if (listIndex_ < 0 || !isFile(listIndex_))
        return;
    // The receiver copies or moves the file itself; the entry stays, as after any other action.
    auto *drag = new QDrag(this);
    drag->setMimeData(fileForTransfer(model_.bytes(listIndex_)));
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
}

bool ResultListView::viewportEvent(QEvent *event) {
    if (event->type() != QEvent::ToolTip)
        return QListView::viewportEvent(event);
    // Details are read when asked for, for the one row under the pointer.
    const auto *help = static_cast<QHelpEvent *>(event);
    const QModelIndex item = indexAt(help->pos());
    if (item.isValid() && isFile(item.row()))
        QToolTip::showText(help->globalPos(), detailsText(model_.bytes(item.row()), QLocale()), viewport(),
                           visualRect(item));
    else
        QToolTip::hideText();
    return true;
}

} // namespace search_component
