// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where things stand in the pages of an Access database. Offsets count from the start of the
// structure they belong to (a page, a row, a column entry); all integers are little-endian. Jet 3
// and Jet 4 place and size things differently; ACE keeps the Jet 4 layout.

#include <QtGlobal>

#include <cstddef>

namespace dbhost {

// The header page (page 0). From `maskedArea` on, its bytes are RC4 under a fixed key; the fields
// after it are counted from the page's start all the same.
struct HeaderLayout {
    size_t maskedSize;   // bytes of the masked area
    size_t localeId;     // the database's sort order
    size_t passwordSize; // the database password's bytes at `password`
};

namespace HeaderPage {
constexpr size_t magic = 0x00; // 00 01 00 00
constexpr size_t formatName = 0x04;
constexpr size_t formatNameSize = 16; // "Standard Jet DB" or "Standard ACE DB" and a NUL
constexpr size_t version = 0x14;
constexpr size_t shortestHeader = 0x20; // fewer bytes cannot be a database
constexpr size_t maskedArea = 0x18;
constexpr unsigned char maskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
constexpr size_t codePage = 0x3c;
constexpr size_t pageKey = 0x3e; // the key of an encoded Jet database's pages; 0 when not encoded
constexpr size_t password = 0x42;
constexpr size_t creationDate = 0x72; // Jet 4: a double whose whole days mask the password
} // namespace HeaderPage

constexpr HeaderLayout jet3Header{.maskedSize = 126, .localeId = 0x3a, .passwordSize = 20};
constexpr HeaderLayout jet4Header{.maskedSize = 128, .localeId = 0x6e, .passwordSize = 40};
constexpr size_t largestMaskedSize = jet4Header.maskedSize;

// Every page but the header starts with its type.
namespace PageType {
constexpr int offset = 0;
constexpr quint8 data = 0x01;
constexpr quint8 tableDefinition = 0x02;
constexpr quint8 usageMap = 0x05;
} // namespace PageType

// A data page: the definition page of the table it belongs to, the number of rows, then a 2-byte
// slot per row holding where the row starts and what became of it. Rows fill the page from its end
// down, so a row ends where the one before it starts.
struct DataPageLayout {
    int rowCount;
};

namespace DataPage {
constexpr int owner = 4;
constexpr int slotSize = 2;
constexpr quint16 rowStartMask = 0x1fff;
constexpr quint16 deletedRow = 0x8000;  // deleted, or a row that moved here from another page
constexpr quint16 overflowRow = 0x4000; // the row holds a pointer to the row's new place
} // namespace DataPage

// A pointer to a row anywhere in the file: the row's number in its page in the low byte, the page's
// number in the three above. Stored in four bytes, or as the row byte and a 3-byte page number.
struct RowPointer {
    quint32 page = 0;
    int row = 0;

    static constexpr RowPointer from(quint32 stored) { return {stored >> 8, int(stored & 0xff)}; }
};
constexpr int rowPointerSize = 4;

// A table definition: its first page, then each further page of the chain without its header.
struct TableDefinitionLayout {
    int variableColumnCount;
    int columnCount;
    int logicalIndexCount;
    int realIndexCount;
    int usageMap;        // the row pointer to the map of the table's data pages
    int realIndexCounts; // one entry per real index, followed by the column entries
    int realIndexCountSize;
};

namespace TableDefinitionPage {
constexpr int nextPage = 4; // 0 on the last page of the chain
constexpr int headerSize = 8;
} // namespace TableDefinitionPage

// A column entry of a table definition; the columns' names follow all the entries, each after its
// length.
struct ColumnLayout {
    int entrySize;
    int type;
    int number;        // its bit in a row's null mask; counts deleted columns too
    int variableIndex; // its entry in a row's table of variable offsets
    int precision;     // Numeric columns; other types keep other things here
    int scale;
    int flags;
    int extraFlags;  // -1: the layout has none
    int fixedOffset; // where it starts in a row's fixed part, after the column count
    int length;
    int nameLengthSize;
};

namespace ColumnFlag {
constexpr quint8 fixedLength = 0x01;
constexpr quint8 mayBeNull = 0x02;
constexpr quint8 autoLong = 0x04;
constexpr quint8 autoGuid = 0x40;
} // namespace ColumnFlag

namespace ColumnExtraFlag {
constexpr quint8 calculated = 0xC0; // ACE 2010 and later
} // namespace ColumnExtraFlag

// A calculated text column's length counts the wrapper its values are stored in.
constexpr int calculatedTextOverhead = 23;

// After the column names: a block per real index (what the index sorts by: up to ten column
// numbers, each with its sort order), then an entry per logical index, which names its kind and the
// real index behind it.
struct RealIndexLayout {
    int blockSize;
    int columns;
};

namespace RealIndex {
constexpr int columnSlots = 10;
constexpr int columnSlotSize = 3; // the column's number, then its sort order
constexpr quint16 noColumn = 0xffff;
} // namespace RealIndex

// A logical index entry: (Jet 4: 4 bytes Jet 3 lacks,) its number, the real index behind it, what a
// foreign key refers to (9 bytes), whether updates and deletes cascade, its kind, (Jet 4: 4 more).
struct LogicalIndexLayout {
    int entrySize;
    int realIndex;
    int kind;
};

namespace LogicalIndex {
constexpr quint8 primaryKey = 0x01;
} // namespace LogicalIndex

// A row: the column count first; at its end the null mask (a bit per column, set when the column has
// a value), before it the count of variable columns and a table of where each variable value starts,
// the last entry marking the end of the variable part. Jet 3 keeps these in single bytes, with a
// table of jumps for rows longer than 255 bytes; Jet 4 in two.
struct RowLayout {
    int columnCountSize;
};

namespace Jet3Row {
constexpr int variableCountSize = 1;
constexpr int jumpSpan = 256; // one jump entry for each 256 bytes of a row
} // namespace Jet3Row

namespace Jet4Row {
constexpr int variableCountSize = 2;
constexpr int variableOffsetSize = 2;
} // namespace Jet4Row

// A memo or OLE value in a row is a 12-byte header: its length and where it is kept, then a row
// pointer to it unless it follows the header in the row.
namespace LongValue {
constexpr int headerSize = 12;
constexpr int pointer = 4;
constexpr quint32 inRow = 0x80000000;     // the bytes follow the header
constexpr quint32 singleRow = 0x40000000; // one long-value row holds them all
constexpr quint32 lengthMask = 0x3fffffff;
constexpr int chainLinkSize = 4; // each row of a chain starts with a pointer to the next
} // namespace LongValue

// A usage map: a row that says which pages belong to a table, as a bitmap right in the row after the
// first page it maps, or as pointers to usage-map pages that each hold a bitmap after their header.
namespace UsageMap {
constexpr int kind = 0;
constexpr quint8 bitmapInRow = 0x00;
constexpr quint8 bitmapPages = 0x01;
constexpr int firstPage = 1;
constexpr int rowBitmap = 5;
constexpr int bitmapPagePointers = 1;
constexpr int pageNumberSize = 4;
constexpr int bitmapPageHeader = 4;
} // namespace UsageMap

struct JetLayout {
    int pageSize;
    DataPageLayout dataPage;
    TableDefinitionLayout tableDefinition;
    ColumnLayout column;
    RealIndexLayout realIndex;
    LogicalIndexLayout logicalIndex;
    RowLayout row;
};

constexpr JetLayout jet3Layout{
    .pageSize = 2048,
    .dataPage = {.rowCount = 8},
    .tableDefinition = {.variableColumnCount = 23,
                        .columnCount = 25,
                        .logicalIndexCount = 27,
                        .realIndexCount = 31,
                        .usageMap = 35,
                        .realIndexCounts = 43,
                        .realIndexCountSize = 8},
    .column = {.entrySize = 18,
               .type = 0,
               .number = 1,
               .variableIndex = 3,
               .precision = 11,
               .scale = 12,
               .flags = 13,
               .extraFlags = -1,
               .fixedOffset = 14,
               .length = 16,
               .nameLengthSize = 1},
    .realIndex = {.blockSize = 39, .columns = 0},
    .logicalIndex = {.entrySize = 20, .realIndex = 4, .kind = 19},
    .row = {.columnCountSize = 1},
};

constexpr JetLayout jet4Layout{
    .pageSize = 4096,
    .dataPage = {.rowCount = 12},
    .tableDefinition = {.variableColumnCount = 43,
                        .columnCount = 45,
                        .logicalIndexCount = 47,
                        .realIndexCount = 51,
                        .usageMap = 55,
                        .realIndexCounts = 63,
                        .realIndexCountSize = 12},
    .column = {.entrySize = 25,
               .type = 0,
               .number = 5,
               .variableIndex = 7,
               .precision = 11,
               .scale = 12,
               .flags = 15,
               .extraFlags = 16,
               .fixedOffset = 21,
               .length = 23,
               .nameLengthSize = 2},
    .realIndex = {.blockSize = 52, .columns = 4},
    .logicalIndex = {.entrySize = 28, .realIndex = 8, .kind = 23},
    .row = {.columnCountSize = 2},
};

} // namespace dbhost
