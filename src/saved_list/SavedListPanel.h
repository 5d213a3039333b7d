#pragma once

#include "ui_SavedListPanel.h"

#include <QWidget>

// Picture2, the saved-list panel of the main window.
class SavedListPanel : public QWidget {
    Q_OBJECT
public:
    explicit SavedListPanel(QWidget *parent = nullptr);

    Ui::SavedListPanel &controls() { return ui; }

private:
    Ui::SavedListPanel ui;
};
