// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemFakes.h"

#include <cstring>

int FakeSockets::startup(std::uint16_t requestedVersion, platform::SocketsData &data) {
    ++startups;
    requested = requestedVersion;
    if (startupResult != 0)
        return startupResult;
    data.wVersion = version;
    data.iMaxSockets = maxSockets;
    return 0;
}

int FakeSockets::gethostname(char *buffer, int length) {
    if (hostNameFails) {
        error = hostNameError;
        return -1;
    }
    std::strncpy(buffer, hostName.constData(), static_cast<std::size_t>(length));
    return 0;
}

int FakeSockets::cleanup() {
    ++cleanups;
    return cleanupResult;
}
