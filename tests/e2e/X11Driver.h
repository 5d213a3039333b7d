// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TempFolder.h"

#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

// Drives the real program on a real X server: a copy of the built program folder in a temporary
// folder (so the program's own files land there), xdotool for windows, clicks and keys, import for
// screenshots.
class X11Driver {
public:
    // The program's folder is a temporary folder, or a folder of that name (raw bytes) inside it.
    explicit X11Driver(const QByteArray &folderName = {});
    // For a program installed elsewhere: nothing is copied, and startInstalled starts it.
    struct Installed {};
    explicit X11Driver(Installed);
    ~X11Driver();

    bool hasDisplay() const { return !qEnvironmentVariableIsEmpty("DISPLAY"); }
    QString programFolder() const { return folder_.path(); }
    QByteArray programFolderBytes() const { return programFolder_; }

    // Starts the program from its copied folder, with the environment given (by default the test's own).
    void start(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    // Starts an installed program with this environment (the test's X server is added to it);
    // `inChild` runs in the new process before the program, to become another user, say.
    void startInstalled(const QString &program, QProcessEnvironment environment,
                        std::function<void()> inChild = {});
    QProcess &process() { return program_; }

    // The id of the first visible window whose title is exactly `title`, or empty after the timeout.
    QString waitForWindow(const QString &title, int timeoutMs = 10000);
    // The same for a title matching an extended regular expression.
    QString waitForWindowMatching(const QString &pattern, int timeoutMs = 10000);
    QRect geometry(const QString &window);
    // Clicks at a point given relative to the window's top-left corner.
    void click(const QString &window, int x, int y);
    // Gives the window the keyboard focus and types keys such as "Return" or "ctrl+a".
    void key(const QString &window, const QString &keys);
    void type(const QString &window, const QString &text);
    // Right-clicks at a point of the window, and moves the pointer there.
    void rightClick(const QString &window, int x, int y);
    void moveTo(const QString &window, int x, int y);
    // Types keys ("Down Down Return") to whatever holds the keyboard now (an open menu), without
    // focusing a window first.
    void keys(const QString &keys);
    // Drags with the left button from a point of the window to a point of the screen, in steps.
    void drag(const QString &window, QPoint from, QPoint to);
    // The visible windows of the program (its main window, an open menu, a tooltip, ...), by their class.
    int visibleWindows();
    bool screenshot(const QString &file);

    // The main window's steps. Types a pattern into the pattern box and presses Enter, which searches
    // like the button; waits for the search's overview and closes it. False when none came.
    bool searchFor(const QString &window, const QString &pattern);
    // Clicks the first row of the result list, which selects it, then Save.
    void selectFirstAndSave(const QString &window);
    // Exit, then Yes in the box that asks; false when no box asked.
    bool exitProgram(const QString &window);
    // Return in the message box titled with the time of day (" has been saved!" and others); false
    // when none came.
    bool closeTimeTitledBox();
    // The file's content once it has any, or empty after the timeout.
    static QByteArray waitForContent(const QByteArray &file, int timeoutMs = 5000);

    // Runs a command and returns its standard output, trimmed.
    static QString run(const QString &program, const QStringList &arguments, int timeoutMs = 10000);
    // The same, its output as bytes, untouched.
    static QByteArray runBytes(const QString &program, const QStringList &arguments, int timeoutMs = 10000);

private:
    TempFolder folder_;
    QByteArray programFolder_;
    QProcess program_;
};
