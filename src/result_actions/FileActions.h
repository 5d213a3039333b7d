// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Platform.h"

#include <QByteArray>
#include <QString>

#include <functional>

class PictureViewer;
class ResultListView;

// The commands on the selected result of the main window: the selection step, copy, delete, run,
// play, and locating and copying the search component's file.
class FileActions {
public:
    // What the commands use of the main window.
    struct MainWindowView {
        ResultListView &List1;
        PictureViewer &Picture1;        // its two frames receive the selected picture
        std::function<QString()> Text3; // the selected path
        std::function<void(const QString &)> setText3;
        std::function<QString()> Text4;                // the application folder
        std::function<QString()> Text5;                // the name of a copy
        std::function<void(const QString &)> setText1; // the pattern
        std::function<QString()> Text2;                // the location
        std::function<void(const QString &)> setText2;
        std::function<bool(const QString &)> setDrive;  // Drive1; false when there is no such drive
        std::function<void(const QString &)> setLabel4; // the result count
        std::function<void(bool)> setEnabled;           // the whole window
        // LS1.FindFiles into List1, with the location given, Text1's pattern and the window.
        std::function<void(const QString &)> findFiles;
        // The end every search shares: the window enabled, its caption "Finish search!", the count.
        std::function<void()> finishSearch;
        std::function<QByteArray(const QString &)> besideProgram; // a file in the application folder
    };

    FileActions(MainWindowView mainWindow, const platform::Platform &platform);

    // The selection of List1 changed: the path goes into Text3 and, if it is a picture, into both
    // frames of the viewer.
    void selectionStep();
    // "Copy Selected Filename": the selected entry into the application folder as Text5.
    void copySelected();
    // "Delete File": the file named in Text3, after a confirmation.
    void deleteFile();
    // "Run (.exe .bat)": starts the file Text3 names, alone, or nothing.
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
