// SPDX-License-Identifier: GPL-3.0-or-later
#include "helper_protocol/HostSession.h"

#include "base/Descriptor.h"

#include "helper_protocol/Protocol.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace helper_protocol {

namespace {

// One database operation is a few seconds of work at most; ten minutes of processor time means the
// helper is lost.
constexpr rlim_t cpuLimitSeconds = 600;

// How long an ending helper is given, in steps of 2 ms. A sanitized helper checks for leaks as it
// ends, which takes longer than a moment.
#ifdef LUMSIFTER_SANITIZED
constexpr int endingSteps = 2500;
#else
constexpr int endingSteps = 50;
#endif

// Runs in the child between fork and exec: async-signal-safe calls only. The helper dies with the
// program (a helper stuck in a damaged file must not outlive a program that crashed or was killed), and
// its processor time is bounded as well, in case that signal is ever missed.
[[noreturn]] void becomeHelper(int socket, const char *program, rlim_t memoryLimit, pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(127); // the program ended before the signal was asked for
    const rlimit processorTime{cpuLimitSeconds, cpuLimitSeconds + 5};
    ::setrlimit(RLIMIT_CPU, &processorTime);
    ::dup2(socket, STDIN_FILENO);
    ::dup2(socket, STDOUT_FILENO);
    if (::syscall(SYS_close_range, 3u, ~0u, 0) != 0) {
        for (int fd = 3; fd < 4096; ++fd)
            ::close(fd);
    }
#ifndef LUMSIFTER_SANITIZED
    // AddressSanitizer maps terabytes of shadow memory: a sanitized helper could not start under the
    // limit, so the sanitizer build runs it without.
    const rlimit memory{memoryLimit, memoryLimit};
    ::setrlimit(RLIMIT_AS, &memory);
#else
    (void)memoryLimit;
#endif
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    char *const argv[] = {const_cast<char *>(program), nullptr};
    ::execv(program, argv);
    ::_exit(127);
}

} // namespace

HostFailure::HostFailure(Kind kind, const QString &what)
    : std::runtime_error(what.toStdString())
    , kind_(kind) {}

HostSession::HostSession(HostOptions options)
    : options_(std::move(options)) {
    start();
}

HostSession::~HostSession() {
    end();
}

void HostSession::start() {
    const QByteArray &program = options_.program;
    if (program.isEmpty() || ::access(program.constData(), X_OK) != 0)
        throw HostFailure(HostFailure::Kind::NotStarted,
                          QStringLiteral("The database helper %1 cannot be run.").arg(programName()));
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        throw HostFailure(HostFailure::Kind::NotStarted, QString::fromLocal8Bit(std::strerror(errno)));
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0)
        becomeHelper(pair[1], program.constData(), rlim_t(options_.memoryLimitBytes), parent);
    ::close(pair[1]);
    if (pid < 0) {
        ::close(pair[0]);
        throw HostFailure(HostFailure::Kind::NotStarted, QString::fromLocal8Bit(std::strerror(errno)));
    }
    pid_ = pid;
    socket_ = pair[0];
}

QCborMap HostSession::call(const QCborMap &request) {
    if (!running())
        throw HostFailure(HostFailure::Kind::Ended, QStringLiteral("The database helper is not running."));
    const QDeadlineTimer deadline(options_.timeLimitMs);
    sendAll(encodeFrame(request), deadline);
    const std::optional<QCborMap> reply = decodePayload(receive(deadline));
    if (!reply || reply->value(Key::version).toInteger(-1) != protocolVersion ||
        !reply->value(Key::ok).isBool())
        fail(HostFailure::Kind::Garbage,
             QStringLiteral("The database helper gave an answer that makes no sense."));
    return *reply;
}

void HostSession::sendAll(const QByteArray &bytes, QDeadlineTimer deadline) {
    transferred(base::writeAll(socket_, bytes.constData(), size_t(bytes.size()), deadline));
}

// Ends the session with the failure a transfer that did not complete stands for.
void HostSession::transferred(base::Transfer result) {
    if (result == base::Transfer::TimedOut)
        fail(HostFailure::Kind::TimedOut, QString());
    if (result == base::Transfer::Ended)
        fail(HostFailure::Kind::Ended, endedText());
}

QByteArray HostSession::receive(QDeadlineTimer deadline) {
    char header[4];
    transferred(base::readExactly(socket_, header, 4, deadline));
    const quint32 length = frameLength(header);
    if (length > maximumFrame)
        fail(HostFailure::Kind::Garbage,
             QStringLiteral("The database helper announced a reply of %1 bytes.").arg(length));
    QByteArray payload(qsizetype(length), Qt::Uninitialized);
    transferred(base::readExactly(socket_, payload.data(), length, deadline));
    return payload;
}

void HostSession::fail(HostFailure::Kind kind, const QString &what) {
    kill();
    if (kind == HostFailure::Kind::TimedOut)
        throw HostFailure(kind,
                          QStringLiteral("The database helper did not answer within %1 ms and was stopped.")
                              .arg(options_.timeLimitMs));
    if (kind == HostFailure::Kind::Ended)
        throw HostFailure(kind, endedText());
    throw HostFailure(kind, what);
}

QString HostSession::programName() const {
    return QString::fromUtf8(options_.program);
}

// Why the helper is gone, once it has been reaped.
QString HostSession::endedText() {
    if (running())
        kill();
    if (WIFSIGNALED(exitStatus_))
        return QStringLiteral("The database helper ended on signal %1 (%2).")
            .arg(WTERMSIG(exitStatus_))
            .arg(QString::fromLocal8Bit(strsignal(WTERMSIG(exitStatus_))));
    if (WIFEXITED(exitStatus_) && WEXITSTATUS(exitStatus_) == 127)
        return QStringLiteral("The database helper %1 could not be started.").arg(programName());
    return QStringLiteral("The database helper ended unexpectedly (exit status %1).")
        .arg(WEXITSTATUS(exitStatus_));
}

void HostSession::kill() {
    if (!running())
        return;
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, &exitStatus_, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    ::close(socket_);
    socket_ = -1;
}

// Closing its input ends the helper; it is given a moment, then killed.
void HostSession::end() {
    if (!running())
        return;
    ::shutdown(socket_, SHUT_RDWR);
    for (int tries = 0; tries < endingSteps; ++tries) {
        if (::waitpid(pid_, &exitStatus_, WNOHANG) == pid_) {
            pid_ = -1;
            ::close(socket_);
            socket_ = -1;
            return;
        }
        ::usleep(2000);
    }
    kill();
}

} // namespace helper_protocol
