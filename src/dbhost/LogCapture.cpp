#include "dbhost/LogCapture.h"

#include <QByteArray>

#include <cstdio>
#include <sys/mman.h>
#include <unistd.h>

namespace dbhost {

namespace {
constexpr qsizetype maximumLog = 4096;
}

LogCapture::LogCapture() {
    fd_ = ::memfd_create("dbhost-log", MFD_CLOEXEC);
    if (fd_ < 0)
        return;
    ::dup2(fd_, STDERR_FILENO);
    ::dup2(fd_, STDOUT_FILENO);
}

void LogCapture::clear() {
    std::fflush(stdout);
    if (fd_ < 0)
        return;
    // The descriptors share one file offset: rewind it, or the next message would land past a hole.
    if (::ftruncate(fd_, 0) == 0)
        ::lseek(fd_, 0, SEEK_SET);
}

QString LogCapture::text() const {
    std::fflush(stdout);
    if (fd_ < 0)
        return {};
    QByteArray bytes(maximumLog, Qt::Uninitialized);
    const ssize_t n = ::pread(fd_, bytes.data(), size_t(bytes.size()), 0);
    bytes.resize(n > 0 ? n : 0);
    return QString::fromUtf8(bytes).simplified();
}

} // namespace dbhost
