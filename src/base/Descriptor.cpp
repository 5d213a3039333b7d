// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Descriptor.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace base {

namespace {

// Waits until the descriptor is ready or the deadline passes; false on time-out. Without a deadline
// the read or write itself waits.
bool waitFor(int fd, short events, const QDeadlineTimer &deadline) {
    if (deadline.isForever())
        return true;
    for (;;) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return false;
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, int(left));
        if (r > 0)
            return true;
        if (r < 0 && errno != EINTR)
            return true; // let the read or write report the error
    }
}

} // namespace

void Descriptor::reset(int fd) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

bool Descriptor::close() {
    return ::close(release()) == 0;
}

Transfer readExactly(int fd, char *into, std::size_t count, QDeadlineTimer deadline) {
    std::size_t got = 0;
    while (got < count) {
        if (!waitFor(fd, POLLIN, deadline))
            return Transfer::TimedOut;
        const ssize_t n = ::read(fd, into + got, count - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Transfer::Ended;
        got += std::size_t(n);
    }
    return Transfer::Done;
}

Transfer writeAll(int fd, const char *data, std::size_t count, QDeadlineTimer deadline) {
    bool socket = true;
    std::size_t sent = 0;
    while (sent < count) {
        if (!waitFor(fd, POLLOUT, deadline))
            return Transfer::TimedOut;
        const ssize_t n = socket ? ::send(fd, data + sent, count - sent, MSG_NOSIGNAL)
                                 : ::write(fd, data + sent, count - sent);
        if (n < 0 && errno == ENOTSOCK && socket) {
            socket = false;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Transfer::Ended;
        sent += std::size_t(n);
    }
    return Transfer::Done;
}

} // namespace base
