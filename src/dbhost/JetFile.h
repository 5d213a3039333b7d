// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Descriptor.h"

#include "helper_protocol/Messages.h"

#include <QByteArray>
#include <QString>

#include <variant>

namespace dbhost {

// The helper speaks the protocol: its messages and keys are the helper's own words.
using namespace helper_protocol;

// A request the helper cannot carry out: an error code of the protocol, a description and, where the
// page reader can say more about what it met (which bytes of the file, what the system said), that
// account.
struct HostError {
    QString code;
    QString message;
    QString detail;
};

// The header's version byte.
namespace JetVersion {
constexpr int jet3 = 0;
constexpr int jet4 = 1;
constexpr int ace2007 = 2;
constexpr int newest = 6; // ACE 2019
} // namespace JetVersion

// What the masked area of the header page says: protection (a database password in Jet 3 and Jet 4,
// encryption of the whole file in ACE), the page key of an encoded (not protected) Jet database, and
// the database's code page and locale.
struct HeaderSecrets {
    bool password = false;
    bool encrypted = false;
    quint32 pageKey = 0;
    int codePage = 0;
    int localeId = 0;
};
HeaderSecrets readSecrets(const unsigned char *header, size_t size);

// Why a page could not be read, in the page reader's words.
struct PageFault {
    QString detail;
};

// An open database: a regular file that starts like an Access database and is long enough to hold
// its catalog, checked when it is opened, then read page by page with pread. Pages of an encoded
// Jet database are decoded as they are read. Reading leaves no state behind, so any number of
// tables may read one file.
class JetFile {
public:
    // Throws HostError when the file cannot be opened or is no database this reader reads.
    explicit JetFile(const QByteArray &path);

    bool isJet3() const { return version_ == JetVersion::jet3; }
    int pageSize() const { return pageSize_; }
    quint32 pageCount() const { return pageCount_; }
    int codePage() const { return secrets_.codePage; }
    std::variant<QByteArray, PageFault> page(quint32 number) const;
    // Engine, version, page size, code page, locale, encoding and size, for the reply to "open".
    DatabaseInfo info() const;

private:
    void checkHeader();

    base::Descriptor fd_;
    int version_ = 0;
    int pageSize_ = 0;
    qint64 size_ = 0;
    quint32 pageCount_ = 0;
    HeaderSecrets secrets_;
};

} // namespace dbhost
