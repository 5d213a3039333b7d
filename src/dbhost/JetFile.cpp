// SPDX-License-Identifier: GPL-3.0-or-later
#include "dbhost/JetFile.h"

#include "dbhost/JetLayout.h"
#include "dbhost/ValueDecoder.h"

#include "base/Descriptor.h"

#include "helper_protocol/Protocol.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbhost {

// The helper speaks the protocol: its messages and keys are the helper's own words.
using namespace helper_protocol;

namespace {

constexpr int catalogPages = 3; // header, usage maps, the catalog's definition
constexpr size_t headerBytes = HeaderPage::maskedArea + largestMaskedSize;
constexpr size_t largestPassword = jet4Header.passwordSize;

[[noreturn]] void refuse(const QString &code, const QString &message) {
    throw HostError{code, message, {}};
}

using base::Descriptor;

Descriptor openReadOnly(const QByteArray &path) {
    // Non-blocking, so that a named pipe cannot hold the helper up.
    Descriptor fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() >= 0)
        return fd;
    if (errno == ENOENT || errno == ENOTDIR)
        refuse(Error::notFound, QStringLiteral("The file does not exist."));
    refuse(
        Error::unreadable,
        QStringLiteral("The file cannot be opened: %1.").arg(QString::fromLocal8Bit(std::strerror(errno))));
}

int versionFrom(const unsigned char *header) {
    static const unsigned char magic[4] = {0x00, 0x01, 0x00, 0x00};
    const unsigned char *format = header + HeaderPage::formatName;
    const bool jet = std::memcmp(format, "Standard Jet DB", HeaderPage::formatNameSize) == 0;
    const bool ace = std::memcmp(format, "Standard ACE DB", HeaderPage::formatNameSize) == 0;
    if (std::memcmp(header + HeaderPage::magic, magic, sizeof magic) != 0 || (!jet && !ace))
        refuse(Error::notDatabase, QStringLiteral("The file is not an Access database."));
    const int version = header[HeaderPage::version];
    if (version > JetVersion::newest)
        refuse(Error::notDatabase,
               QStringLiteral("The file is of an unknown database version (%1).").arg(version));
    return version;
}

void rc4(const unsigned char *key, size_t keyLength, unsigned char *data, size_t length) {
    unsigned char s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = (unsigned char)(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[size_t(i) % keyLength]) & 255;
        std::swap(s[i], s[j]);
    }
    for (size_t n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 255];
    }
}

} // namespace

HeaderSecrets readSecrets(const unsigned char *header, size_t size) {
    HeaderSecrets secrets;
    if (size < headerBytes)
        return secrets;
    const int version = header[HeaderPage::version];
    const HeaderLayout &layout = version == JetVersion::jet3 ? jet3Header : jet4Header;
    unsigned char clear[largestMaskedSize] = {};
    std::memcpy(clear, header + HeaderPage::maskedArea, layout.maskedSize);
    rc4(HeaderPage::maskKey, sizeof HeaderPage::maskKey, clear, layout.maskedSize);
    auto at = [&](size_t offset) { return clear + (offset - HeaderPage::maskedArea); };
    secrets.pageKey = get32(at(HeaderPage::pageKey));
    secrets.codePage = get16(at(HeaderPage::codePage));
    secrets.localeId = get16(at(layout.localeId));
    if (version >= JetVersion::ace2007) {
        // ACE keeps no password in the header: a protected database is encrypted as a whole.
        secrets.encrypted = secrets.pageKey != 0;
        return secrets;
    }
    const size_t length = layout.passwordSize;
    unsigned char password[largestPassword];
    std::memcpy(password, at(HeaderPage::password), length);
    auto anySet = [&] {
        return std::any_of(password, password + length, [](unsigned char b) { return b != 0; });
    };
    if (!anySet()) // nothing stored at all, as some writers leave it: no password either
        return secrets;
    if (version == JetVersion::jet4) {
        // Jet 4 mixes the password with the integer part of the creation date.
        double created = 0;
        std::memcpy(&created, at(HeaderPage::creationDate), sizeof created);
        const qint32 day = std::isfinite(created) && std::fabs(created) < 2e9 ? qint32(created) : 0;
        for (size_t i = 0; i < length; ++i)
            password[i] ^= (unsigned char)(quint32(day) >> (8 * (i % 4)));
    }
    secrets.password = anySet();
    return secrets;
}

namespace {

QString engineName(int jetVersion) {
    return jetVersion <= JetVersion::jet4 ? QStringLiteral("Jet") : QStringLiteral("ACE");
}

QString engineVersion(int jetVersion) {
    static const char *const versions[] = {"3.0", "4.0", "12.0", "14.0", "15.0", "16.0", "17.0"};
    return QString::fromLatin1(versions[jetVersion]);
}

} // namespace

JetFile::JetFile(const QByteArray &path)
    : fd_(openReadOnly(path)) {
    checkHeader();
}

void JetFile::checkHeader() {
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0 || S_ISDIR(st.st_mode))
        refuse(Error::notDatabase, QStringLiteral("The path names a folder, not a database file."));
    if (!S_ISREG(st.st_mode))
        refuse(Error::notDatabase, QStringLiteral("The path names no regular file."));
    unsigned char header[headerBytes] = {};
    const ssize_t got = ::pread(fd_.get(), header, sizeof header, 0);
    if (got < qint64(HeaderPage::shortestHeader))
        refuse(Error::notDatabase, QStringLiteral("The file is too short to be an Access database."));
    version_ = versionFrom(header);
    secrets_ = readSecrets(header, size_t(got));
    if (secrets_.password)
        refuse(Error::needsPassword,
               QStringLiteral("The database is protected by a password; it cannot be opened without it."));
    if (secrets_.encrypted)
        refuse(Error::needsPassword,
               QStringLiteral("The database is encrypted with a password; it cannot be opened without it."));
    pageSize_ = (isJet3() ? jet3Layout : jet4Layout).pageSize;
    size_ = st.st_size;
    if (size_ < qint64(catalogPages) * pageSize_)
        refuse(Error::unreadable, QStringLiteral("The database file is truncated (%1 bytes).").arg(size_));
    pageCount_ = quint32(std::min<qint64>(size_ / pageSize_, 0xffffffffLL));
}

std::variant<QByteArray, PageFault> JetFile::page(quint32 number) const {
    const qint64 offset = qint64(number) * pageSize_;
    if (number >= pageCount_)
        return PageFault{QStringLiteral("Page %1 would start at byte %2, but the file has %3 bytes.")
                             .arg(number)
                             .arg(offset)
                             .arg(size_)};
    QByteArray bytes(pageSize_, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::pread(fd_.get(), bytes.data() + got, size_t(bytes.size() - got), offset + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return PageFault{QStringLiteral("Reading page %1 at byte %2 failed: %3.")
                                 .arg(number)
                                 .arg(offset)
                                 .arg(QString::fromLocal8Bit(std::strerror(errno)))};
        if (n == 0)
            return PageFault{QStringLiteral("Page %1 at byte %2 ends after %3 of its %4 bytes.")
                                 .arg(number)
                                 .arg(offset)
                                 .arg(got)
                                 .arg(pageSize_)};
        got += n;
    }
    // An encoded Jet database: every page but the header is RC4 under the page key mixed with the
    // page's number.
    if (secrets_.pageKey != 0 && number != 0) {
        const quint32 k = secrets_.pageKey ^ number;
        const unsigned char key[4] = {(unsigned char)(k), (unsigned char)(k >> 8), (unsigned char)(k >> 16),
                                      (unsigned char)(k >> 24)};
        rc4(key, 4, reinterpret_cast<unsigned char *>(bytes.data()), size_t(bytes.size()));
    }
    return bytes;
}

DatabaseInfo JetFile::info() const {
    DatabaseInfo i;
    i.engine = engineName(version_);
    i.version = engineVersion(version_);
    i.jet = version_;
    i.pageSize = pageSize_;
    i.codePage = secrets_.codePage;
    i.localeId = secrets_.localeId;
    i.encrypted = secrets_.pageKey != 0;
    i.fileSize = size_;
    i.library = QStringLiteral("lumsifter-dbhost %1").arg(QStringLiteral(LUMSIFTER_VERSION));
    return i;
}

} // namespace dbhost
