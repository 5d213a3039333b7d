// SPDX-License-Identifier: GPL-3.0-or-later
#include "Jet4Writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>

namespace jet4 {

namespace {

constexpr uint32_t catalogPage = 2; // readers find MSysObjects' definition here

// Where things go in the two layouts.
struct Format {
    bool jet3;
    size_t pageSize;
    size_t usageMapBytes;   // a type-0 map covers this many bytes' worth of pages from its start page
    size_t rowCountOffset;  // data pages: the row count, then the row offsets
    size_t columnEntrySize; // table definitions
    size_t firstColumnEntry;
    size_t rowsAt, tableTypeAt, maxColumnsAt, varColumnsAt, columnsAt, usedMapAt, freeMapAt;
    size_t colNumberAt, colVarIndexAt, colNumber2At, colSortAt, colFlagsAt, colFixedOffsetAt, colLengthAt;
};

constexpr Format jet3Format = {true, 2048, 128, 8, 18, 43, 12, 20, 21, 23,
                               25,   35,   39,  1, 3,  5,  9,  13, 14, 16};
constexpr Format jet4Format = {false, 4096, 64, 12, 25, 63, 16, 40, 41, 43,
                               45,    55,   59, 5,  7,  9,  11, 15, 21, 23};

// The layout of the file being built (the writer is not reentrant).
const Format *format = &jet4Format;
constexpr uint32_t tablesContainer = 0x0F000001;
constexpr double creationDate = 45000.5; // 2023-03-15 12:00, any fixed time keeps images reproducible

using Page = std::vector<uint8_t>;
using Bytes = std::vector<uint8_t>;

void put16(uint8_t *p, uint32_t v) {
    p[0] = v & 0xff;
    p[1] = (v >> 8) & 0xff;
}

void put32(uint8_t *p, uint32_t v) {
    for (int k = 0; k < 4; ++k)
        p[k] = (v >> (8 * k)) & 0xff;
}

void put64(uint8_t *p, uint64_t v) {
    for (int k = 0; k < 8; ++k)
        p[k] = (v >> (8 * k)) & 0xff;
}

void append16(Bytes &b, uint32_t v) {
    b.push_back(v & 0xff);
    b.push_back((v >> 8) & 0xff);
}

void fail(const std::string &what) {
    throw std::invalid_argument(what);
}

bool isVariable(Type t) {
    return t == Type::Text || t == Type::Memo || t == Type::Ole || t == Type::Binary;
}

bool isLong(Type t) {
    return t == Type::Memo || t == Type::Ole;
}

constexpr size_t calculatedHeader = 20; // 16 bytes, then the value's length
constexpr size_t calculatedExtra = 23;
constexpr int calculatedFixedSize = 39;
constexpr size_t extendedDateSize = 42;

int typeSize(Type t) {
    switch (t) {
    case Type::Byte:
        return 1;
    case Type::Integer:
        return 2;
    case Type::Long:
    case Type::Single:
    case Type::Complex:
        return 4;
    case Type::Currency:
    case Type::Double:
    case Type::Date:
    case Type::BigInt:
        return 8;
    case Type::Guid:
        return 16;
    case Type::Numeric:
        return 17;
    case Type::DateTimeExtended:
        return int(extendedDateSize);
    default:
        return 0; // a Boolean lives in the null mask
    }
}

bool isVariable(const Column &c) {
    return isVariable(c.type);
}

int fixedSize(const Column &c) {
    return c.calculated ? calculatedFixedSize : typeSize(c.type);
}

// A calculated value: 16 header bytes, its length, itself, 3 trailing bytes.
Bytes wrapCalculated(const Bytes &value) {
    Bytes out(calculatedHeader, 0);
    out[16] = uint8_t(value.size());
    out[17] = uint8_t(value.size() >> 8);
    out.insert(out.end(), value.begin(), value.end());
    out.resize(out.size() + calculatedExtra - calculatedHeader, 0);
    return out;
}

// 19 digits of days since 0001-01-01, ':', 12 digits of seconds and 7 of 100 ns units, ":7", NUL.
void encodeExtendedDate(int64_t units, uint8_t *dst) {
    const int64_t perDay = 864000000000LL;
    char text[extendedDateSize + 1];
    std::snprintf(text, sizeof text, "%019lld:%012lld%07lld:7", (long long)(units / perDay),
                  (long long)(units % perDay / 10000000), (long long)(units % 10000000));
    std::memcpy(dst, text, extendedDateSize);
}

// Where each column's value goes in a row: fixed columns at an offset, variable ones by their index.
struct Layout {
    std::vector<int> fixedOffset;
    std::vector<int> variableIndex;
    int fixedBytes = 0;
    int variableCount = 0;

    explicit Layout(const std::vector<Column> &columns) {
        for (const Column &c : columns) {
            fixedOffset.push_back(isVariable(c) ? 0 : fixedBytes);
            variableIndex.push_back(isVariable(c) ? variableCount : 0);
            if (isVariable(c))
                ++variableCount;
            else
                fixedBytes += fixedSize(c);
        }
    }
};

double realOf(const Value &v) {
    return v.kind == Value::Kind::Integer ? double(v.integer) : v.real;
}

// Sign byte, then the 128-bit magnitude as four little-endian words, the most significant first; a
// 64-bit value leaves the upper two words zero.
void encodeNumeric(int64_t unscaled, uint8_t *dst) {
    const uint64_t magnitude = unscaled < 0 ? uint64_t(-(unscaled + 1)) + 1 : uint64_t(unscaled);
    dst[0] = unscaled < 0 ? 0x80 : 0x00;
    put32(dst + 1 + 12, uint32_t(magnitude));
    put32(dst + 1 + 8, uint32_t(magnitude >> 32));
}

void encodeFixed(const Column &c, const Value &v, uint8_t *dst) {
    if (c.calculated) {
        Column plain = c;
        plain.calculated = false;
        Bytes value(size_t(std::max(typeSize(c.type), 1)), 0);
        if (c.type == Type::Boolean) {
            value[0] = v.integer ? 0xff : 0;
        } else if (c.type == Type::Numeric) {
            // Its own form, in the 16 bytes a fixed calculated value has: the length after these two
            // bytes, scale, sign, then a 96-bit magnitude as a little-endian 32-bit high part and a
            // little-endian 64-bit low part.
            const uint64_t magnitude = v.integer < 0 ? uint64_t(-(v.integer + 1)) + 1 : uint64_t(v.integer);
            value.assign(16, 0);
            put16(value.data(), 14);
            value[2] = uint8_t(c.scale);
            value[3] = v.integer < 0 ? 0x80 : 0;
            put64(value.data() + 8, magnitude);
        } else {
            encodeFixed(plain, v, value.data());
        }
        const Bytes wrapped = wrapCalculated(value);
        std::memcpy(dst, wrapped.data(), std::min(wrapped.size(), size_t(calculatedFixedSize)));
        return;
    }
    switch (c.type) {
    case Type::Complex:
        put32(dst, uint32_t(int32_t(v.integer)));
        break;
    case Type::BigInt:
        put64(dst, uint64_t(v.integer));
        break;
    case Type::DateTimeExtended:
        encodeExtendedDate(v.integer, dst);
        break;
    case Type::Byte:
        dst[0] = uint8_t(v.integer);
        break;
    case Type::Integer:
        put16(dst, uint16_t(int16_t(v.integer)));
        break;
    case Type::Long:
        put32(dst, uint32_t(int32_t(v.integer)));
        break;
    case Type::Currency:
        put64(dst, uint64_t(v.integer));
        break;
    case Type::Single: {
        const float f = float(realOf(v));
        std::memcpy(dst, &f, 4);
        break;
    }
    case Type::Double:
    case Type::Date: {
        const double d = realOf(v);
        std::memcpy(dst, &d, 8);
        break;
    }
    case Type::Guid:
        if (v.bytes.size() != 16)
            fail("a GUID is 16 bytes: " + c.name);
        std::memcpy(dst, v.bytes.data(), 16);
        break;
    case Type::Numeric:
        encodeNumeric(v.integer, dst);
        break;
    default:
        break;
    }
}

// A memo or OLE value kept inside its row: the 12-byte long-value header with the inline bit.
Bytes inlineLongValue(const Bytes &data) {
    Bytes out(12, 0);
    put32(out.data(), uint32_t(data.size()) | 0x80000000u);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes textBytes(const std::string &utf8) {
    return format->jet3 ? latin1(utf8) : utf16le(utf8);
}

Bytes variableData(const Column &c, const Value &v) {
    Bytes data = (c.type == Type::Text || c.type == Type::Memo) ? textBytes(v.text) : v.bytes;
    if (c.type == Type::Text && c.size && data.size() > size_t(c.size) * (format->jet3 ? 1 : 2))
        fail("text longer than its column: " + c.name);
    if (c.type == Type::Binary && c.size && data.size() > size_t(c.size))
        fail("binary value longer than its column: " + c.name);
    if (c.calculated)
        data = wrapCalculated(data);
    return isLong(c.type) ? inlineLongValue(data) : data;
}

bool presentBit(const Column &c, const Value &v) {
    if (c.type == Type::Boolean && !c.calculated)
        return v.kind != Value::Kind::Null && v.integer != 0; // the bit is the value
    return v.kind != Value::Kind::Null;
}

// Jet 3 offsets take one byte each: rows past 255 bytes would need a jump table, written nowhere here.
void appendOffset(Bytes &b, uint32_t v) {
    if (!format->jet3)
        return append16(b, v);
    if (v > 255)
        fail("a Jet 3 row with variable columns is at most 255 bytes long here");
    b.push_back(uint8_t(v));
}

// Row: column count, fixed area, variable data, end offset, variable offsets (last first), their
// count, then the null mask.
Bytes packRow(const std::vector<Column> &columns, const Layout &layout, const Row &row) {
    if (row.size() != columns.size())
        fail("a row needs one value per column");
    Bytes out;
    const size_t countSize = format->jet3 ? 1 : 2;
    if (format->jet3)
        out.push_back(uint8_t(columns.size()));
    else
        append16(out, uint32_t(columns.size()));
    out.resize(countSize + layout.fixedBytes, 0);
    Bytes nullMask((columns.size() + 7) / 8, 0);
    for (size_t i = 0; i < columns.size(); ++i) {
        if (presentBit(columns[i], row[i]))
            nullMask[i / 8] |= uint8_t(1 << (i % 8));
        if (!isVariable(columns[i]) && (columns[i].type != Type::Boolean || columns[i].calculated) &&
            row[i].kind != Value::Kind::Null)
            encodeFixed(columns[i], row[i], out.data() + countSize + layout.fixedOffset[i]);
    }
    std::vector<uint32_t> variableOffset(layout.variableCount, 0);
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!isVariable(columns[i]))
            continue;
        variableOffset[layout.variableIndex[i]] = uint32_t(out.size());
        if (row[i].kind == Value::Kind::Null)
            continue;
        const Bytes data = variableData(columns[i], row[i]);
        out.insert(out.end(), data.begin(), data.end());
    }
    if (layout.variableCount > 0) {
        appendOffset(out, uint32_t(out.size()));
        for (int k = layout.variableCount - 1; k >= 0; --k)
            appendOffset(out, variableOffset[k]);
        appendOffset(out, uint32_t(layout.variableCount));
    }
    out.insert(out.end(), nullMask.begin(), nullMask.end());
    return out;
}

void rc4(const uint8_t *key, size_t keyLength, uint8_t *data, size_t length) {
    uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = uint8_t(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLength]) & 255;
        std::swap(s[i], s[j]);
    }
    for (size_t n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 255];
    }
}

// The pages of the file being written, by number.
class Image {
public:
    Page &page(uint32_t number) {
        Page &p = pages_[number];
        if (p.empty())
            p.assign(format->pageSize, 0);
        return p;
    }

    uint32_t newPage() { return next_++; }

    // Stores rows on as many data pages as they need; returns those pages and where each row went.
    std::vector<uint32_t> storeRows(uint32_t tableDefinition, const std::vector<Bytes> &rows,
                                    std::vector<std::pair<uint32_t, uint32_t>> &placed) {
        std::vector<uint32_t> used;
        size_t stored = 0;
        do {
            used.push_back(newPage());
            const size_t from = stored;
            stored = fillDataPage(page(used.back()), tableDefinition, rows, stored);
            for (size_t r = from; r < stored; ++r)
                placed.emplace_back(used.back(), uint32_t(r - from));
        } while (stored < rows.size());
        return used;
    }

    // Moves a row to a new page of its own (flagged as moved there) and leaves a pointer to it, flagged
    // as such, in its old slot; returns the new page.
    uint32_t moveRow(uint32_t tableDefinition, std::pair<uint32_t, uint32_t> at) {
        const size_t table = format->rowCountOffset + 2;
        Page &old = page(at.first);
        const size_t slot = table + 2 * at.second;
        const size_t start = (old[slot] | old[slot + 1] << 8) & 0x1fff;
        const size_t end = at.second == 0 ? format->pageSize : (old[slot - 2] | old[slot - 1] << 8) & 0x1fff;
        const Bytes row(old.begin() + long(start), old.begin() + long(end));
        if (row.size() < 4)
            fail("a row shorter than a pointer cannot move");
        const uint32_t moved = newPage();
        fillDataPage(page(moved), tableDefinition, {row}, 0);
        Page &target = page(moved);
        target[table + 1] |= 0x80; // the row's old slot points here; a table scan passes it by
        Page &source = page(at.first);
        source[start] = 0; // row 0 of the new page
        source[start + 1] = uint8_t(moved);
        source[start + 2] = uint8_t(moved >> 8);
        source[start + 3] = uint8_t(moved >> 16);
        source[slot + 1] |= 0x40;
        return moved;
    }

    void deleteRow(std::pair<uint32_t, uint32_t> at) {
        page(at.first)[format->rowCountOffset + 2 + 2 * at.second + 1] |= 0xc0;
    }

    // Adds a usage-map row on page 1; returns its row pointer (page << 8 | row). Pages that one
    // bitmap in the row cannot span go to bitmap pages the row points to (a type-1 map).
    uint32_t addUsageMap(const std::vector<uint32_t> &usedPages) {
        const size_t mapBytes = format->usageMapBytes;
        const uint32_t start = usedPages.empty() ? 0 : usedPages.front();
        Bytes row(5 + mapBytes, 0);
        if (usedPages.empty() || usedPages.back() - start < mapBytes * 8) {
            put32(row.data() + 1, start);
            for (uint32_t used : usedPages)
                row[5 + (used - start) / 8] |= uint8_t(1 << ((used - start) % 8));
        } else {
            row[0] = 0x01;
            const size_t perPage = (format->pageSize - 4) * 8;
            std::map<size_t, uint32_t> bitmaps;
            for (uint32_t used : usedPages) {
                const size_t slot = used / perPage;
                if (1 + 4 * (slot + 1) > row.size())
                    fail("a table spans more pages than a type-1 map reaches");
                if (!bitmaps.count(slot)) {
                    bitmaps[slot] = newPage();
                    Page &b = page(bitmaps[slot]);
                    b[0] = 0x05;
                    b[1] = 0x01;
                    put32(row.data() + 1 + 4 * slot, bitmaps[slot]);
                }
                Page &b = page(bitmaps[slot]);
                const size_t bit = used % perPage;
                b[4 + bit / 8] |= uint8_t(1 << (bit % 8));
            }
        }
        const size_t table = format->rowCountOffset + 2;
        if (table + 2 * (mapRows_ + 1) + row.size() > mapTop_) { // this page is full: start another
            mapPage_ = newPage();
            mapRows_ = 0;
            mapTop_ = format->pageSize;
        }
        Page &p = page(mapPage_);
        p[0] = 0x01;
        p[1] = 0x01;
        mapTop_ -= row.size();
        std::memcpy(p.data() + mapTop_, row.data(), row.size());
        put16(p.data() + table + 2 * mapRows_, uint32_t(mapTop_));
        ++mapRows_;
        put16(p.data() + format->rowCountOffset, mapRows_);
        put16(p.data() + 2, uint32_t(mapTop_ - (table + 2 * mapRows_)));
        return (mapPage_ << 8) | (mapRows_ - 1);
    }

    Bytes assemble(uint32_t pageKey) const {
        const uint32_t last = pages_.rbegin()->first;
        const size_t pageSize = format->pageSize;
        Bytes file(size_t(last + 1) * pageSize, 0);
        for (const auto &[number, content] : pages_) {
            Page out = content;
            if (number != 0 && pageKey != 0) {
                const uint32_t k = pageKey ^ number;
                const uint8_t key[4] = {uint8_t(k), uint8_t(k >> 8), uint8_t(k >> 16), uint8_t(k >> 24)};
                rc4(key, 4, out.data(), pageSize);
            }
            std::memcpy(file.data() + size_t(number) * pageSize, out.data(), pageSize);
        }
        return file;
    }

private:
    static size_t fillDataPage(Page &p, uint32_t tableDefinition, const std::vector<Bytes> &rows,
                               size_t from) {
        p[0] = 0x01;
        p[1] = 0x01;
        put32(p.data() + 4, tableDefinition);
        const size_t table = format->rowCountOffset + 2;
        size_t top = format->pageSize;
        uint32_t count = 0;
        size_t next = from;
        for (; next < rows.size(); ++next) {
            const Bytes &row = rows[next];
            if (row.size() > format->pageSize - 16)
                fail("a row is larger than a page");
            if (table + 2 * (count + 1) + row.size() > top)
                break;
            top -= row.size();
            std::memcpy(p.data() + top, row.data(), row.size());
            put16(p.data() + table + 2 * count, uint32_t(top));
            ++count;
        }
        put16(p.data() + format->rowCountOffset, count);
        put16(p.data() + 2, uint32_t(top - (table + 2 * count)));
        return next;
    }

    std::map<uint32_t, Page> pages_;
    uint32_t next_ = 3;    // 0 header, 1 usage maps, 2 the catalog's definition
    uint32_t mapPage_ = 1; // usage maps go on page 1, and on further pages when it is full
    uint32_t mapRows_ = 0;
    size_t mapTop_ = format->pageSize;
};

int declaredLength(const Column &c) {
    const int extra = c.calculated ? int(calculatedExtra) : 0;
    if (c.type == Type::Text)
        return c.size * (format->jet3 ? 1 : 2) + extra; // Jet 4 counts text columns in bytes
    if (c.type == Type::Binary)
        return c.size + extra;
    if (c.calculated)
        return isLong(c.type) ? 0 : calculatedFixedSize;
    if (c.type == Type::Boolean)
        return 1;
    return fixedSize(c);
}

void writeColumnEntry(uint8_t *d, const Column &c, size_t index, const Layout &layout) {
    const Format &f = *format;
    d[0] = uint8_t(storedType(c));
    put16(d + f.colNumberAt, uint32_t(index));
    put16(d + f.colVarIndexAt, uint32_t(layout.variableIndex[index]));
    put16(d + f.colNumber2At, uint32_t(index));
    if (c.type == Type::Numeric && !c.calculated) { // a calculated Decimal's values carry their scale
        d[11] = uint8_t(c.precision);
        d[12] = uint8_t(c.scale);
    }
    if (c.type == Type::Text || c.type == Type::Memo)
        put16(d + f.colSortAt, 0x409); // general sort order
    d[f.colFlagsAt] =
        uint8_t((isVariable(c) ? 0 : 0x01) | (c.required ? 0 : 0x02) | (c.autoNumber ? 0x04 : 0));
    if (!f.jet3)
        d[16] = c.calculated ? 0xc0 : 0;
    put16(d + f.colFixedOffsetAt, uint32_t(layout.fixedOffset[index]));
    put16(d + f.colLengthAt, uint32_t(declaredLength(c)));
}

void writeTableDefinition(Page &p, const Object &t, bool system, uint32_t rowCount, uint32_t usedMap,
                          uint32_t freeMap) {
    const Format &f = *format;
    const Layout layout(t.columns);
    p[0] = 0x02;
    p[1] = 0x01;
    if (f.jet3) {
        p[2] = 'V';
        p[3] = 'C';
    }
    put32(p.data() + f.rowsAt, rowCount);
    p[f.tableTypeAt] = system ? 0x53 : 0x4e;
    put16(p.data() + f.maxColumnsAt, uint32_t(t.columns.size()));
    put16(p.data() + f.varColumnsAt, uint32_t(layout.variableCount));
    put16(p.data() + f.columnsAt, uint32_t(t.columns.size()));
    put32(p.data() + f.usedMapAt, usedMap);
    put32(p.data() + f.freeMapAt, freeMap);
    size_t pos = f.firstColumnEntry;
    for (size_t i = 0; i < t.columns.size(); ++i, pos += f.columnEntrySize) {
        if (pos + f.columnEntrySize > f.pageSize)
            fail("a table definition must fit one page: " + t.name);
        writeColumnEntry(p.data() + pos, t.columns[i], i, layout);
    }
    const size_t lengthSize = f.jet3 ? 1 : 2;
    for (const Column &c : t.columns) {
        const Bytes name = textBytes(c.name);
        if (pos + lengthSize + name.size() > f.pageSize)
            fail("a table definition must fit one page: " + t.name);
        if (f.jet3)
            p[pos] = uint8_t(name.size());
        else
            put16(p.data() + pos, uint32_t(name.size()));
        std::memcpy(p.data() + pos + lengthSize, name.data(), name.size());
        pos += lengthSize + name.size();
    }
    put32(p.data() + 8, uint32_t(pos - 8));
    if (!f.jet3)
        put16(p.data() + 2, uint32_t(f.pageSize - pos - 8));
}

void writeTable(Image &image, uint32_t definitionPage, const Object &t, bool system) {
    const Layout layout(t.columns);
    std::vector<Bytes> rows;
    for (const Row &r : t.rows)
        rows.push_back(packRow(t.columns, layout, r));
    std::vector<std::pair<uint32_t, uint32_t>> placed;
    std::vector<uint32_t> used = image.storeRows(definitionPage, rows, placed);
    for (size_t r : t.movedRows)
        used.push_back(image.moveRow(definitionPage, placed.at(r)));
    for (size_t r : t.deletedRows)
        image.deleteRow(placed.at(r));
    const uint32_t usedMap = image.addUsageMap(used);
    const uint32_t freeMap = image.addUsageMap({});
    writeTableDefinition(image.page(definitionPage), t, system, uint32_t(rows.size()), usedMap, freeMap);
}

std::vector<Column> catalogColumns() {
    return {{"Id", Type::Long},
            {"ParentId", Type::Long},
            {"Name", Type::Text, 128},
            {"Type", Type::Integer},
            {"DateCreate", Type::Date},
            {"DateUpdate", Type::Date},
            {"Owner", Type::Binary, 255},
            {"Flags", Type::Long},
            {"Database", Type::Memo},
            {"Connect", Type::Memo},
            {"ForeignName", Type::Text, 128},
            {"RmtInfoShort", Type::Binary, 255},
            {"RmtInfoLong", Type::Ole},
            {"Lv", Type::Ole},
            {"LvProp", Type::Ole},
            {"LvModule", Type::Ole},
            {"LvExtra", Type::Ole}};
}

Value textOrNull(const std::string &s) {
    return s.empty() ? Value::null() : Value::ofText(s);
}

Row catalogRow(uint32_t id, uint32_t parent, const std::string &name, int16_t type, uint32_t flags,
               const Object *links = nullptr) {
    Row r(catalogColumns().size());
    r[0] = Value::of(int32_t(id));
    r[1] = Value::of(int32_t(parent));
    r[2] = Value::ofText(name);
    r[3] = Value::of(type);
    r[4] = Value::ofReal(creationDate);
    r[5] = Value::ofReal(creationDate);
    r[7] = Value::of(int32_t(flags));
    if (links) {
        r[8] = textOrNull(links->database);
        r[9] = textOrNull(links->connect);
        r[10] = textOrNull(links->foreignName);
    }
    return r;
}

Object catalogTable(const std::vector<Object> &objects, const std::vector<uint32_t> &ids) {
    Object catalog{"MSysObjects", ObjectType::Table, 0x80000000u};
    catalog.columns = catalogColumns();
    catalog.rows.push_back(catalogRow(tablesContainer, 0x0F000000, "Tables", 3, 0x80000000u));
    catalog.rows.push_back(catalogRow(0x0F000002, 0x0F000000, "Databases", 3, 0x80000000u));
    catalog.rows.push_back(catalogRow(0x0F000003, 0x0F000000, "Relationships", 3, 0x80000000u));
    catalog.rows.push_back(catalogRow(catalogPage, tablesContainer, "MSysObjects", 1, 0x80000000u));
    constexpr size_t lvPropColumn = 14;
    for (size_t i = 0; i < objects.size(); ++i) {
        const Object &o = objects[i];
        catalog.rows.push_back(catalogRow(ids[i], tablesContainer, o.name, o.type, o.flags, &o));
        const Bytes blocks = o.propertyBlocks ? *o.propertyBlocks : propertyBlocks(o, format->jet3 ? 0 : 1);
        if (!blocks.empty())
            catalog.rows.back()[lvPropColumn] = Value::ofBytes(blocks);
    }
    return catalog;
}

// The header's masked area starts at 0x18 (126 bytes for Jet 3, 128 for Jet 4); its content is
// RC4-encrypted with a fixed key.
constexpr size_t maskedStart = 0x18;
constexpr size_t passwordAt = 0x42;
constexpr size_t createdAt = 0x72;
const uint8_t headerKey[4] = {0xC7, 0xDA, 0x39, 0x6B};

// Jet 4 keeps the password mixed with the integer part of the creation date: an empty password is
// stored as the mask itself.
void putPassword(uint8_t *masked, bool jet3, const std::string &password) {
    if (password.size() > 20)
        fail("a database password has at most 20 characters");
    uint8_t *p = masked + passwordAt - maskedStart;
    std::memset(p, 0, jet3 ? 20 : 40);
    if (jet3) {
        std::memcpy(p, password.data(), password.size());
        return;
    }
    const Bytes units = utf16le(password);
    if (!units.empty()) // an empty vector's data may be null, which memcpy must not get
        std::memcpy(p, units.data(), std::min<size_t>(units.size(), 40));
    double created = 0;
    std::memcpy(&created, masked + createdAt - maskedStart, 8);
    const uint32_t day = uint32_t(int32_t(created));
    for (size_t i = 0; i < 40; ++i)
        p[i] ^= uint8_t(day >> (8 * (i % 4)));
}

void writeHeader(Page &h, const Options &options) {
    h[1] = 0x01;
    const bool ace = options.version >= 2;
    const bool jet3 = options.version == 0;
    std::memcpy(h.data() + 4, ace ? "Standard ACE DB" : "Standard Jet DB", 16);
    h[0x14] = options.version;
    uint8_t masked[128] = {};
    const size_t maskedLength = jet3 ? 126 : 128;
    put16(masked + 0x3c - maskedStart, options.codePage);
    put32(masked + 0x3e - maskedStart, options.pageKey);
    put16(masked + 0x6e - maskedStart, options.localeId);
    if (!jet3) // Jet 3 keeps no creation date here
        std::memcpy(masked + createdAt - maskedStart, &creationDate, 8);
    if (!ace)
        putPassword(masked, jet3, options.password);
    rc4(headerKey, 4, masked, maskedLength);
    std::memcpy(h.data() + maskedStart, masked, maskedLength);
}

} // namespace

Value Value::of(int64_t v) {
    Value x;
    x.kind = Kind::Integer;
    x.integer = v;
    return x;
}

Value Value::ofReal(double v) {
    Value x;
    x.kind = Kind::Real;
    x.real = v;
    return x;
}

Value Value::ofText(std::string v) {
    Value x;
    x.kind = Kind::Text;
    x.text = std::move(v);
    return x;
}

Value Value::ofBytes(std::vector<uint8_t> v) {
    Value x;
    x.kind = Kind::Bytes;
    x.bytes = std::move(v);
    return x;
}

std::vector<uint8_t> utf16le(const std::string &utf8) {
    Bytes out;
    auto emit = [&](uint32_t unit) {
        out.push_back(unit & 0xff);
        out.push_back(uint8_t(unit >> 8));
    };
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = utf8[i];
        const int length = lead < 0x80         ? 1
                           : (lead >> 5) == 6  ? 2
                           : (lead >> 4) == 14 ? 3
                           : (lead >> 3) == 30 ? 4
                                               : 0;
        if (length == 0 || i + length > utf8.size())
            fail("malformed UTF-8");
        uint32_t cp = length == 1 ? lead : lead & (0x7f >> length);
        for (int k = 1; k < length; ++k) {
            if ((utf8[i + k] & 0xc0) != 0x80)
                fail("malformed UTF-8");
            cp = (cp << 6) | (utf8[i + k] & 0x3f);
        }
        i += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            emit(0xD800 | (cp >> 10));
            emit(0xDC00 | (cp & 0x3ff));
        } else {
            emit(cp);
        }
    }
    return out;
}

std::vector<uint8_t> latin1(const std::string &utf8) {
    const Bytes units = utf16le(utf8);
    Bytes out;
    for (size_t i = 0; i < units.size(); i += 2) {
        const uint32_t unit = units[i] | units[i + 1] << 8;
        if (unit > 0xff || (unit >= 0x80 && unit < 0xa0))
            fail("Jet 3 text here is Latin-1 only: " + utf8);
        out.push_back(uint8_t(unit));
    }
    return out;
}

Type storedType(const Column &c) {
    if (!c.calculated)
        return c.type;
    switch (c.type) {
    case Type::Currency:
        return Type::Double;
    case Type::Boolean:
        return Type::Integer;
    case Type::Single:
        return Type::Numeric;
    case Type::Memo:
        return Type::Text;
    default:
        return c.type;
    }
}

void setPassword(std::vector<uint8_t> &image, const std::string &password) {
    if (image.size() < maskedStart + 128 || std::memcmp(image.data() + 4, "Standard Jet DB", 16) != 0 ||
        image[0x14] > 1)
        fail("not a Jet 3 or Jet 4 database");
    const bool jet3 = image[0x14] == 0;
    const size_t length = jet3 ? 126 : 128;
    uint8_t *masked = image.data() + maskedStart;
    rc4(headerKey, 4, masked, length);
    putPassword(masked, jet3, password);
    rc4(headerKey, 4, masked, length);
}

std::vector<uint8_t> build(const std::vector<Object> &objects, const Options &options) {
    format = options.version == 0 ? &jet3Format : &jet4Format;
    Image image;
    std::vector<uint32_t> ids;
    uint32_t nextForeignId = 0x0F000100; // links and queries own no pages
    for (const Object &o : objects) {
        if (o.type != ObjectType::Table) {
            ids.push_back(nextForeignId++);
            continue;
        }
        ids.push_back(image.newPage()); // a table's Id is its definition page
        writeTable(image, ids.back(), o, (o.flags & 0x80000002u) != 0);
    }
    writeTable(image, catalogPage, catalogTable(objects, ids), true);
    writeHeader(image.page(0), options);
    return image.assemble(options.pageKey);
}

void writeFile(const std::string &path, const std::vector<Object> &objects, const Options &options) {
    const Bytes image = build(objects, options);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(image.data()), std::streamsize(image.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

} // namespace jet4
