// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TempFolder.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

// A desktop of its own for one test: a private session bus, a stand-in default application for text
// files and folders (it records the paths it is given), a trash, optionally a stand-in file manager on
// the bus and the accessibility bus. The program sees it through the environment it is started with.
class PrivateDesktop {
public:
    // With `accessibility`, the bus can start the accessibility bus that assistive tools read.
    explicit PrivateDesktop(bool accessibility = false);
    ~PrivateDesktop();
    PrivateDesktop(const PrivateDesktop &) = delete;
    PrivateDesktop &operator=(const PrivateDesktop &) = delete;

    // Whether the bus runs; the reason otherwise.
    bool ready() const { return !busAddress_.isEmpty(); }
    QString failure() const { return failure_; }
    QString busAddress() const { return busAddress_; }
    // What the program is started with.
    QProcessEnvironment environment() const;

    // The arguments the default application was started with, one per line, as bytes; waited for until
    // `expected` is among them or the time is up.
    QByteArray waitForOpened(const QByteArray &expected, int timeoutMs = 5000) const;

    // Starts the stand-in file manager and waits until it owns its name on the bus.
    bool startFileManager();
    void stopFileManager();
    // The requests the file manager got, one per line ("ShowItems <uri>"); waited for as above.
    QByteArray waitForFileManager(const QByteArray &expected, int timeoutMs = 5000) const;

    // The trash of the desktop's user: files/ holds what was moved there, info/ where it came from.
    QByteArray trash() const;

private:
    QByteArray path(const char *name) const;

    TempFolder dir_;
    QProcess bus_;
    QProcess fileManager_;
    QString busAddress_;
    QString failure_;
};

// Waits until the file holds `expected` (as a line or part of one); returns what it holds then.
QByteArray waitForFileContaining(const QByteArray &file, const QByteArray &expected, int timeoutMs);
