#include "platform/Files.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cerrno>
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

} // namespace

Descriptor openRegularFile(const QByteArray &path, int flags, mode_t mode) {
    if (path.isEmpty()) {
        failWith(ENOENT);
        return Descriptor();
    }
    Descriptor fd(::open(path.constData(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
        fail();
        return Descriptor();
    }
    if (!S_ISREG(info.st_mode)) {
        failWith(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
        return Descriptor();
    }
    // A regular file: reads and writes may wait for the disk as usual.
    const int status = ::fcntl(fd.get(), F_GETFL);
    if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
        fail();
        return Descriptor();
    }
    return fd;
}

Descriptor openRegularFileLocked(const QByteArray &path, int flags, int waitMs) {
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        Descriptor fd = openRegularFile(path, flags);
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

bool readWholeFile(const QByteArray &path, QByteArray &content) {
    const Descriptor fd = openRegularFile(path, O_RDONLY);
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
