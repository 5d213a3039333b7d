// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Utf8.h"

namespace base {

int utf8SequenceAt(const unsigned char *data, std::size_t size, std::size_t i, char32_t &codePoint) {
    const unsigned char lead = data[i];
    int length;
    char32_t minimum;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + std::size_t(length) > size)
        return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char next = data[i + std::size_t(k)];
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

} // namespace base
