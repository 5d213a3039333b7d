// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Platform.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace search_component {
class ResultListView;
}

namespace result_actions {

class PictureViewer;

// The commands on the selected result of the main window: the selection step, copy, delete, run,
// play, and locating and copying the search component's file.
class FileActions {
public:
    // What the commands use of the main window.
    struct MainWindowView {
        search_component::ResultListView &resultList;
        PictureViewer &pictureViewer; // its two frames receive the selected picture
        std::function<QString()> selectedPath;
        std::function<void(const QString &)> setSelectedPath;
        std::function<QString()> applicationFolder;
        std::function<QString()> copyName; // the name a copied file gets
        std::function<void(const QString &)> setPattern;
        std::function<QString()> location;
        std::function<void(const QString &)> setLocation;
        std::function<bool(const QString &)> setDrive; // false when there is no such drive
        std::function<void(const QString &)> setResultCount;
        std::function<void(bool)> setEnabled; // the whole window
        // LS1.FindFiles into the result list, with the location given, the pattern and the window.
        std::function<void(const QString &)> findFiles;
        // The end every search shares: the window enabled, its caption "Finish search!", the count.
        std::function<void()> finishSearch;
        std::function<QByteArray(const QString &)> besideProgram; // a file in the application folder
    };

    FileActions(MainWindowView mainWindow, const platform::Platform &platform);

    // The selection of the result list changed: the path becomes the selected path and, if it is a
    // picture, goes into both frames of the viewer.
    void selectionStep();
    // "Copy Selected Filename": the selected entry into the application folder under the copy name.
    void copySelected();
    // "Delete File": the file the selected path names, after a confirmation.
    void deleteFile();
    // "Run (.exe .bat)": starts the file the selected path names, alone, or nothing.
    void run();
    // "Play wav Sound": the selected entry as a sound, until it ends.
    void play();
    // "Search and Copy Lumsift.ocx": finds the component's file on C: and D: and copies the first
    // match beside the program as Lumsifter.ocx.
    void searchAndCopyComponent();

    // The message titles and texts of the copies.
    static const QString copyTitle;
    static const QString copyFailed;

private:
    QByteArray selectedEntry(bool &selected) const;
    void prepareDrive(const QString &drive);

    MainWindowView mainWindow_;
    platform::Platform platform_;
};

} // namespace result_actions
