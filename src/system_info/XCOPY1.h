// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>

namespace platform {
class MessageBox;
class Sockets;
} // namespace platform

namespace system_info {

// The socket routines behind the host-name line. They keep nothing between calls: every query starts
// the sockets library, asks for the name and ends the library again. Failures are told in message
// boxes with the OK button, no icon and the application's title.
class XCOPY1 {
public:
    XCOPY1(platform::Sockets &sockets, platform::MessageBox &messages);

    // The computer's host name, or an empty text on any failure.
    QString getHostName();
    // True when the library started and is usable; false after a message otherwise.
    bool startSockets();
    void stopSockets();

    // The bytes of a version word: the low byte is the major, the high byte the minor version.
    static int highByte(std::uint16_t word);
    static int lowByte(std::uint16_t word);

private:
    void tell(const QString &message);

    platform::Sockets &sockets_;
    platform::MessageBox &messages_;
};

} // namespace system_info
