#pragma once

#include "search_component/ResultListModel.h"

#include <QTableView>

// List1, the result list: a one-column view over the compact result model, with the list-box
// semantics the reactions use. The selected index is -1 when nothing is selected; setting it selects
// that entry; every change of the selected entry, by the user or by code, emits listIndexChanged.
//
// A table view without headers rather than a list view: with rows of one fixed height, appending rows
// costs the same at two million rows as at two (a list view lays out every row again after each
// insertion, which stalls the window for a tenth of a second per batch at that size).
class ResultListView : public QTableView {
    Q_OBJECT
public:
    explicit ResultListView(QWidget *parent = nullptr);

    lumsift::ResultListModel &results() { return model_; }

    int listCount() const { return model_.count(); }
    int listIndex() const { return listIndex_; }
    // Fails (returns false, selection unchanged) for an index outside -1 .. listCount() - 1.
    bool setListIndex(int index);
    // The selected entry's text, empty when nothing is selected.
    QString text() const;
    QString itemText(int index) const { return model_.text(index); }
    void addItem(const QString &line) { model_.addItem(line); }
    void clear();

signals:
    void listIndexChanged(int index);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void followSelection();
    // Widens the column to the widest entry shown so far, and at least to the view's width.
    void fitColumn();

    lumsift::ResultListModel model_;
    int listIndex_ = -1;
    int widest_ = 0;
    int measuredFirst_ = -1;
    int measuredLast_ = -1;
};
