// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Sockets.h"
#include "platform/SystemFacts.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A sockets library whose every call can be made to fail; it counts start-ups and clean-ups so that
// tests can see that every start is ended.
class FakeSockets : public platform::Sockets {
public:
    int startup(std::uint16_t requestedVersion, platform::SocketsData &data) override;
    int gethostname(char *buffer, int length) override;
    int lastError() const override { return error; }
    int cleanup() override;

    // What start-up answers and writes into the record.
    int startupResult = 0;
    std::uint16_t version = 0x0101;
    std::int16_t maxSockets = 1024;
    // The name gethostname writes, in the locale's encoding; a failing call sets the last error.
    QByteArray hostName = "TestHost";
    bool hostNameFails = false;
    int error = 0;
    int hostNameError = 10093;
    int cleanupResult = 0;

    int startups = 0;
    int cleanups = 0;
    std::uint16_t requested = 0;
};

// Memory and user as a test sets them; 512 MB of which 256 MB are available by default.
class FakeSystemFacts : public platform::SystemFacts {
public:
    platform::MemoryStatus memoryStatus() const override { return memory; }
    std::optional<QString> userName() const override { return user; }

    static constexpr std::uint64_t MB = 1024 * 1024;
    platform::MemoryStatus memory{.totalPhys = 512 * MB, .availPhys = 256 * MB};
    std::optional<QString> user = QStringLiteral("tester");
};
