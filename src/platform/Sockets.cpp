// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Sockets.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace platform {

namespace {

constexpr std::uint16_t offeredVersion = 0x0101;

// The record's field is 16 bits wide; an unlimited or huge limit shows as its largest value.
std::int16_t socketLimit(const rlimit &limit) {
    constexpr rlim_t widest = std::numeric_limits<std::int16_t>::max();
    if (limit.rlim_cur == RLIM_INFINITY)
        return static_cast<std::int16_t>(widest);
    return static_cast<std::int16_t>(std::min(limit.rlim_cur, widest));
}

} // namespace

int SystemSockets::startup(std::uint16_t /*requestedVersion*/, SocketsData &data) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        lastError_ = errno;
        return lastError_;
    }
    data.wVersion = offeredVersion; // the only version there is, whatever was asked for
    data.iMaxSockets = socketLimit(limit);
    return 0;
}

int SystemSockets::gethostname(char *buffer, int length) {
    const int result = ::gethostname(buffer, static_cast<std::size_t>(length));
    if (result == -1)
        lastError_ = errno; // kept at once: later calls may overwrite errno
    return result;
}

} // namespace platform
