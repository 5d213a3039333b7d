// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Descriptor.h"

#include <QCborMap>
#include <QDeadlineTimer>
#include <QString>

#include <stdexcept>
#include <sys/types.h>

namespace helper_protocol {

// How the program runs the helper: which program, how long one request may take, and how much
// address space the helper may use.
struct HostOptions {
    QByteArray program; // the path's bytes
    int timeLimitMs = 5000;
    quint64 memoryLimitBytes = quint64(1) << 30;
};

// The helper failed as a process: it could not be started, it ended, it did not answer in time, or
// it answered garbage. The session is over after any of these.
class HostFailure : public std::runtime_error {
public:
    enum class Kind { NotStarted, Ended, TimedOut, Garbage };
    HostFailure(Kind kind, const QString &what);
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// One running helper and the conversation with it. The helper is started by the constructor and
// ended (killed if need be) by end() or the destructor; every request waits at most the time limit.
class HostSession {
public:
    explicit HostSession(HostOptions options);
    ~HostSession();
    HostSession(const HostSession &) = delete;
    HostSession &operator=(const HostSession &) = delete;

    // Sends a request and returns the helper's reply, ok or not. Throws HostFailure.
    QCborMap call(const QCborMap &request);

    void end();
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

private:
    void start();
    void sendAll(const QByteArray &bytes, QDeadlineTimer deadline);
    QByteArray receive(QDeadlineTimer deadline);
    void transferred(base::Transfer result);
    [[noreturn]] void fail(HostFailure::Kind kind, const QString &what);
    QString endedText();
    QString programName() const;
    void kill();

    HostOptions options_;
    pid_t pid_ = -1;
    int socket_ = -1;
    int exitStatus_ = 0;
};

} // namespace helper_protocol
