#pragma once

#include "ui_SavedListPanel.h"

#include <QByteArray>
#include <QWidget>

class Form1;

// Picture2, the saved list: paths kept in save.txt beside the program, shown in lstEmployee.
class SavedListPanel : public QWidget {
    Q_OBJECT
public:
    explicit SavedListPanel(Form1 &form);

    Ui::SavedListPanel &controls() { return ui; }

    // "Save " on the main window: appends the path in Text3 to save.txt.
    void save();
    // "Open" on the main window: loads save.txt into the panel and shows it.
    void open();

    QByteArray saveFile() const;
    QByteArray tempFile() const;

public slots: // public, so that tests can drive the reactions
    void on_lstEmployee_itemSelectionChanged();
    void on_Command16_clicked();
    void on_Command14_clicked();

private:
    QString selectedEntry() const;
    void reload();
    void showCount();
    void deleteSelected();

    Form1 &form_;
    Ui::SavedListPanel ui;
};
