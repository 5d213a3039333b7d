#pragma once

#include "dbhost/JetFile.h"
#include "dbhost/JetTable.h"
#include "helper_protocol/Messages.h"

#include <QCborMap>

#include <map>
#include <memory>
#include <vector>

namespace dbhost {

// Reads MSysObjects directly (its definition is always page 2) instead of libmdb's catalog reader,
// which also parses the property blocks, where damaged files hang it or eat memory.
std::vector<CatalogObject> readCatalog(MdbHandle *mdb, bool jet3);

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

    struct Cursor {
        MdbHandle *handle;
        std::unique_ptr<JetTable> table;
        ~Cursor();
    };

    std::unique_ptr<JetFile> file_;
    std::unique_ptr<std::vector<CatalogObject>> objects_;
    std::map<qint64, std::unique_ptr<Cursor>> cursors_;
    qint64 nextCursor_ = 1;
};

} // namespace dbhost
