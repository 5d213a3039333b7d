// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// A named pipe for the length of a test, with a rescue: a call that blocks on the pipe (an open or a
// read waiting for a writer) would hang the whole suite, so after `limit` the guard opens the pipe
// itself, which lets the call return, and remembers that it had to. The test then fails on rescued().
class FifoGuard {
public:
    explicit FifoGuard(QByteArray path, std::chrono::milliseconds limit = std::chrono::seconds(3));
    ~FifoGuard();
    FifoGuard(const FifoGuard &) = delete;
    FifoGuard &operator=(const FifoGuard &) = delete;

    const QByteArray &path() const { return path_; }
    bool created() const { return created_; }
    bool rescued() const { return rescued_; }

private:
    void watch(std::chrono::milliseconds limit);

    QByteArray path_;
    bool created_ = false;
    std::atomic<bool> rescued_{false};
    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    std::thread watcher_;
};
