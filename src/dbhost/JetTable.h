#pragma once

#include "dbhost/JetFile.h"

#include <QCborArray>
#include <QCborValue>

#include <memory>
#include <vector>

namespace dbhost {

// One table read by libmdb on a handle of its own, walked forward row by row with typed values.
// The definition page is given by the catalog; everything found damaged on the way throws HostError.
class JetTable {
public:
    JetTable(MdbHandle *mdb, bool jet3, const QString &name, quint32 definitionPage);
    ~JetTable();
    JetTable(const JetTable &) = delete;
    JetTable &operator=(const JetTable &) = delete;

    int columnCount() const { return int(table_->num_cols); }
    int columnIndex(const char *name) const; // -1 when there is none
    // Name, type, size, precision, scale, nullable, autoNumber and key of each column.
    QCborArray columns() const;

    // Moves to the next row; false once the table is exhausted, and from then on (libmdb would start
    // over).
    bool next();
    QCborValue value(int column) const;
    void rewind();

private:
    MdbColumn *column(int index) const;
    void readColumnFlags();
    void readKeyColumns();
    QCborValue fixedValue(const MdbColumn *c, int start, int size) const;
    QCborValue variableValue(const MdbColumn *c, int start, int size) const;

    MdbHandle *mdb_;
    bool jet3_;
    MdbCatalogEntry entry_{};
    MdbTableDef *table_ = nullptr;
    std::vector<MdbField> fields_;
    std::vector<unsigned char> flags_; // raw column flags by column, 0x02 = may be null
    std::vector<bool> key_;
    bool end_ = false;
};

// Text of a Jet 4 or ACE text or memo value: UTF-16LE, possibly in the compressed form.
QString jet4Text(const unsigned char *data, size_t size);

// A Numeric value's 17 bytes as decimal text with the given scale.
QString numericText(const unsigned char *data, int scale);

} // namespace dbhost
