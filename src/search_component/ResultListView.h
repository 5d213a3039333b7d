#pragma once

#include "search_component/ResultListModel.h"

#include <QListView>

// List1, the result list: a list view over the compact result model, with the list-box semantics
// the reactions use. The selected index is -1 when nothing is selected; setting it selects that
// entry; every change of the selected entry, by the user or by code, emits listIndexChanged.
class ResultListView : public QListView {
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

private:
    void followSelection();

    lumsift::ResultListModel model_;
    int listIndex_ = -1;
};
