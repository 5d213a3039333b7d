// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Processes.h"

#include "base/Descriptor.h"
#include "platform/PathCodec.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace platform {

namespace {

// What the kernel may be asked to look up at once, with room for the "/dev/fd/N/" that it puts before
// the name when it hands a script started through a folder's descriptor to its interpreter.
constexpr qsizetype lookupLimit = PATH_MAX - 32;

// A file to start: its name, looked up in `folder` (the working folder when invalid).
struct Program {
    base::Descriptor folder;
    QByteArray name;
};

// The file a path names. A path too long for one lookup is walked a piece at a time: each piece of
// folders is opened relative to the folder before it, so that only the last piece names the file.
std::optional<Program> programAt(const QByteArray &path) {
    Program program{base::Descriptor(), path};
    while (program.name.size() > lookupLimit) {
        const qsizetype cut = program.name.lastIndexOf('/', lookupLimit);
        if (cut <= 0) {
            errno = ENAMETOOLONG;
            return std::nullopt;
        }
        const int from = program.folder.valid() ? program.folder.get() : AT_FDCWD;
        program.folder.reset(
            ::openat(from, program.name.left(cut).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!program.folder.valid())
            return std::nullopt;
        program.name.remove(0, cut + 1);
    }
    struct stat info {};
    const int folder = program.folder.valid() ? program.folder.get() : AT_FDCWD;
    if (program.name.isEmpty() || ::fstatat(folder, program.name.constData(), &info, 0) != 0 ||
        !S_ISREG(info.st_mode))
        return std::nullopt;
    return program;
}

// In the new process, which may only make async-signal-safe calls: starts the program. A script
// started through a folder's descriptor is handed to its interpreter as /dev/fd/N/name, so that
// descriptor must stay open across the start.
void execute(const Program &program, char *const argv[]) {
    if (!program.folder.valid()) {
        ::execve(program.name.constData(), argv, environ);
        return;
    }
    const int inherited = ::dup(program.folder.get());
    if (inherited >= 0)
        ::execveat(inherited, program.name.constData(), argv, environ, 0);
}

} // namespace

bool DetachedProcessStarter::start(const QString &path) {
    QByteArray whole = encodePath(path);
    const std::optional<Program> program = programAt(whole);
    if (!program)
        return false;
    char *const argv[] = {whole.data(), nullptr};

    // The program runs in a grandchild, in a session of its own, so that it outlives this program and
    // leaves no process to reap. A failed start writes its errno into a pipe that a successful one
    // closes, so that the answer is known before this returns.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    const base::Descriptor reading(report[0]);
    base::Descriptor writing(report[1]);
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0)
            execute(*program, argv);
        else if (grandchild > 0)
            ::_exit(0);
        // The start failed, or the grandchild could not be made.
        const int error = errno;
        [[maybe_unused]] const ssize_t written = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    writing.reset();
    int error = 0;
    ssize_t got = 0;
    while ((got = ::read(reading.get(), &error, sizeof error)) < 0 && errno == EINTR) {
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return got == 0;
}

} // namespace platform
