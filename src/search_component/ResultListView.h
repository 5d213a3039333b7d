// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "search_component/ResultListModel.h"

#include <QListView>

namespace search_component {

// List1, the result list: a list view over the compact result model, with the list-box semantics
// the reactions use. The selected index is -1 when nothing is selected; setting it selects that
// entry; every change of the selected entry, by the user or by code, emits listIndexChanged.
//
// It also acts as desktop lists do: a found file can be dragged out (to a file manager), Ctrl+C copies
// the selected entry, the pointer resting on a file shows its details, and a right-click, the Menu key
// or Shift+F10, Enter and Delete ask for the context menu, for opening and for deleting the entry;
// what those do is the main window's to decide.
class ResultListView : public QListView {
    Q_OBJECT
public:
    explicit ResultListView(QWidget *parent = nullptr);

    ResultListModel &results() { return model_; }

    int listCount() const { return model_.count(); }
    int listIndex() const { return listIndex_; }
    // Fails (returns false, selection unchanged) for an index outside -1 .. listCount() - 1.
    bool setListIndex(int index);
    // The selected entry's text, empty when nothing is selected.
    QString text() const;
    QString itemText(int index) const { return model_.text(index); }
    void addItem(const QString &line) { model_.addItem(line); }
    void clear();

    // Whether the entry names a file, as a found path does; the instruction lines do not.
    bool isFile(int index) const;
    // Puts the entry's exact bytes on the clipboard as text.
    void copyEntry(int index);

signals:
    void listIndexChanged(int index);
    // The context menu for the entry is asked for, to be shown at that point of the screen. The entry
    // is the selected one.
    void menuRequested(int index, QPoint globalPos);
    // Enter on the selected entry.
    void openRequested(int index);
    // Delete on the list.
    void deleteRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    bool viewportEvent(QEvent *event) override;

private:
    void followSelection();
    void requestMenuFromKeyboard();

    ResultListModel model_;
    int listIndex_ = -1;
};

} // namespace search_component
