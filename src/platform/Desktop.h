// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace platform {

// What an action of the desktop came to: done, or the reason it could not be done.
struct DesktopOutcome {
    bool done = true;
    QString reason;
};

// The desktop's own handling of a file (raw path bytes): its default application, the file manager,
// the trash.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Opens the file with the desktop's default application for its type.
    virtual DesktopOutcome open(const QByteArray &path) = 0;
    // Shows the file selected in the file manager or, when no file manager takes the request, opens
    // its folder with the default application. The file manager answers later, so this returns at
    // once; `failed` runs afterwards, on this thread, only if neither could be done.
    virtual void showInFolder(const QByteArray &path, std::function<void(const QString &reason)> failed) = 0;
    // Moves the file into the desktop's trash, from where the user can restore it.
    virtual DesktopOutcome moveToTrash(const QByteArray &path) = 0;
};

// The real desktop: GIO for the default applications and the trash, the file manager over the session
// bus (org.freedesktop.FileManager1).
class SessionDesktop : public Desktop {
public:
    DesktopOutcome open(const QByteArray &path) override;
    void showInFolder(const QByteArray &path, std::function<void(const QString &reason)> failed) override;
    DesktopOutcome moveToTrash(const QByteArray &path) override;
};

} // namespace platform
