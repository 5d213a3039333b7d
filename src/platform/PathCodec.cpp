// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PathCodec.h"

#include "base/Utf8.h"

#include <algorithm>
#include <utility>

namespace platform {

namespace {

constexpr char16_t escapeBase = 0xDC00;

void appendUtf8(QByteArray &out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

bool isContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The code points of a name's decoded text in lower case, one at a time.
class LowerCaseCodePoints {
public:
    explicit LowerCaseCodePoints(QByteArrayView bytes)
        : data_(reinterpret_cast<const unsigned char *>(bytes.data()))
        , size_(std::size_t(bytes.size())) {}

    // The next code point; U+FFFFFFFF after the last.
    char32_t next() {
        if (pending_) {
            return std::exchange(pending_, 0);
        }
        if (at_ >= size_)
            return end;
        const unsigned char byte = data_[at_];
        if (byte < 0x80) {
            ++at_;
            return byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte;
        }
        char32_t cp = 0;
        const int length = base::utf8SequenceAt(data_, size_, at_, cp);
        if (length == 0)
            return char32_t(escapeBase + data_[at_++]);
        at_ += std::size_t(length);
        if (cp == 0x130) {
            pending_ = 0x307; // the one character whose lower case is two: i and a combining dot
            return U'i';
        }
        return QChar::toLower(cp);
    }

    static constexpr char32_t end = 0xFFFFFFFF;

private:
    const unsigned char *data_;
    std::size_t size_;
    std::size_t at_ = 0;
    char32_t pending_ = 0;
};

} // namespace

QString decodePath(QByteArrayView bytes) {
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype size = bytes.size();
    QString out;
    out.reserve(size);
    for (qsizetype i = 0; i < size;) {
        char32_t cp = 0;
        const int length = base::utf8SequenceAt(data, std::size_t(size), std::size_t(i), cp);
        if (length == 0) {
            out += QChar(char16_t(escapeBase + data[i]));
            ++i;
            continue;
        }
        if (cp < 0x10000) {
            out += QChar(char16_t(cp));
        } else {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        }
        i += length;
    }
    return out;
}

QByteArray encodePath(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            appendUtf8(out, QChar::surrogateToUcs4(unit, text[i + 1].unicode()));
            ++i;
        } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
            out += char(unit - escapeBase);
        } else if (QChar::isSurrogate(unit)) {
            out += '?'; // a lone surrogate that no decoded name can hold
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

} // namespace platform

namespace platform {

TextStart decodePathStart(QByteArrayView bytes, qsizetype maxUnits) {
    // No character takes more than three bytes a unit; a cut goes before a character's first byte.
    qsizetype end = std::min(bytes.size(), 3 * maxUnits);
    for (int back = 0; back < 3 && end > 0 && end < bytes.size() && isContinuationByte(bytes[end]); ++back)
        --end;
    TextStart start{decodePath(bytes.first(end)), end == bytes.size()};
    if (start.text.size() > maxUnits) {
        const bool splitsPair = maxUnits > 0 && start.text[maxUnits - 1].isHighSurrogate();
        start.text.truncate(splitsPair ? maxUnits - 1 : maxUnits);
        start.whole = false;
    }
    return start;
}

bool sameTextIgnoringCase(QByteArrayView a, QByteArrayView b) {
    LowerCaseCodePoints left(a);
    LowerCaseCodePoints right(b);
    for (;;) {
        const char32_t next = left.next();
        if (next != right.next())
            return false;
        if (next == LowerCaseCodePoints::end)
            return true;
    }
}

} // namespace platform
