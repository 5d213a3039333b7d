// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A small writer of Jet 4 (and Jet 3, ACE) database files for test fixtures, benchmarks and the
// demonstration database. It writes just what a reader needs: the header page (its masked area
// holding code page, locale, the page-encryption key and the password), pages of usage maps (with
// bitmap pages for tables past their reach), the catalog MSysObjects at page 2, and for each local
// table a definition page and its data pages, and the property blocks Access keeps for required and
// calculated columns. No indexes, no long-value pages (memo and OLE values are stored inside their
// row).

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace jet4 {

enum class Type : uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    Date = 0x08,
    Binary = 0x09,
    Text = 0x0a,
    Ole = 0x0b,
    Memo = 0x0c,
    Guid = 0x0f,
    Numeric = 0x10,
    Complex = 0x12,          // the id of the row's values in a hidden table
    BigInt = 0x13,           // Large Number
    DateTimeExtended = 0x14, // 42 ASCII bytes
};

struct Column {
    Column(std::string name, Type type, int size = 0, int precision = 0, int scale = 0, bool required = false,
           bool autoNumber = false)
        : name(std::move(name))
        , type(type)
        , size(size)
        , precision(precision)
        , scale(scale)
        , required(required)
        , autoNumber(autoNumber) {}

    std::string name;
    Type type;
    int size;      // Text: characters; Binary: bytes
    int precision; // Numeric only
    int scale;     // Numeric only
    bool required;
    bool autoNumber;
    // An expression's column (ACE 2010 and later), its type being the type of its results: every
    // value is wrapped in 23 extra bytes, and the fixed-size ones take 39 bytes of the row. Booleans
    // are then stored as a byte, not in the mask. As Access does, the definition's type byte is then
    // not always the result type (Currency results are stored as Double, Booleans as Integer, Single
    // as Numeric, Memo as Text): the "ResultType" property in the table's property blocks says it.
    bool calculated = false;
    std::string expression = "1"; // a calculated column's "Expression" property
};

// One value of a row. Integers carry Boolean (0/1), Currency (in 1/10000), Numeric (unscaled), Large
// Number, complex ids and Date/Time Extended (100 ns units since 0001-01-01 00:00); reals carry
// Single, Double and Date (days since 1899-12-30); text is UTF-8.
struct Value {
    enum class Kind { Null, Integer, Real, Text, Bytes };
    Kind kind = Kind::Null;
    int64_t integer = 0;
    double real = 0;
    std::string text;
    std::vector<uint8_t> bytes;

    static Value null() { return {}; }
    static Value of(int64_t v);
    static Value ofReal(double v);
    static Value ofText(std::string v);
    static Value ofBytes(std::vector<uint8_t> v);
};

using Row = std::vector<Value>;

// Catalog object types as MSysObjects.Type stores them.
namespace ObjectType {
constexpr int16_t Table = 1;
constexpr int16_t OdbcLink = 4;
constexpr int16_t Query = 5;
constexpr int16_t LinkedTable = 6;
} // namespace ObjectType

// One catalog row. Local tables get their pages; every other type is a catalog row only.
struct Object {
    explicit Object(std::string name, int16_t type = ObjectType::Table, uint32_t flags = 0)
        : name(std::move(name))
        , type(type)
        , flags(flags) {}

    std::string name;
    int16_t type;
    uint32_t flags;
    std::string database;    // linked table: the other database
    std::string connect;     // ODBC link: the connect string
    std::string foreignName; // links: the name in the other database
    std::vector<Column> columns;
    std::vector<Row> rows;
    // Rows (by index) that moved to a page of their own, leaving a pointer in their slot, as a row
    // that outgrew its page does; and rows deleted in place. Readers keep the table's slot order.
    std::vector<size_t> movedRows;
    std::vector<size_t> deletedRows;
    // When set, the table's LvProp value as given, instead of the blocks its columns call for.
    std::optional<std::vector<uint8_t>> propertyBlocks;
};

struct Options {
    uint16_t codePage = 1252;
    uint16_t localeId = 0x409;
    uint32_t pageKey = 0; // non-zero: every page after the header is RC4-encrypted with it
    uint8_t version = 1;  // the header's version byte: 1 Jet 4, 2.. ACE (the same layout)
    std::string password; // the database password, up to 20 characters
};

// The whole file. Throws std::invalid_argument for what the format cannot hold (a row wider than a
// page, a text longer than its column, a Jet 3 row past 255 bytes, ...).
std::vector<uint8_t> build(const std::vector<Object> &objects, const Options &options = {});

// Writes build()'s image to a file; throws std::runtime_error when the file cannot be written.
void writeFile(const std::string &path, const std::vector<Object> &objects, const Options &options = {});

// Writes a database password into the header of a Jet 3 or Jet 4 image (written here or not): the
// masked area is unmasked, the password (Jet 3: 20 bytes of the code page; Jet 4: 20 UTF-16 units
// mixed with the creation date) put at 0x42, and the area masked again. Throws std::invalid_argument
// for an image that is no Jet 3 or Jet 4 database or a password longer than 20 characters.
void setPassword(std::vector<uint8_t> &image, const std::string &password);

// The type byte of a column's definition: the column's type, except for the calculated result types
// Access stores under another one.
Type storedType(const Column &column);

// The LvProp value of a table's catalog row as Access writes it: the marker, the list of property
// names, a block for the table (with no properties here) and one for each column that has any: a
// required column's "Required", a calculated column's "Expression" and "ResultType". Empty when no
// column has a property. Jet 3 (version 0) gets its own marker and single-byte names.
std::vector<uint8_t> propertyBlocks(const Object &table, uint8_t version = 1);

// UTF-8 to UTF-16LE, characters outside the BMP as surrogate pairs. Throws on malformed UTF-8.
std::vector<uint8_t> utf16le(const std::string &utf8);

// UTF-8 to the single bytes of Jet 3 text: only what Latin-1 and code page 1252 share. Throws
// std::invalid_argument for any other character.
std::vector<uint8_t> latin1(const std::string &utf8);

} // namespace jet4
