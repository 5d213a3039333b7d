// SPDX-License-Identifier: GPL-3.0-or-later
#include "dbhost/Properties.h"

#include "dbhost/ValueDecoder.h"

#include <cstring>

namespace dbhost {

namespace {

constexpr quint16 nameListBlock = 0x80;
constexpr quint16 tableBlock = 0x00;
constexpr quint16 columnBlock = 0x01;
constexpr size_t markerSize = 4;
constexpr size_t nameLengthSize = 2; // before every name

// A block: its length, its kind, then its content.
namespace Block {
constexpr size_t length = 0;
constexpr size_t kind = 4;
constexpr size_t headerSize = 6;
} // namespace Block

// A property value: its length, a flag, its type, the index of its name, the data's size, the data.
namespace Value {
constexpr size_t type = 3;
constexpr size_t nameIndex = 4;
constexpr size_t dataSize = 6;
constexpr size_t headerSize = 8;
} // namespace Value

// A set's name part: its own length, then the set's name after the name's length.
namespace SetName {
constexpr size_t name = 4;
constexpr size_t headerSize = 6;
} // namespace SetName

struct Damaged {};

// A window on the bytes that refuses to read past its end.
class Bytes {
public:
    Bytes(const unsigned char *data, size_t size)
        : data_(data)
        , size_(size) {}

    size_t size() const { return size_; }
    const unsigned char *at(size_t offset, size_t count) const {
        if (offset > size_ || count > size_ - offset)
            throw Damaged{};
        return data_ + offset;
    }
    quint16 u16(size_t offset) const { return get16(at(offset, 2)); }
    quint32 u32(size_t offset) const { return get32(at(offset, 4)); }
    Bytes part(size_t offset, size_t count) const { return Bytes(at(offset, count), count); }

private:
    const unsigned char *data_;
    size_t size_;
};

class Parser {
public:
    Parser(bool jet3, int codePage)
        : jet3_(jet3)
        , codePage_(codePage) {}

    TableProperties parse(const Bytes &all) {
        static const unsigned char jet4Marker[4] = {'M', 'R', '2', 0};
        static const unsigned char jet3Marker[4] = {'K', 'K', 'D', 0};
        const unsigned char *marker = all.at(0, markerSize);
        if (std::memcmp(marker, jet4Marker, markerSize) != 0 &&
            std::memcmp(marker, jet3Marker, markerSize) != 0)
            throw Damaged{};
        TableProperties out;
        for (size_t at = markerSize; at < all.size();) {
            const size_t length = all.u32(at + Block::length);
            if (length < Block::headerSize)
                throw Damaged{};
            const quint16 kind = all.u16(at + Block::kind);
            const Bytes block = all.part(at + Block::headerSize, length - Block::headerSize);
            if (kind == nameListBlock)
                names_ = readNames(block);
            else if (kind == tableBlock || kind == columnBlock)
                out.sets.push_back(readValues(block));
            // other kinds are no properties of ours: passed over
            at += length;
        }
        return out;
    }

private:
    // A uint16 byte length, then the name.
    QString readName(const Bytes &b, size_t &at) const {
        const size_t length = b.u16(at);
        const unsigned char *text = b.at(at + nameLengthSize, length);
        at += nameLengthSize + length;
        if (jet3_)
            return codePageText(text, length, codePage_);
        QString name(qsizetype(length / 2), Qt::Uninitialized);
        for (size_t i = 0; i + 1 < length; i += 2)
            name[qsizetype(i / 2)] = QChar(char16_t(get16(text + i)));
        return name;
    }

    std::vector<QString> readNames(const Bytes &block) const {
        std::vector<QString> names;
        for (size_t at = 0; at < block.size();)
            names.push_back(readName(block, at));
        return names;
    }

    // The name part (its own length first, then the set's name when it is longer than its header),
    // then the values.
    PropertySet readValues(const Bytes &block) const {
        PropertySet set;
        if (block.size() == 0)
            return set;
        const size_t namePart = block.u32(0);
        if (namePart < SetName::name || namePart > block.size())
            throw Damaged{};
        if (namePart > SetName::headerSize) {
            size_t at = SetName::name;
            set.name = readName(block.part(0, namePart), at);
        }
        for (size_t at = namePart; at < block.size();) {
            const size_t length = block.u16(at);
            if (length < Value::headerSize)
                throw Damaged{};
            const Bytes value = block.part(at, length);
            const size_t index = value.u16(Value::nameIndex);
            const size_t dataSize = value.u16(Value::dataSize);
            if (index >= names_.size())
                throw Damaged{};
            const unsigned char *data = value.at(Value::headerSize, dataSize);
            set.properties.push_back(
                Property{names_[index], *value.at(Value::type, 1),
                         QByteArray(reinterpret_cast<const char *>(data), qsizetype(dataSize))});
            at += length;
        }
        return set;
    }

    bool jet3_;
    int codePage_;
    std::vector<QString> names_;
};

bool isValueType(int code) {
    switch (ColumnType(code)) {
    case ColumnType::Boolean:
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Currency:
    case ColumnType::Single:
    case ColumnType::Double:
    case ColumnType::DateTime:
    case ColumnType::Text:
    case ColumnType::Memo:
    case ColumnType::Guid:
    case ColumnType::Numeric:
    case ColumnType::BigInt:
        return true;
    default:
        return false;
    }
}

} // namespace

const Property *PropertySet::find(const QString &property) const {
    for (const Property &p : properties)
        if (p.name.compare(property, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

const PropertySet *TableProperties::column(const QString &name) const {
    for (const PropertySet &s : sets)
        if (!s.name.isEmpty() && s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

std::optional<ColumnType> TableProperties::resultType(const QString &columnName) const {
    const PropertySet *set = column(columnName);
    const Property *p = set ? set->find(QStringLiteral("ResultType")) : nullptr;
    const bool integer = p && (p->type == int(ColumnType::Byte) || p->type == int(ColumnType::Integer) ||
                               p->type == int(ColumnType::Long));
    if (!integer || p->data.isEmpty())
        return std::nullopt;
    const int code = quint8(p->data[0]);
    return isValueType(code) ? std::optional(ColumnType(code)) : std::nullopt;
}

TableProperties parseProperties(const unsigned char *data, size_t size, bool jet3, int codePage) {
    if (size == 0)
        return {};
    try {
        return Parser(jet3, codePage).parse(Bytes(data, size));
    } catch (const Damaged &) {
        return {};
    }
}

} // namespace dbhost
