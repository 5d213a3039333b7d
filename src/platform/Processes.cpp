#include "platform/Processes.h"

#include "platform/PathCodec.h"

#include <QProcess>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char **environ;

namespace platform {

namespace {

struct Command {
    std::vector<QByteArray> words; // the program, then its arguments
    bool inPath = false;           // the program is looked up in PATH when its name has no slash
};

// When the whole text names an existing file, that file alone, so that a name with blanks or quotes in
// it is never split into another program and arguments; otherwise the words of the command line.
Command commandFor(const QString &commandLine) {
    const QByteArray whole = encodePath(commandLine);
    struct stat info {};
    if (!whole.isEmpty() && ::stat(whole.constData(), &info) == 0)
        return S_ISREG(info.st_mode) ? Command{{whole}, false} : Command{};
    Command command{{}, true};
    for (const QString &word : QProcess::splitCommand(commandLine))
        command.words.push_back(encodePath(word));
    return command;
}

} // namespace

bool DetachedProcessStarter::start(const QString &commandLine) {
    Command command = commandFor(commandLine);
    if (command.words.empty())
        return false;
    std::vector<char *> argv;
    for (QByteArray &word : command.words)
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
        const int error = command.inPath
                              ? ::posix_spawnp(&grandchild, argv[0], nullptr, nullptr, argv.data(), environ)
                              : ::posix_spawn(&grandchild, argv[0], nullptr, nullptr, argv.data(), environ);
        ::_exit(error == 0 ? 0 : 127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace platform
