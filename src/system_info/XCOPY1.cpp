// SPDX-License-Identifier: GPL-3.0-or-later
#include "system_info/XCOPY1.h"

#include "platform/MessageBox.h"
#include "platform/Sockets.h"

#include <QByteArray>

namespace system_info {

namespace {

constexpr std::uint16_t requestedVersion = 0x0101;
constexpr int minimumSockets = 1;
constexpr int lowestMajor = 1;
constexpr int lowestMinor = 1;
constexpr int hostNameBufferSize = 256;

} // namespace

XCOPY1::XCOPY1(platform::Sockets &sockets, platform::MessageBox &messages)
    : sockets_(sockets)
    , messages_(messages) {}

void XCOPY1::tell(const QString &message) {
    messages_.show(message, platform::Style::OkOnly, QString());
}

QString XCOPY1::getHostName() {
    QByteArray buffer(hostNameBufferSize, '\0');
    if (!startSockets())
        return QString();
    QString name;
    if (sockets_.gethostname(buffer.data(), hostNameBufferSize) == -1) {
        tell(QStringLiteral("Windows Sockets error ") + QStringLiteral(" ") +
             QString::number(sockets_.lastError()) +
             QStringLiteral(" has occurred. Unable to successfully get Host Name."));
    } else {
        name = QString::fromLocal8Bit(buffer.constData()); // up to the first NUL
    }
    stopSockets();
    return name;
}

bool XCOPY1::startSockets() {
    platform::SocketsData data{};
    if (sockets_.startup(requestedVersion, data) != 0) {
        tell(QStringLiteral("The 32-bit Windows Socket is not responding."));
        return false;
    }
    if (data.iMaxSockets < minimumSockets) {
        tell(QStringLiteral("This application requires a minimum of ") + QString::number(minimumSockets) +
             QStringLiteral(" supported sockets."));
        stopSockets();
        return false;
    }
    const int major = lowByte(data.wVersion);
    const int minor = highByte(data.wVersion);
    if (major < lowestMajor || (major == lowestMajor && minor < lowestMinor)) {
        tell(QStringLiteral("Sockets version ") + QString::number(major) + QStringLiteral(".") +
             QString::number(minor) + QStringLiteral(" is not supported by 32-bit Windows Sockets."));
        stopSockets();
        return false;
    }
    return true;
}

void XCOPY1::stopSockets() {
    if (sockets_.cleanup() != 0)
        tell(QStringLiteral("Socket error occurred in Cleanup."));
}

int XCOPY1::highByte(std::uint16_t word) {
    // The word is taken as signed, and the division truncates toward zero.
    const int signedWord = static_cast<std::int16_t>(word);
    return (signedWord / 256) & 255;
}

int XCOPY1::lowByte(std::uint16_t word) {
    return word & 255;
}

} // namespace system_info
