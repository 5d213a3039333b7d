// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDeadlineTimer>

#include <cstddef>

namespace base {

// A file descriptor closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1)
        : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor &&other) noexcept
        : fd_(other.release()) {}
    Descriptor &operator=(Descriptor &&other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1);
    // Closes now, reporting whether the close (and so the last write) succeeded.
    bool close();

private:
    int fd_;
};

// How a transfer of an exact number of bytes ended: every byte moved, the other end is gone (end of
// file, a closed pipe or socket, an error: errno tells), or the deadline passed first.
enum class Transfer { Done, Ended, TimedOut };

// Reads exactly `count` bytes, going on after interruptions and short reads.
Transfer readExactly(int fd, char *into, std::size_t count,
                     QDeadlineTimer deadline = QDeadlineTimer::Forever);
// Writes every byte, going on after interruptions and short writes; a closed socket or pipe at the
// other end ends the transfer without a SIGPIPE for sockets.
Transfer writeAll(int fd, const char *data, std::size_t count,
                  QDeadlineTimer deadline = QDeadlineTimer::Forever);

} // namespace base
