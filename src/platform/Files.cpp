#include "platform/Files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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
    return false;
}

// A file descriptor closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1)
        : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now, reporting whether the close (and so the last write) succeeded.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

QByteArray folderOf(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

bool writeAll(int fd, const char *data, qsizetype size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool copyContent(int from, int to) {
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

// A temporary file beside `target`, removed again unless kept.
class TemporaryBeside {
public:
    explicit TemporaryBeside(const QByteArray &target)
        : name_(folderOf(target) + "/.lumsifter-XXXXXX")
        , fd_(::mkstemp(name_.data())) {}
    ~TemporaryBeside() {
        if (!kept_ && fd_.valid())
            ::unlink(name_.constData());
    }
    bool valid() const { return fd_.valid(); }
    int fd() const { return fd_.get(); }
    // Closes the file and renames it over the target.
    bool replace(const QByteArray &target) {
        if (!fd_.close() || ::rename(name_.constData(), target.constData()) != 0) {
            const int error = errno;
            ::unlink(name_.constData());
            kept_ = true; // already removed
            errno = error;
            return false;
        }
        kept_ = true;
        return true;
    }

private:
    QByteArray name_;
    Descriptor fd_;
    bool kept_ = false;
};

} // namespace

bool copyFile(const QByteArray &source, const QByteArray &target) {
    if (source.isEmpty() || target.isEmpty())
        return failWith(ENOENT);
    Descriptor from(::open(source.constData(), O_RDONLY | O_CLOEXEC));
    struct stat sourceInfo {};
    if (!from.valid() || ::fstat(from.get(), &sourceInfo) != 0)
        return fail();
    if (!S_ISREG(sourceInfo.st_mode))
        return failWith(EISDIR);
    struct stat targetInfo {};
    if (::stat(target.constData(), &targetInfo) == 0) {
        if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino)
            return failWith(EINVAL); // onto itself: it would be truncated
        if (S_ISDIR(targetInfo.st_mode))
            return failWith(EISDIR);
    }
    TemporaryBeside copy(target);
    if (!copy.valid() || !copyContent(from.get(), copy.fd()))
        return fail();
    ::fchmod(copy.fd(), sourceInfo.st_mode & 07777);
    return copy.replace(target) || fail();
}

bool deleteFile(const QByteArray &path) {
    struct stat info {};
    if (path.isEmpty() || ::lstat(path.constData(), &info) != 0)
        return fail();
    if (S_ISDIR(info.st_mode))
        return failWith(EISDIR);
    return ::unlink(path.constData()) == 0 || fail();
}

bool isRegularFile(const QByteArray &path) {
    struct stat info {};
    return !path.isEmpty() && ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool writeFileAtomically(const QByteArray &path, const QByteArray &content) {
    TemporaryBeside file(path);
    if (!file.valid() || !writeAll(file.fd(), content.constData(), content.size()) || ::fsync(file.fd()) != 0)
        return fail();
    struct stat old {};
    ::fchmod(file.fd(), ::stat(path.constData(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    return file.replace(path) || fail();
}

bool readWholeFile(const QByteArray &path, QByteArray &content) {
    Descriptor fd(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0)
        return fail();
    if (!S_ISREG(info.st_mode))
        return failWith(EISDIR);
    content.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail();
        if (got == 0)
            return true;
        content.append(buffer, got);
    }
}

bool appendToFile(const QByteArray &path, const QByteArray &bytes) {
    Descriptor fd(::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.valid() || !writeAll(fd.get(), bytes.constData(), bytes.size()))
        return fail();
    return fd.close() || fail();
}

QString lastErrorText() {
    return QString::fromLocal8Bit(std::strerror(lastError));
}

} // namespace platform
