// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

namespace base {

// The length of the valid UTF-8 sequence at data[i] (1 to 4), with its code point, or 0 when the
// byte there does not start one: overlong forms, surrogates and code points past U+10FFFF are not
// valid, nor is a sequence cut short by the end.
int utf8SequenceAt(const unsigned char *data, std::size_t size, std::size_t i, char32_t &codePoint);

} // namespace base
