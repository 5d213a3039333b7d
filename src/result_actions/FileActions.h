#pragma once

#include <QByteArray>
#include <QString>

class Form1;

// The commands on the selected result of the main window: the selection step, copy, delete, run,
// play, and locating and copying the search component's file.
class FileActions {
public:
    explicit FileActions(Form1 &form);

    // The selection of List1 changed: the path goes into Text3 and, if it is a picture, into both
    // frames of the viewer.
    void selectionStep();
    // "Copy Selected Filename": the selected entry into the application folder as Text5.
    void copySelected();
    // "Delete File": the file named in Text3, after a confirmation.
    void deleteFile();
    // "Run (.exe .bat)": Text3 as a command line.
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

    Form1 &form_;
};
