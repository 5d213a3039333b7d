// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dbhost/JetFile.h"
#include "dbhost/JetTable.h"
#include "helper_protocol/Messages.h"

#include <QCborMap>

#include <map>
#include <memory>
#include <vector>

namespace dbhost {

// The helper speaks the protocol: its messages and keys are the helper's own words.
using namespace helper_protocol;

// The objects of MSysObjects, whose definition is always page 2.
std::vector<CatalogObject> readCatalog(const JetFile &file);

// The property blocks of the catalog object with the given id (its LvProp value); none when it has
// none or they cannot be read.
TableProperties readProperties(const JetFile &file, qint64 id);

// The helper's side of the protocol: one database at most, and its open results.
class Service {
public:
    QCborMap handle(const QCborMap &request);

private:
    QCborMap dispatch(const QString &op, const QCborMap &request);
    QCborMap open(const QCborMap &request);
    QCborMap catalog();
    QCborMap query(const QCborMap &request);
    QCborMap fetch(const QCborMap &request);
    QCborMap rewind(const QCborMap &request);
    QCborMap close(const QCborMap &request);
    JetFile &file();
    const std::vector<CatalogObject> &objects();
    JetTable &cursor(qint64 id);

    std::unique_ptr<JetFile> file_;
    std::unique_ptr<std::vector<CatalogObject>> objects_;
    std::map<qint64, std::unique_ptr<JetTable>> cursors_;
    qint64 nextCursor_ = 1;
};

} // namespace dbhost
