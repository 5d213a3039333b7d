#include "search_component/ResultListView.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

ResultListView::ResultListView(QWidget *parent)
    : QTableView(parent) {
    setModel(&model_);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    // Every row has the same height, so that millions of rows scroll without measuring each.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // As tight as a list box's lines.
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height());
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &ResultListView::followSelection);
    connect(&model_, &QAbstractItemModel::modelReset, this, &ResultListView::followSelection);
    connect(&model_, &QAbstractItemModel::modelReset, this, [this] {
        widest_ = 0;
        measuredFirst_ = measuredLast_ = -1;
        fitColumn();
    });
    connect(&model_, &QAbstractItemModel::rowsInserted, this, &ResultListView::fitColumn);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &ResultListView::fitColumn);
    fitColumn();
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

void ResultListView::resizeEvent(QResizeEvent *event) {
    QTableView::resizeEvent(event);
    fitColumn();
}

// Only the rows in sight are measured, a few dozen however long the list, and only when they change.
// Their place comes from the scroll bar: asking the header would make it add up every row's height.
void ResultListView::fitColumn() {
    const int rows = model_.count();
    const int rowHeight = std::max(1, verticalHeader()->defaultSectionSize());
    const int first = std::clamp(verticalScrollBar()->value(), 0, std::max(0, rows - 1));
    const int last = std::min(rows - 1, first + viewport()->height() / rowHeight + 1);
    if (first != measuredFirst_ || last != measuredLast_) {
        measuredFirst_ = first;
        measuredLast_ = last;
        const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 4;
        for (int row = first; row <= last; ++row)
            widest_ = std::max(widest_, fontMetrics().horizontalAdvance(model_.text(row)) + margin);
    }
    const int width = std::max(widest_, viewport()->width());
    if (columnWidth(0) != width)
        setColumnWidth(0, width);
}
