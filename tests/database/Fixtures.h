// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Databases written for the database tests, and the places of the real sample files.
#include "Jet4Writer.h"
#include "TempFolder.h"
#include "helper_protocol/HostSession.h"

#include <QCborMap>
#include <QString>

namespace fixtures {

// Authors (Au_ID, Author, Year Born): three records, the second without an author, the first with
// empty text as author and no year of birth.
jet4::Object authors();
// A table with every common column type, one full record and one of NULLs.
jet4::Object allTypes();
// A local table, a hidden one, system ones, a linked table, an ODBC link and a query.
std::vector<jet4::Object> mixedCatalog();

// A folder that removes itself, holding the files a test writes.
class Folder {
public:
    QString write(const QString &name, const std::vector<jet4::Object> &objects,
                  const jet4::Options &options = {});
    QString writeBytes(const QString &name, const QByteArray &bytes);
    QString path(const QString &name) const { return dir_.filePath(name); }

private:
    TempFolder dir_;
};

// Real files from public test suites of other readers, kept outside the repository (the folder in
// LUMSIFTER_ACCESS_SAMPLES); tests of them are skipped where the folder is missing.
QString sample(const QString &name);
bool samplesPresent();
QString helperProgram();             // build/bin/lumsifter-dbhost
helper_protocol::HostOptions helperOptions(); // the built helper with the default limits
// Sends the request `op`, with one argument when `key` is given, and returns the reply.
QCborMap call(helper_protocol::HostSession &session, const QString &op, const QString &key = {},
              const QCborValue &value = {});

} // namespace fixtures
