#pragma once

#include "dbhost/JetFile.h"
#include "dbhost/Properties.h"
#include "dbhost/ValueDecoder.h"

#include <QCborArray>
#include <QCborValue>

#include <vector>

namespace dbhost {

// One column as the table definition describes it.
struct ColumnDefinition {
    QString name;
    ColumnType type = ColumnType::Text;      // the type byte: how the value is stored
    ColumnType valueType = ColumnType::Text; // what its values are: a calculated column's result type
    int number = 0;                          // its bit in the null mask; counts deleted columns too
    int varIndex = 0;                        // its entry in a row's table of variable offsets
    int fixedOffset = 0;                     // where it starts in a row's fixed part
    int length = 0;                          // bytes (Jet 3 text: characters)
    quint8 flags = 0;                        // 0x01 fixed part, 0x02 may be null, 0x04 / 0x40 auto number
    quint8 extFlags = 0;                     // 0xC0 calculated (ACE 2010 and later)
    int precision = 0;                       // Numeric values only
    int scale = 0;
    bool key = false;

    bool inFixedPart() const { return flags & 0x01; }
    bool calculated() const { return extFlags & 0xC0; }
};

// One table read straight from its pages: the definition (chained definition pages), the data pages
// of its usage map, the rows of each page in slot order (a row moved to another page is read where
// its pointer stands, deleted rows are skipped), each value decoded by its column's type from the
// fixed or variable part of the row as the column definition places it; a calculated column's values
// by the result type its properties give. Everything found damaged on the way throws HostError.
class JetTable {
public:
    // The file must outlive the table.
    JetTable(const JetFile &file, const QString &name, quint32 definitionPage,
             const TableProperties &properties = {});
    JetTable(const JetTable &) = delete;
    JetTable &operator=(const JetTable &) = delete;

    int columnCount() const { return int(columns_.size()); }
    int columnIndex(const char *name) const; // -1 when there is none
    const ColumnDefinition &column(int index) const { return columns_[size_t(index)]; }
    // Name, type, size, precision, scale, nullable, autoNumber, key, fixedLength and calculated of each.
    std::vector<ColumnDescription> columns() const;

    // Moves to the next row; false once the table is exhausted, and from then on.
    bool next();
    QCborValue value(int column) const;
    void rewind();

    struct Format;

private:
    QByteArray page(quint32 number) const;
    QByteArray definition(quint32 first) const;
    void readDefinition(const QByteArray &d);
    void applyResultTypes(const TableProperties &properties);
    void readDataPages(quint32 usageMap);
    bool ownsDataPage(const QByteArray &p) const;
    bool locateRow(const QByteArray &p, int row, int &start, int &end) const;
    bool loadRow(QByteArray p, int row);
    void crackRow();
    QByteArray longValue(const unsigned char *header, size_t size) const;
    [[noreturn]] void damaged(const QString &what, const QString &detail = {}) const;

    const JetFile &file_;
    bool jet3_;
    const Format *format_;
    QString name_;
    quint32 definitionPage_;
    std::vector<ColumnDefinition> columns_; // by column number
    int variableColumns_ = 0;
    std::vector<quint32> dataPages_;
    DecodeContext context_;

    // The cursor.
    size_t nextPage_ = 0;
    QByteArray page_;
    int pageRows_ = 0;
    int nextRow_ = 0;
    bool end_ = false;
    // The current row: its page and place, and what the row header says.
    QByteArray rowPage_;
    int rowStart_ = 0;
    int rowSize_ = 0;
    int rowColumns_ = 0;
    int nullMask_ = 0; // offset in the row
    int fixedEnd_ = 0;
    std::vector<int> varOffsets_;
};

} // namespace dbhost
