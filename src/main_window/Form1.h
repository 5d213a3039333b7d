// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/LayeredWindow.h"
#include "platform/Platform.h"
#include "search_component/LumsiftControl.h"
#include "status_window/Form2.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace database {
class DatabasePanel;
}
namespace result_actions {
class FileActions;
class PictureViewer;
class ResultMenu;
} // namespace result_actions
namespace saved_list {
class SavedListPanel;
}

namespace Ui {
class Form1;
}

namespace main_window {

// The main window: the search area, the result list and the commands on it, the title strip, the
// action row, the bottom bar and three panels hidden at start.
class Form1 : public QWidget {
    Q_OBJECT
public:
    // What the main window uses of the application: the status window, a refresh, the end.
    struct ApplicationView {
        std::function<status_window::Form2 &()> statusWindow; // created on first use
        std::function<void()> refresh;
        std::function<void()> end;
    };

    // Loading the window runs its start-up.
    Form1(ApplicationView app, const platform::Platform &platform);
    ~Form1() override;

    result_actions::PictureViewer &Picture1() { return *picture1_; }
    saved_list::SavedListPanel &Picture2() { return *picture2_; }
    database::DatabasePanel &Picture6() { return *picture6_; }
    QTimer &Timer2() { return *timer2_; }
    int lngAlpha() const { return lngAlpha_; }

    // The controls the status window mirrors and writes.
    const status_window::Form2::MainWindowView &statusView() const { return statusView_; }

    // Shown at once, without fading: after a refresh.
    void rel();

    // The search of one location (Command1, or Enter in Text1).
    void searchLocation();
    // The search of drives C: to G: in turn, as many as the drive count (Command11).
    void searchAllDrives();

    // The current time of day as text, the title of several messages.
    QString timeOfDay() const;
    // A file beside the program: the application folder (Text4), a separator and the name, joined as
    // they stand. At the root the doubled separator names the same file. The user's data folder, when
    // it is the application folder, is made here if it is missing.
    QByteArray besideProgram(const QString &name) const;

    // Stops the window's timers: the program is ending.
    void stopTimers();

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

public slots:                         // public, so that tests can drive the reactions
    void on_Timer2_timeout();         // fade-in tick
    void on_Label16_clicked();        // "Click Here if you inserted a removable media ...": refresh
    void on_Drive1_driveChanged();    // a drive picked
    void on_Text2_clicked();          // the location box: shows the drive list
    void on_Command2_clicked();       // "Exit"
    void on_Command6_clicked();       // "About"
    void on_Command7_clicked();       // "Help"
    void on_Command1_clicked();       // "Search"
    void on_Command11_clicked();      // "Search all Drives"
    void on_List1_listIndexChanged(); // the selection step
    void on_Command10_clicked();      // "Copy Selected Filename"
    void on_Command22_clicked();      // "Delete File"
    void on_Command8_clicked();       // "Run (.exe .bat)"
    void on_Command4_clicked();       // "Play wav Sound"
    void on_Command9_clicked();       // "Search and Copy Lumsift.ocx"
    void on_Command5_clicked();       // "Picture Viewer"
    void on_Command12_clicked();      // "Save "
    void on_Command13_clicked();      // "Open"
    void on_Command17_clicked();      // "Open MDB"

private:
    void startUp();
    void placePanels();
    // The result list's context menu, drag and keys, the window's own keys.
    void wireDesktopActions();
    // Names for assistive tools, and the tab order of the window.
    void makeAccessible();
    void applyOpacity(int alpha);
    void findFiles(const QString &location);
    // The end every search shares: the window enabled, its caption, the result count.
    void finishSearch();

    ApplicationView app_;
    platform::Platform platform_;
    QTimer *timer2_;
    std::unique_ptr<Ui::Form1> ui;
    result_actions::PictureViewer *picture1_ = nullptr;
    saved_list::SavedListPanel *picture2_ = nullptr;
    database::DatabasePanel *picture6_ = nullptr;
    platform::LayeredWindow layered_;
    search_component::LumsiftControl ls1_;
    std::unique_ptr<result_actions::FileActions> fileActions_;
    std::unique_ptr<result_actions::ResultMenu> resultMenu_;
    status_window::Form2::MainWindowView statusView_{};
    int lngAlpha_ = 0;
    QImage banner_;
};

// The twelve lines the result list holds at start-up.
QStringList instructionLines();
// The texts of About and Help.
QString aboutText();
QString helpText();

} // namespace main_window
