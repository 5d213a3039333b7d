// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace platform {

// Physical memory in bytes; all zero when it cannot be read.
struct MemoryStatus {
    std::uint64_t totalPhys = 0;
    std::uint64_t availPhys = 0;
};

// The total and available memory of a meminfo text (the format of /proc/meminfo); all zero when
// MemTotal is missing. Without MemAvailable (old kernels) the free memory stands in for it.
MemoryStatus memoryFromMeminfo(const QByteArray &meminfo);

// Facts about the machine and its user.
class SystemFacts {
public:
    virtual ~SystemFacts() = default;
    virtual MemoryStatus memoryStatus() const = 0;
    // The login name of the user running the program; nothing when it cannot be read.
    virtual std::optional<QString> userName() const = 0;
};

// This machine: /proc/meminfo (or sysinfo(2) without it) and the password database.
class LocalSystemFacts : public SystemFacts {
public:
    MemoryStatus memoryStatus() const override;
    std::optional<QString> userName() const override;
};

} // namespace platform
