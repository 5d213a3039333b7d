// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBox.h"
#include "platform/Platform.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QLabel;

namespace platform {
class Sockets;
class SystemFacts;
} // namespace platform

// The three lines of the bottom bar, built from what the platform reports.
namespace system_info {

// "#,000": a non-negative value to the nearest whole number, at least three digits, the locale's
// thousands separator between groups of three.
QString wholeNumberText(double value, const QLocale &locale);
// "0.00": two decimals with the locale's decimal separator.
QString twoDecimalsText(double value, const QLocale &locale);

QString hostLine(const QString &hostName);
// Available and total memory in megabytes and the share in use; nothing without a total, since the
// share cannot be computed then.
std::optional<QString> memoryLine(std::uint64_t availableBytes, std::uint64_t totalBytes,
                                  const QLocale &locale);
// The login name after "Your Domain:", or the words for a user that cannot be read.
QString userLine(const std::optional<QString> &userName);

// Passes boxes on and tells whether one of them is still open: the timers tick on while a modal box
// waits for the user.
class TrackedMessageBox : public platform::MessageBox {
public:
    explicit TrackedMessageBox(std::shared_ptr<platform::MessageBox> boxes);
    int show(const QString &prompt, int style, const QString &title) override;
    bool isOpen() const { return open_ > 0; }

private:
    std::shared_ptr<platform::MessageBox> boxes_;
    int open_ = 0;
};

// The system-information tick of the status window: host name, memory and user into the main
// window's bottom bar, each step skipped when it fails.
class SystemInformation {
public:
    // The main window's bottom bar: its host, memory and user lines.
    struct BottomBar {
        QLabel *host;
        QLabel *memory;
        QLabel *user;
    };
    // The bottom bar of the main window; null while the main window reloads.
    using BottomBarView = std::function<const BottomBar *()>;

    SystemInformation(const platform::Platform &platform, BottomBarView bottomBar);

    // memoryLine and userLine are the status window's storage between computing a line and
    // showing it.
    void tick(QString &memoryLine, QString &userLine);

private:
    void showHostName();
    const BottomBar &bottomBar() const;
    platform::SystemFacts &facts() const;

    std::shared_ptr<platform::Sockets> sockets_;
    std::shared_ptr<platform::SystemFacts> facts_;
    TrackedMessageBox messages_;
    BottomBarView bottomBar_;
};

} // namespace system_info
