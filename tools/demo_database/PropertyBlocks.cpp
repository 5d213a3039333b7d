// SPDX-License-Identifier: GPL-3.0-or-later
#include "Jet4Writer.h"

namespace jet4 {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t nameList = 0x80;
constexpr uint16_t tableValues = 0x00;
constexpr uint16_t columnValues = 0x01;

void append16(Bytes &b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void append32(Bytes &b, uint32_t v) {
    for (int k = 0; k < 4; ++k)
        b.push_back(uint8_t(v >> (8 * k)));
}

void put32(Bytes &b, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k)
        b[at + k] = uint8_t(v >> (8 * k));
}

struct PropertyValue {
    std::string name;
    Type type;
    Bytes data;
};

class Writer {
public:
    explicit Writer(bool jet3)
        : jet3_(jet3) {}

    Bytes text(const std::string &utf8) const { return jet3_ ? latin1(utf8) : utf16le(utf8); }

    // A uint16 byte length, then the text.
    void appendName(Bytes &b, const std::string &name) const {
        const Bytes t = text(name);
        append16(b, uint32_t(t.size()));
        b.insert(b.end(), t.begin(), t.end());
    }

    uint16_t indexOf(const std::string &name) {
        for (size_t i = 0; i < names_.size(); ++i)
            if (names_[i] == name)
                return uint16_t(i);
        names_.push_back(name);
        return uint16_t(names_.size() - 1);
    }

    // The values of one set: the name part (its length, then the set's name), then each value.
    Bytes valueBlock(const std::string &setName, const std::vector<PropertyValue> &values) {
        Bytes b;
        append32(b, 0);
        appendName(b, setName);
        put32(b, 0, uint32_t(b.size()));
        for (const PropertyValue &v : values) {
            const size_t start = b.size();
            append16(b, 0);
            b.push_back(0); // flags
            b.push_back(uint8_t(v.type));
            append16(b, indexOf(v.name));
            append16(b, uint32_t(v.data.size()));
            b.insert(b.end(), v.data.begin(), v.data.end());
            b[start] = uint8_t(b.size() - start);
            b[start + 1] = uint8_t((b.size() - start) >> 8);
        }
        return b;
    }

    Bytes nameBlock() const {
        Bytes b;
        for (const std::string &n : names_)
            appendName(b, n);
        return b;
    }

private:
    bool jet3_;
    std::vector<std::string> names_;
};

void appendBlock(Bytes &out, uint16_t kind, const Bytes &content) {
    append32(out, uint32_t(content.size() + 6));
    append16(out, kind);
    out.insert(out.end(), content.begin(), content.end());
}

std::vector<PropertyValue> columnProperties(const Column &c, const Writer &w) {
    std::vector<PropertyValue> values;
    if (c.required)
        values.push_back({"Required", Type::Boolean, {1}});
    if (c.calculated) {
        values.push_back({"Expression", Type::Memo, w.text(c.expression)});
        values.push_back({"ResultType", Type::Byte, {uint8_t(c.type)}});
    }
    return values;
}

} // namespace

std::vector<uint8_t> propertyBlocks(const Object &table, uint8_t version) {
    const bool jet3 = version == 0;
    Writer w(jet3);
    std::vector<Bytes> columnBlocks;
    for (const Column &c : table.columns) {
        const std::vector<PropertyValue> values = columnProperties(c, w);
        if (!values.empty())
            columnBlocks.push_back(w.valueBlock(c.name, values));
    }
    if (columnBlocks.empty())
        return {};
    const Bytes tableBlock = w.valueBlock("", {});
    Bytes out = jet3 ? Bytes{'K', 'K', 'D', 0} : Bytes{'M', 'R', '2', 0};
    appendBlock(out, nameList, w.nameBlock());
    appendBlock(out, tableValues, tableBlock);
    for (const Bytes &b : columnBlocks)
        appendBlock(out, columnValues, b);
    return out;
}

} // namespace jet4
