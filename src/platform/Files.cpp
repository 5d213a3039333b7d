// SPDX-License-Identifier: GPL-3.0-or-later
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

SystemError lastError() {
    return SystemError::fromErrno();
}

// A descriptor open(2) returned, or why there is none.
Result<Descriptor> opened(int fd) {
    if (fd < 0)
        return lastError();
    return Descriptor(fd);
}

QByteArray folderOf(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

Result<void> folderOnly(const struct stat &info) {
    if (!S_ISDIR(info.st_mode))
        return SystemError(ENOTDIR);
    return {};
}

// Copies with read and write, the way that works between any two files.
Result<void> copyByReading(int from, int to) {
    static constexpr size_t chunk = 1 << 20;
    QByteArray buffer(chunk, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return lastError();
        if (got == 0)
            return {};
        if (Result<void> written = writeAll(to, buffer.constData(), got); !written)
            return written;
    }
}

// Lets the kernel copy (without passing the bytes through this process, sharing extents where the
// file system can); falls back to reading when it cannot, or when it copies nothing at the start,
// which is what it does for files of pseudo file systems that report a size of 0.
Result<void> copyContent(int from, int to) {
    bool copiedAny = false;
    for (;;) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, size_t(1) << 30, 0);
        if (n > 0) {
            copiedAny = true;
            continue;
        }
        if (n == 0)
            return copiedAny ? Result<void>() : copyByReading(from, to);
        if (errno == EINTR)
            continue;
        if (!copiedAny && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                           errno == EBADF || errno == EPERM))
            return copyByReading(from, to);
        return lastError();
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
            error_ = fd_.valid() ? 0 : errno;
            if (!fd_.valid() && errno != EEXIST)
                break;
        }
    }
    ~TemporaryBeside() {
        if (!kept_ && fd_.valid())
            ::unlink(name_.constData());
    }
    // Made, or why not.
    Result<void> made() const {
        if (!fd_.valid())
            return SystemError(error_);
        return {};
    }
    int fd() const { return fd_.get(); }
    // Closes the file and renames it over the target.
    Result<void> replace(const QByteArray &target) {
        kept_ = true; // renamed, or removed here
        if (!fd_.close() || ::rename(name_.constData(), target.constData()) != 0) {
            const SystemError error = lastError();
            ::unlink(name_.constData());
            return error;
        }
        return {};
    }

private:
    QByteArray name_;
    Descriptor fd_;
    int error_ = 0;
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

Result<NameInFolder> nameInFolder(const QByteArray &path) {
    Result<Descriptor> folder = opened(::open(folderOf(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return folder.error();
    return NameInFolder{std::move(*folder), path.mid(path.lastIndexOf('/') + 1)};
}

// Refuses a link that mayFollow does not allow; the link itself is looked at, not what it points to.
Result<void> refuseForeignLink(int folder, int link) {
    struct stat linkInfo {};
    struct stat folderInfo {};
    if (::fstat(link, &linkInfo) != 0 || ::fstat(folder, &folderInfo) != 0)
        return lastError();
    if (S_ISLNK(linkInfo.st_mode) && !mayFollow(linkInfo, folderInfo))
        return SystemError(EACCES);
    return {};
}

// Opens a name of a folder, following a symbolic link there only when mayFollow allows it. The link
// checked is the link followed: its target is read from the very link, never looked up again by name.
Result<Descriptor> openWithoutForeignLinks(const NameInFolder &at, int flags, mode_t mode) {
    if (at.name.isEmpty() || at.name == "." || at.name == "..")
        return SystemError(EISDIR);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int fd = ::openat(at.folder.get(), at.name.constData(), flags | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != ELOOP)
            return opened(fd);
        const Descriptor link(
            ::openat(at.folder.get(), at.name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!link.valid())
            return lastError();
        if (Result<void> allowed = refuseForeignLink(at.folder.get(), link.get()); !allowed)
            return allowed.error();
        char target[PATH_MAX];
        const ssize_t length = ::readlinkat(link.get(), "", target, sizeof target);
        if (length < 0 && errno == ENOENT)
            continue; // no link: the name was replaced by a file in between
        if (length < 0)
            return lastError();
        if (length == sizeof target)
            return SystemError(ENAMETOOLONG);
        return opened(::openat(at.folder.get(), QByteArray(target, length).constData(), flags, mode));
    }
    return SystemError(ELOOP);
}

// Keeps a descriptor only when it is open on a regular file, and then makes its reads and writes wait
// for the disk as usual.
Result<Descriptor> regularFileOnly(Result<Descriptor> fd) {
    if (!fd)
        return fd;
    struct stat info {};
    if (::fstat(fd->get(), &info) != 0)
        return lastError();
    if (!S_ISREG(info.st_mode))
        return SystemError(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    const int status = ::fcntl(fd->get(), F_GETFL);
    if (status < 0 || ::fcntl(fd->get(), F_SETFL, status & ~O_NONBLOCK) != 0)
        return lastError();
    return fd;
}

// Whether an own file may be replaced by renaming over its name: a foreign link there fails.
Result<void> mayReplace(const QByteArray &path) {
    const Result<NameInFolder> at = nameInFolder(path);
    if (!at)
        return at.error();
    const Descriptor name(::openat(at->folder.get(), at->name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!name.valid())
        return {};
    return refuseForeignLink(at->folder.get(), name.get());
}

} // namespace

Result<Descriptor> openRegularFile(const QByteArray &path, int flags, mode_t mode) {
    if (path.isEmpty())
        return SystemError(ENOENT);
    return regularFileOnly(opened(::open(path.constData(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode)));
}

Result<Descriptor> openOwnFile(const QByteArray &path, int flags, mode_t mode) {
    if (path.isEmpty())
        return SystemError(ENOENT);
    const Result<NameInFolder> at = nameInFolder(path);
    if (!at)
        return at.error();
    return regularFileOnly(openWithoutForeignLinks(*at, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode));
}

Result<Descriptor> openRegularFileLocked(const QByteArray &path, int flags, int waitMs) {
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        Result<Descriptor> fd = openOwnFile(path, flags);
        if (!fd)
            return fd;
        while (::flock(fd->get(), LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || waited.elapsed() > waitMs)
                return lastError();
            ::usleep(2000);
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd->get(), &held) == 0 && ::stat(path.constData(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return fd;
        // Replaced while we waited: what we locked is no longer the file of that name.
        if (waited.elapsed() > waitMs)
            return SystemError(ETIMEDOUT);
    }
}

Result<void> writeAll(int fd, const char *data, qsizetype size) {
    if (base::writeAll(fd, data, std::size_t(size)) != base::Transfer::Done)
        return lastError();
    return {};
}

Result<void> copyFile(const QByteArray &source, const QByteArray &target) {
    if (target.isEmpty())
        return SystemError(ENOENT);
    const Result<Descriptor> from = openRegularFile(source, O_RDONLY);
    if (!from)
        return from.error();
    struct stat sourceInfo {};
    if (::fstat(from->get(), &sourceInfo) != 0)
        return lastError();
    if (Result<void> replaceable = mayReplace(target); !replaceable)
        return replaceable;
    struct stat targetInfo {};
    if (::stat(target.constData(), &targetInfo) == 0) {
        if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino)
            return SystemError(EINVAL); // onto itself: it would be truncated
        if (S_ISDIR(targetInfo.st_mode))
            return SystemError(EISDIR);
    }
    TemporaryBeside copy(target, sourceInfo.st_mode & 0777);
    if (Result<void> made = copy.made(); !made)
        return made;
    if (Result<void> copied = copyContent(from->get(), copy.fd()); !copied)
        return copied;
    return copy.replace(target);
}

Result<void> makeFolders(const QByteArray &folder, mode_t mode) {
    if (folder.isEmpty())
        return SystemError(ENOENT);
    struct stat info {};
    if (::stat(folder.constData(), &info) == 0)
        return folderOnly(info);
    const QByteArray parent = folderOf(folder);
    if (parent != folder && parent != ".") {
        if (Result<void> above = makeFolders(parent, mode); !above)
            return above;
    }
    // Another process may make it in between: the folder is there all the same.
    if (::mkdir(folder.constData(), mode) != 0 && errno != EEXIST)
        return lastError();
    if (::stat(folder.constData(), &info) != 0)
        return lastError();
    return folderOnly(info);
}

Result<void> deleteFile(const QByteArray &path) {
    struct stat info {};
    if (path.isEmpty())
        return SystemError(ENOENT);
    if (::lstat(path.constData(), &info) != 0)
        return lastError();
    if (S_ISDIR(info.st_mode))
        return SystemError(EISDIR);
    if (isReadOnly(path, info))
        return SystemError(EACCES);
    if (::unlink(path.constData()) != 0)
        return lastError();
    return {};
}

bool isRegularFile(const QByteArray &path) {
    struct stat info {};
    return !path.isEmpty() && ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

Result<void> writeFileAtomically(const QByteArray &path, const QByteArray &content) {
    if (Result<void> replaceable = mayReplace(path); !replaceable)
        return replaceable;
    struct stat old {};
    const bool existed = ::stat(path.constData(), &old) == 0;
    TemporaryBeside file(path, 0600);
    if (Result<void> made = file.made(); !made)
        return made;
    if (Result<void> written = writeAll(file.fd(), content.constData(), content.size()); !written)
        return written;
    if (::fsync(file.fd()) != 0)
        return lastError();
    ::fchmod(file.fd(), existed ? (old.st_mode & 07777) : 0644);
    return file.replace(path);
}

Result<QByteArray> readAll(int fd) {
    QByteArray content;
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
            return lastError();
        if (got == 0)
            return content;
        content.append(buffer, got);
    }
}

Result<bool> fileHolds(const QByteArray &path, QByteArrayView expected) {
    const Result<Descriptor> fd = openOwnFile(path, O_RDONLY);
    if (!fd)
        return fd.error();
    char buffer[65536];
    qsizetype at = 0;
    for (;;) {
        const ssize_t got = ::read(fd->get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return lastError();
        if (got == 0)
            return at == expected.size();
        if (got > expected.size() - at || QByteArrayView(buffer, got) != expected.sliced(at, got))
            return false;
        at += got;
    }
}

Result<QByteArray> readWholeFile(const QByteArray &path) {
    const Result<Descriptor> fd = openOwnFile(path, O_RDONLY);
    if (!fd)
        return fd.error();
    return readAll(fd->get());
}

Result<void> appendToFile(const QByteArray &path, const QByteArray &bytes) {
    Result<Descriptor> fd = openRegularFileLocked(path, O_WRONLY | O_APPEND | O_CREAT);
    if (!fd)
        return fd.error();
    if (Result<void> written = writeAll(fd->get(), bytes.constData(), bytes.size()); !written)
        return written;
    if (!fd->close())
        return lastError();
    return {};
}

} // namespace platform
