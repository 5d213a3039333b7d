#include "platform/PathCodec.h"

#include "base/Utf8.h"

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
