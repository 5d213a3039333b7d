#pragma once

#include <glib.h>

#include <mdbtools.h>

#include "helper_protocol/Messages.h"

#include <QByteArray>
#include <QCborMap>
#include <QString>

namespace dbhost {

// A request the helper cannot carry out: an error code of the protocol and a description.
struct HostError {
    QString code;
    QString message;
};

// What the header of a database file says, checked before libmdb sees the file.
struct FileHeader {
    int jetVersion = 0; // 0 Jet 3, 1 Jet 4, 2.. ACE
    int pageSize = 0;
    qint64 size = 0;
};

// What the masked area of the header page says about protection: a database password (Jet 3, Jet 4)
// or encryption of the whole file (ACE), and the page key of an encoded (not protected) Jet database.
struct HeaderSecrets {
    bool password = false;
    bool encrypted = false;
    quint32 pageKey = 0;
};
HeaderSecrets readSecrets(const unsigned char *header, size_t size);

// Throws HostError unless the path names a regular file that starts like an Access database and is
// long enough to hold its catalog.
FileHeader checkFile(const QByteArray &path);

// An open database: checked, then opened read-only by libmdb.
class JetFile {
public:
    explicit JetFile(const QByteArray &path);
    ~JetFile();
    JetFile(const JetFile &) = delete;
    JetFile &operator=(const JetFile &) = delete;

    MdbHandle *handle() const { return mdb_; }
    bool isJet3() const { return header_.jetVersion == MDB_VER_JET3; }
    // Engine, version, page size, code page, locale, encryption and size, for the reply to "open".
    DatabaseInfo info() const;

private:
    FileHeader header_;
    MdbHandle *mdb_ = nullptr;
};

} // namespace dbhost
