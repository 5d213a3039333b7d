#include "platform/Files.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

thread_local int lastError = 0;

bool fail() {
    lastError = errno;
    return false;
}

bool failWith(int error) {
    lastError = error;
    errno = error;
    return false;
}

QByteArray folderOf(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// Copies with read and write, the way that works between any two files.
bool copyByReading(int from, int to) {
    static constexpr size_t chunk = 1 << 20;
    QByteArray buffer(chunk, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!writeAll(to, buffer.constData(), got))
            return false;
    }
}

// Lets the kernel copy (without passing the bytes through this process, sharing extents where the
// file system can); falls back to reading when it cannot, or when it copies nothing at the start,
// which is what it does for files of pseudo file systems that report a size of 0.
bool copyContent(int from, int to) {
    bool copiedAny = false;
    for (;;) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, size_t(1) << 30, 0);
        if (n > 0) {
            copiedAny = true;
            continue;
        }
        if (n == 0)
            return copiedAny || copyByReading(from, to);
        if (errno == EINTR)
            continue;
        if (!copiedAny && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                           errno == EBADF || errno == EPERM))
            return copyByReading(from, to);
        return false;
    }
}

// A new file beside `target`, created with the given permissions (the umask applies), removed again
// unless it replaced the target.
class TemporaryBeside {
public:
    TemporaryBeside(const QByteArray &target, mode_t mode) {
        const QByteArray stem = folderOf(target) + "/.lumsifter-";
        for (int attempt = 0; attempt < 100 && !fd_.valid(); ++attempt) {
            name_ = stem + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
            fd_.reset(::open(name_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode));
            if (!fd_.valid() && errno != EEXIST)
                break;
        }
    }
    ~TemporaryBeside() {
        if (!kept_ && fd_.valid())
            ::unlink(name_.constData());
    }
    bool valid() const { return fd_.valid(); }
    int fd() const { return fd_.get(); }
    // Closes the file and renames it over the target.
    bool replace(const QByteArray &target) {
        kept_ = true; // renamed, or removed here
        if (!fd_.close() || ::rename(name_.constData(), target.constData()) != 0) {
            const int error = errno;
            ::unlink(name_.constData());
            errno = error;
            return false;
        }
        return true;
    }

private:
    QByteArray name_;
    Descriptor fd_;
    bool kept_ = false;
};

// Read-only for the user: no write permission bit at all, or none that applies to the user.
bool isReadOnly(const QByteArray &path, const struct stat &info) {
    if (S_ISLNK(info.st_mode))
        return false; // deleting a link takes the link, whatever its target allows
    return (info.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0;
}

// Whether a symbolic link in a folder may be followed to one of the program's own files: only when it is
// the user's own, or root's in root's folder. The kernel's rule for sticky folders also trusts the
// folder's owner; here that owner may be anyone who made the folder writable for all, and their link
// would point the program's writes at the user's own files.
bool mayFollow(const struct stat &link, const struct stat &folder) {
    return link.st_uid == ::geteuid() || (link.st_uid == 0 && folder.st_uid == 0);
}

// The folder that holds a path's last name, opened for lookups only, and that name.
struct NameInFolder {
    Descriptor folder;
    QByteArray name;
};

NameInFolder nameInFolder(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    return {Descriptor(::open(folderOf(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC)),
            path.mid(slash + 1)};
}

// Refuses a link that mayFollow does not allow; the link itself is looked at, not what it points to.
bool refuseForeignLink(int folder, int link) {
    struct stat linkInfo {};
    struct stat folderInfo {};
    if (::fstat(link, &linkInfo) != 0 || ::fstat(folder, &folderInfo) != 0)
        return fail();
    return S_ISLNK(linkInfo.st_mode) && !mayFollow(linkInfo, folderInfo) ? failWith(EACCES) : true;
}

// Opens a name of a folder, following a symbolic link there only when mayFollow allows it. The link
// checked is the link followed: its target is read from the very link, never looked up again by name.
int openWithoutForeignLinks(const NameInFolder &at, int flags, mode_t mode) {
    if (!at.folder.valid())
        return -1;
    if (at.name.isEmpty() || at.name == "." || at.name == "..")
        return (failWith(EISDIR), -1);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int fd = ::openat(at.folder.get(), at.name.constData(), flags | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != ELOOP)
            return fd;
        const Descriptor link(
            ::openat(at.folder.get(), at.name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!link.valid() || !refuseForeignLink(at.folder.get(), link.get()))
            return -1;
        char target[PATH_MAX];
        const ssize_t length = ::readlinkat(link.get(), "", target, sizeof target);
        if (length < 0 && errno == ENOENT)
            continue; // no link: the name was replaced by a file in between
        if (length < 0 || length == sizeof target)
            return (failWith(length < 0 ? errno : ENAMETOOLONG), -1);
        return ::openat(at.folder.get(), QByteArray(target, length).constData(), flags, mode);
    }
    return (failWith(ELOOP), -1);
}

// Keeps a descriptor only when it is open on a regular file, and then makes its reads and writes wait
// for the disk as usual.
Descriptor regularFileOnly(Descriptor fd) {
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
        fail();
        return Descriptor();
    }
    if (!S_ISREG(info.st_mode)) {
        failWith(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
        return Descriptor();
    }
    const int status = ::fcntl(fd.get(), F_GETFL);
    if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
        fail();
        return Descriptor();
    }
    return fd;
}

// Whether an own file may be replaced by renaming over its name: a foreign link there fails.
bool mayReplace(const QByteArray &path) {
    const NameInFolder at = nameInFolder(path);
    if (!at.folder.valid())
        return fail();
    const Descriptor name(::openat(at.folder.get(), at.name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    return !name.valid() || refuseForeignLink(at.folder.get(), name.get());
}

} // namespace

Descriptor openRegularFile(const QByteArray &path, int flags, mode_t mode) {
    if (path.isEmpty()) {
        failWith(ENOENT);
        return Descriptor();
    }
    return regularFileOnly(
        Descriptor(::open(path.constData(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode)));
}

Descriptor openOwnFile(const QByteArray &path, int flags, mode_t mode) {
    if (path.isEmpty()) {
        failWith(ENOENT);
        return Descriptor();
    }
    return regularFileOnly(Descriptor(
        openWithoutForeignLinks(nameInFolder(path), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode)));
}

Descriptor openRegularFileLocked(const QByteArray &path, int flags, int waitMs) {
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        Descriptor fd = openOwnFile(path, flags);
        if (!fd.valid())
            return fd;
        while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || waited.elapsed() > waitMs) {
                fail();
                return Descriptor();
            }
            ::usleep(2000);
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd.get(), &held) == 0 && ::stat(path.constData(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return fd;
        // Replaced while we waited: what we locked is no longer the file of that name.
        if (waited.elapsed() > waitMs) {
            failWith(ETIMEDOUT);
            return Descriptor();
        }
    }
}

bool writeAll(int fd, const char *data, qsizetype size) {
    return base::writeAll(fd, data, std::size_t(size)) == base::Transfer::Done || fail();
}

bool copyFile(const QByteArray &source, const QByteArray &target) {
    if (target.isEmpty())
        return failWith(ENOENT);
    const Descriptor from = openRegularFile(source, O_RDONLY);
    struct stat sourceInfo {};
    if (!from.valid() || ::fstat(from.get(), &sourceInfo) != 0)
        return false;
    if (!mayReplace(target))
        return false;
    struct stat targetInfo {};
    if (::stat(target.constData(), &targetInfo) == 0) {
        if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino)
            return failWith(EINVAL); // onto itself: it would be truncated
        if (S_ISDIR(targetInfo.st_mode))
            return failWith(EISDIR);
    }
    TemporaryBeside copy(target, sourceInfo.st_mode & 0777);
    if (!copy.valid() || !copyContent(from.get(), copy.fd()))
        return fail();
    return copy.replace(target) || fail();
}

bool makeFolders(const QByteArray &folder, mode_t mode) {
    if (folder.isEmpty())
        return failWith(ENOENT);
    struct stat info {};
    if (::stat(folder.constData(), &info) == 0)
        return S_ISDIR(info.st_mode) || failWith(ENOTDIR);
    const QByteArray parent = folderOf(folder);
    if (parent != folder && parent != "." && !makeFolders(parent, mode))
        return false;
    // Another process may make it in between: the folder is there all the same.
    if (::mkdir(folder.constData(), mode) == 0 || errno == EEXIST)
        return ::stat(folder.constData(), &info) == 0 && (S_ISDIR(info.st_mode) || failWith(ENOTDIR));
    return fail();
}

bool deleteFile(const QByteArray &path) {
    struct stat info {};
    if (path.isEmpty() || ::lstat(path.constData(), &info) != 0)
        return fail();
    if (S_ISDIR(info.st_mode))
        return failWith(EISDIR);
    if (isReadOnly(path, info))
        return failWith(EACCES);
    return ::unlink(path.constData()) == 0 || fail();
}

bool isRegularFile(const QByteArray &path) {
    struct stat info {};
    return !path.isEmpty() && ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool writeFileAtomically(const QByteArray &path, const QByteArray &content) {
    if (!mayReplace(path))
        return false;
    struct stat old {};
    const bool existed = ::stat(path.constData(), &old) == 0;
    TemporaryBeside file(path, 0600);
    if (!file.valid() || !writeAll(file.fd(), content.constData(), content.size()) || ::fsync(file.fd()) != 0)
        return fail();
    ::fchmod(file.fd(), existed ? (old.st_mode & 07777) : 0644);
    return file.replace(path) || fail();
}

bool readAll(int fd, QByteArray &content) {
    content.clear();
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
        info.st_size < (qint64(1) << 40))
        content.reserve(qsizetype(info.st_size) + 1); // one piece, not a series of ever larger copies
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail();
        if (got == 0)
            return true;
        content.append(buffer, got);
    }
}

bool fileHolds(const QByteArray &path, QByteArrayView expected) {
    const Descriptor fd = openOwnFile(path, O_RDONLY);
    if (!fd.valid())
        return false;
    char buffer[65536];
    qsizetype at = 0;
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail();
        if (got == 0)
            return at == expected.size();
        if (got > expected.size() - at || QByteArrayView(buffer, got) != expected.sliced(at, got))
            return false;
        at += got;
    }
}

bool readWholeFile(const QByteArray &path, QByteArray &content) {
    const Descriptor fd = openOwnFile(path, O_RDONLY);
    return fd.valid() && readAll(fd.get(), content);
}

bool appendToFile(const QByteArray &path, const QByteArray &bytes) {
    Descriptor fd = openRegularFileLocked(path, O_WRONLY | O_APPEND | O_CREAT);
    return fd.valid() && writeAll(fd.get(), bytes.constData(), bytes.size()) && (fd.close() || fail());
}

QString lastErrorText() {
    return QString::fromLocal8Bit(std::strerror(lastError));
}

} // namespace platform
