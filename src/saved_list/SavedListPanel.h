// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QWidget>

#include <functional>
#include <memory>

namespace platform {
class MessageBox;
}

namespace Ui {
class SavedListPanel;
}

namespace saved_list {

// Picture2, the saved list: paths kept in save.txt beside the program, shown in lstEmployee.
class SavedListPanel : public QWidget {
    Q_OBJECT
public:
    // What the panel uses of the main window.
    struct MainWindowView {
        std::function<QString()> selectedPath;
        std::function<void()> clearSelectedPath;
        std::function<QString()> timeOfDay;                       // the title of several messages
        std::function<QByteArray(const QString &)> besideProgram; // a file in the application folder
    };

    SavedListPanel(QWidget *parent, MainWindowView mainWindow,
                   std::shared_ptr<platform::MessageBox> messages);
    ~SavedListPanel() override;

    // "Save " on the main window: appends the selected path to save.txt.
    void save();
    // "Open" on the main window: loads save.txt into the panel and shows it.
    void open();

    QByteArray saveFile() const;
    QByteArray tempFile() const;

public slots:                                   // public, so that tests can drive the reactions
    void on_lstEmployee_itemSelectionChanged(); // an entry selected
    void on_Command16_clicked();                // "Delete"
    void on_Command14_clicked();                // "Close"

private:
    // The selected entry's bytes, in place; empty when none is selected.
    QByteArrayView selectedEntry() const;
    void reload();
    void showCount();
    void deleteSelected();

    std::unique_ptr<Ui::SavedListPanel> ui;
    MainWindowView mainWindow_;
    std::shared_ptr<platform::MessageBox> messages_;
};

} // namespace saved_list
