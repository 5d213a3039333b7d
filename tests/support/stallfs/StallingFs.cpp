// SPDX-License-Identifier: GPL-3.0-or-later
// lumsifter-stallfs: a small read-only file system that stops answering on command, as a network share
// does when the laptop leaves the network, or a FUSE mount whose server hangs.
//
//   lumsifter-stallfs MOUNTPOINT
//       serves the tree below at MOUNTPOINT (type fuse.stallfs) until it is killed. SIGUSR1: from now
//       on no request is answered, and each waits (the caller sits in the kernel, unkillable);
//       SIGUSR2: answers again, the waiting ones first.
//   lumsifter-stallfs --session MOUNTPOINT -- COMMAND [ARGUMENT...]
//       makes a private mount namespace (root only), mounts a tmpfs on MOUNTPOINT's parent and the
//       file system on MOUNTPOINT there, runs COMMAND in it with STALLFS_MOUNT (the mount point) and
//       STALLFS_PID (the server, to signal) in its environment, and ends with COMMAND's exit status.
//       Then, or on SIGTERM or SIGINT, the server is killed: the kernel fails every request still
//       waiting, so that nothing is left stuck. Exits 77 when no private namespace can be made or the
//       file system cannot be mounted there.
#define FUSE_USE_VERSION 35
#include <fuse3/fuse.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Node {
    const char *path;
    const char *content; // nullptr for a folder
};

// Folders before what they hold; a search of "*.txt" finds four files.
constexpr Node tree[] = {
    {"/", nullptr},
    {"/readme.txt", "A file system that stops answering on command.\n"},
    {"/docs", nullptr},
    {"/docs/report.txt", "report\n"},
    {"/docs/notes.txt", "notes\n"},
    {"/photos", nullptr},
    {"/photos/holiday.jpg", "not really a picture\n"},
    {"/deep", nullptr},
    {"/deep/a", nullptr},
    {"/deep/a/b", nullptr},
    {"/deep/a/b/found.txt", "found\n"},
};

volatile std::sig_atomic_t stalled = 0;

void onSignal(int number) {
    stalled = number == SIGUSR1;
}

// Every request starts here: a stalled file system holds it, and with it the single-threaded loop, so
// that every later request waits in the kernel as well.
void waitWhileStalled() {
    while (stalled)
        ::usleep(10000);
}

const Node *find(const char *path) {
    for (const Node &node : tree)
        if (std::strcmp(node.path, path) == 0)
            return &node;
    return nullptr;
}

bool isChild(const char *parent, const char *path) {
    const std::size_t length = std::strlen(parent);
    const char *rest = path + (length == 1 ? 1 : length + 1);
    return std::strncmp(path, parent, length) == 0 && std::strlen(path) > length &&
           (length == 1 || path[length] == '/') && std::strchr(rest, '/') == nullptr;
}

void *init(fuse_conn_info *, fuse_config *config) {
    // Nothing cached: every stat and lookup reaches the server, as on a share whose server went away.
    config->entry_timeout = 0;
    config->attr_timeout = 0;
    config->negative_timeout = 0;
    return nullptr;
}

int getAttributes(const char *path, struct stat *info, fuse_file_info *) {
    waitWhileStalled();
    const Node *node = find(path);
    if (!node)
        return -ENOENT;
    *info = {};
    info->st_mode = node->content ? S_IFREG | 0444 : S_IFDIR | 0555;
    info->st_nlink = node->content ? 1 : 2;
    info->st_size = node->content ? off_t(std::strlen(node->content)) : 0;
    return 0;
}

int readFolder(const char *path, void *buffer, fuse_fill_dir_t fill, off_t, fuse_file_info *,
               fuse_readdir_flags) {
    waitWhileStalled();
    const Node *folder = find(path);
    if (!folder || folder->content)
        return -ENOTDIR;
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags(0));
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags(0));
    for (const Node &node : tree)
        if (isChild(path, node.path))
            fill(buffer, std::strrchr(node.path, '/') + 1, nullptr, 0, fuse_fill_dir_flags(0));
    return 0;
}

int openFile(const char *path, fuse_file_info *file) {
    waitWhileStalled();
    const Node *node = find(path);
    if (!node || !node->content)
        return -ENOENT;
    return (file->flags & O_ACCMODE) == O_RDONLY ? 0 : -EROFS;
}

int readFile(const char *path, char *buffer, size_t size, off_t offset, fuse_file_info *) {
    waitWhileStalled();
    const Node *node = find(path);
    if (!node || !node->content)
        return -ENOENT;
    const auto length = off_t(std::strlen(node->content));
    if (offset >= length)
        return 0;
    const std::size_t count = std::min<std::size_t>(size, std::size_t(length - offset));
    std::memcpy(buffer, node->content + offset, count);
    return int(count);
}

int serve(const char *program, const char *mountPoint) {
    struct sigaction action {};
    action.sa_handler = onSignal;
    ::sigaction(SIGUSR1, &action, nullptr);
    ::sigaction(SIGUSR2, &action, nullptr);
    fuse_operations operations{};
    operations.init = init;
    operations.getattr = getAttributes;
    operations.readdir = readFolder;
    operations.open = openFile;
    operations.read = readFile;
    // Single-threaded, so that one held request holds them all.
    std::vector<char *> arguments = {const_cast<char *>(program),
                                     const_cast<char *>("-f"),
                                     const_cast<char *>("-s"),
                                     const_cast<char *>("-o"),
                                     const_cast<char *>("fsname=stallfs,subtype=stallfs"),
                                     const_cast<char *>(mountPoint)};
    return fuse_main(int(arguments.size()), arguments.data(), &operations, nullptr);
}

// Whether the kernel lists the mount; reading the table never waits for the mount itself.
bool isMounted(const std::string &mountPoint) {
    std::ifstream table("/proc/self/mountinfo");
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, point;
        fields >> id >> parent >> device >> root >> point;
        if (point == mountPoint && line.find(" - fuse.stallfs ") != std::string::npos)
            return true;
    }
    return false;
}

volatile std::sig_atomic_t ending = 0;

void onEnd(int) {
    ending = 1;
}

int fail(const char *what, int status = 1) {
    std::fprintf(stderr, "lumsifter-stallfs: %s: %s\n", what, std::strerror(errno));
    return status;
}

int session(const char *program, const std::string &mountPoint, char **command) {
    constexpr int cannot = 77; // the code test runners read as "skipped"
    if (::geteuid() != 0) {
        std::fprintf(stderr, "lumsifter-stallfs: a private mount namespace needs root\n");
        return cannot;
    }
    if (::unshare(CLONE_NEWNS) != 0)
        return fail("no private mount namespace", cannot);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return fail("cannot make the mounts private", cannot);
    const std::string parent = mountPoint.substr(0, mountPoint.rfind('/'));
    if (parent.empty() || mountPoint.size() < 2 || mountPoint[0] != '/') {
        std::fprintf(stderr, "lumsifter-stallfs: the mount point must be an absolute path below a folder\n");
        return 2;
    }
    ::mkdir(parent.c_str(), 0755); // the tmpfs hides what is there, in this namespace only
    if (::mount("tmpfs", parent.c_str(), "tmpfs", 0, "mode=0755") != 0 ||
        ::mkdir(mountPoint.c_str(), 0755) != 0)
        return fail("cannot prepare the mount point");

    struct sigaction action {};
    action.sa_handler = onEnd;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    const pid_t server = ::fork();
    if (server == 0)
        ::_exit(serve(program, mountPoint.c_str()));
    for (int waited = 0; !isMounted(mountPoint); waited += 10) {
        if (waited > 5000 || ::waitpid(server, nullptr, WNOHANG) != 0) {
            std::fprintf(stderr,
                         "lumsifter-stallfs: the file system did not mount (is there a /dev/fuse?)\n");
            ::kill(server, SIGKILL);
            return cannot;
        }
        ::usleep(10000);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("STALLFS_MOUNT", mountPoint.c_str(), 1);
        ::setenv("STALLFS_PID", std::to_string(server).c_str(), 1);
        ::execvp(command[0], command);
        std::_Exit(fail("cannot start the command", 127));
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        if (ending) {
            ::kill(server, SIGKILL); // first, so that a command stuck in the kernel can be ended
            ::kill(child, SIGKILL);
        }
    }
    ::kill(server, SIGKILL);
    ::waitpid(server, nullptr, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

int main(int argc, char **argv) {
    if (argc >= 5 && std::strcmp(argv[1], "--session") == 0 && std::strcmp(argv[3], "--") == 0)
        return session(argv[0], argv[2], argv + 4);
    if (argc == 2 && argv[1][0] != '-')
        return serve(argv[0], argv[1]);
    const bool help = argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
    std::fprintf(help ? stdout : stderr,
                 "usage: %s MOUNTPOINT\n       %s --session MOUNTPOINT -- COMMAND [ARGUMENT...]\n", argv[0],
                 argv[0]);
    return help ? 0 : 2;
}
