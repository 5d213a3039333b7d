// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <optional>
#include <sys/types.h>
#include <utility>

// A file system that stops answering on command (tests/support/stallfs), mounted in a private mount
// namespace for one test. A test that needs it starts with
//
//     const std::optional<StallingMount> mount = StallingMount::current();
//     if (!mount)
//         return StallingMount::runCurrentTestInside();
//
// which runs the same test again in a new process inside the namespace, beside the mount, and takes
// over its result; the test skips where no namespace can be made (not root). Inside, the mount at
// folder() holds readme.txt, docs/report.txt, docs/notes.txt, photos/holiday.jpg and
// deep/a/b/found.txt, and its type is fuse.stallfs. Whatever the test starts sees it too.
class StallingMount {
public:
    // The mount this test runs beside; nothing when it runs outside a stalling session.
    static std::optional<StallingMount> current();
    // Runs the current test again inside a stalling session with the file system at `folder` (its
    // parent becomes an empty tmpfs there), waits at most `timeoutMs`, and fails as that run fails.
    static void runCurrentTestInside(const QByteArray &folder = "/media/lumsifter-stalled",
                                     int timeoutMs = 90000);

    StallingMount(StallingMount &&other) noexcept
        : folder_(std::move(other.folder_))
        , server_(std::exchange(other.server_, 0)) {}
    StallingMount(const StallingMount &) = delete;
    StallingMount &operator=(const StallingMount &) = delete;
    // Answers again, so that whatever of the test still waits in the kernel ends and the test can end.
    ~StallingMount() {
        if (server_ > 0)
            answer();
    }

    const QByteArray &folder() const { return folder_; }
    // From now on no request is answered: each caller waits in the kernel, as on a dead share.
    void stall() const;
    // Answers again, the waiting requests first.
    void answer() const;

private:
    StallingMount(QByteArray folder, pid_t server)
        : folder_(std::move(folder))
        , server_(server) {}
    QByteArray folder_;
    pid_t server_;
};
