#include "platform/Processes.h"

#include "platform/PathCodec.h"

#include <QProcess>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char **environ;

namespace platform {

bool DetachedProcessStarter::start(const QString &commandLine) {
    const QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return false;
    std::vector<QByteArray> bytes;
    for (const QString &word : words)
        bytes.push_back(encodePath(word));
    std::vector<char *> argv;
    for (QByteArray &word : bytes)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    // The program runs in a grandchild, in a session of its own, so that it outlives this program and
    // leaves no process to reap; the child reports whether the start succeeded.
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        ::setsid();
        pid_t grandchild = 0;
        const int error = ::posix_spawnp(&grandchild, argv[0], nullptr, nullptr, argv.data(), environ);
        ::_exit(error == 0 ? 0 : 127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace platform
