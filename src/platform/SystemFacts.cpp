// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SystemFacts.h"

#include <QFile>

#include <pwd.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <vector>

namespace platform {

namespace {

// The value of one "Name:   1234 kB" line, in bytes.
std::optional<std::uint64_t> meminfoField(const QByteArray &meminfo, const QByteArray &name) {
    for (const QByteArray &line : meminfo.split('\n')) {
        if (!line.startsWith(name + ':'))
            continue;
        QByteArray value = line.mid(name.size() + 1).trimmed();
        const bool inKilobytes = value.endsWith(" kB");
        if (inKilobytes)
            value.chop(3);
        bool ok = false;
        const std::uint64_t number = value.trimmed().toULongLong(&ok);
        if (!ok)
            return std::nullopt;
        return inKilobytes ? number * 1024 : number;
    }
    return std::nullopt;
}

MemoryStatus memoryFromSysinfo() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return {};
    const std::uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    return {info.totalram * unit, (info.freeram + info.bufferram) * unit};
}

} // namespace

MemoryStatus memoryFromMeminfo(const QByteArray &meminfo) {
    const std::optional<std::uint64_t> total = meminfoField(meminfo, "MemTotal");
    if (!total)
        return {};
    std::optional<std::uint64_t> available = meminfoField(meminfo, "MemAvailable");
    if (!available)
        available = meminfoField(meminfo, "MemFree");
    return {*total, available.value_or(0)};
}

MemoryStatus LocalSystemFacts::memoryStatus() const {
    QFile file(QStringLiteral("/proc/meminfo"));
    if (!file.open(QIODevice::ReadOnly))
        return memoryFromSysinfo();
    const MemoryStatus status = memoryFromMeminfo(file.readAll());
    return status.totalPhys ? status : memoryFromSysinfo();
}

std::optional<QString> LocalSystemFacts::userName() const {
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd *found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    return QString::fromLocal8Bit(found->pw_name);
}

} // namespace platform
