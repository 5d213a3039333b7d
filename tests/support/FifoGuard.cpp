// SPDX-License-Identifier: GPL-3.0-or-later
#include "FifoGuard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FifoGuard::FifoGuard(QByteArray path, std::chrono::milliseconds limit)
    : path_(std::move(path))
    , created_(::mkfifo(path_.constData(), 0644) == 0) {
    watcher_ = std::thread([this, limit] { watch(limit); });
}

FifoGuard::~FifoGuard() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
    watcher_.join();
    ::unlink(path_.constData());
}

void FifoGuard::watch(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    if (stop_.wait_for(lock, limit, [this] { return stopping_; }))
        return;
    // Opened for reading and writing, the pipe has a writer (a waiting open for reading returns) and,
    // once closed again, none (a waiting read sees the end). Repeated while the test goes on.
    while (!stopping_) {
        rescued_ = true;
        const int fd = ::open(path_.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        stop_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stopping_; });
        if (fd >= 0)
            ::close(fd);
    }
}
