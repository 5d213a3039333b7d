// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace platform {

// The start-up record of the sockets library, zero-filled before start-up.
struct SocketsData {
    std::uint16_t wVersion = 0;   // low byte the major, high byte the minor version in use
    std::int16_t iMaxSockets = 0; // the most sockets a process may open
};

// The sockets library: start-up, the host name, the last error and clean-up.
class Sockets {
public:
    virtual ~Sockets() = default;
    // 0 on success, with the record filled; an error code otherwise.
    virtual int startup(std::uint16_t requestedVersion, SocketsData &data) = 0;
    // Writes the NUL-terminated host name into buffer; -1 on failure.
    virtual int gethostname(char *buffer, int length) = 0;
    // The error code of the last failed call.
    virtual int lastError() const = 0;
    // 0 on success.
    virtual int cleanup() = 0;
};

// This machine: the library offers version 1.1 and as many sockets as the process may open files.
class SystemSockets : public Sockets {
public:
    int startup(std::uint16_t requestedVersion, SocketsData &data) override;
    int gethostname(char *buffer, int length) override;
    int lastError() const override { return lastError_; }
    int cleanup() override { return 0; }

private:
    int lastError_ = 0;
};

} // namespace platform
