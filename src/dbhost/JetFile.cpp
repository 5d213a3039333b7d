#include "dbhost/JetFile.h"

#include "base/Descriptor.h"

#include "helper_protocol/Protocol.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbhost {

namespace {

constexpr int catalogPages = 3; // header, usage maps, the catalog's definition

[[noreturn]] void refuse(const QString &code, const QString &message) {
    throw HostError{code, message};
}

using base::Descriptor;

Descriptor openForChecking(const QByteArray &path) {
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
    const bool jet = std::memcmp(header + 4, "Standard Jet DB", 16) == 0;
    const bool ace = std::memcmp(header + 4, "Standard ACE DB", 16) == 0;
    if (std::memcmp(header, magic, 4) != 0 || (!jet && !ace))
        refuse(Error::notDatabase, QStringLiteral("The file is not an Access database."));
    const int version = header[0x14];
    if (version > MDB_VER_ACCDB_2019)
        refuse(Error::notDatabase,
               QStringLiteral("The file is of an unknown database version (%1).").arg(version));
    return version;
}

QString engineName(int jetVersion) {
    return jetVersion <= MDB_VER_JET4 ? QStringLiteral("Jet") : QStringLiteral("ACE");
}

QString engineVersion(int jetVersion) {
    static const char *const versions[] = {"3.0", "4.0", "12.0", "14.0", "15.0", "16.0", "17.0"};
    return QString::fromLatin1(versions[jetVersion]);
}

} // namespace

FileHeader checkFile(const QByteArray &path) {
    const Descriptor fd = openForChecking(path);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
        refuse(Error::notDatabase, QStringLiteral("The path names a folder, not a database file."));
    if (!S_ISREG(st.st_mode))
        refuse(Error::notDatabase, QStringLiteral("The path names no regular file."));
    unsigned char header[0x20] = {};
    if (::pread(fd.get(), header, sizeof header, 0) != ssize_t(sizeof header))
        refuse(Error::notDatabase, QStringLiteral("The file is too short to be an Access database."));
    FileHeader h;
    h.jetVersion = versionFrom(header);
    h.pageSize = h.jetVersion == MDB_VER_JET3 ? 2048 : 4096;
    h.size = st.st_size;
    if (h.size < qint64(catalogPages) * h.pageSize)
        refuse(Error::unreadable, QStringLiteral("The database file is truncated (%1 bytes).").arg(h.size));
    return h;
}

JetFile::JetFile(const QByteArray &path)
    : header_(checkFile(path)) {
    mdb_ = mdb_open(path.constData(), MDB_NOFLAGS);
    if (!mdb_)
        refuse(Error::unreadable, QStringLiteral("The database cannot be read."));
    if (int(mdb_->f->jet_version) != header_.jetVersion) {
        mdb_close(mdb_);
        refuse(Error::unreadable, QStringLiteral("The database header is inconsistent."));
    }
}

JetFile::~JetFile() {
    mdb_close(mdb_);
}

QCborMap JetFile::info() const {
    QCborMap m;
    m[QStringLiteral("engine")] = engineName(header_.jetVersion);
    m[QStringLiteral("version")] = engineVersion(header_.jetVersion);
    m[QStringLiteral("jet")] = header_.jetVersion;
    m[QStringLiteral("pageSize")] = qint64(mdb_->fmt->pg_size);
    m[QStringLiteral("codePage")] = mdb_->f->code_page;
    m[QStringLiteral("localeId")] = mdb_->f->lang_id;
    m[QStringLiteral("encrypted")] = mdb_->f->db_key != 0;
    m[QStringLiteral("fileSize")] = header_.size;
    m[QStringLiteral("library")] = QStringLiteral("libmdb %1").arg(QString::fromLatin1(mdb_get_version()));
    return m;
}

} // namespace dbhost
