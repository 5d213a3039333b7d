// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/plugin/NameMatcher.h"

#include "base/Utf8.h"

#include <QChar>

#include <algorithm>

namespace search_component::plugin {

namespace {

constexpr std::uint32_t invalidByteBase = 0x110000;
constexpr std::uint32_t starToken = 0x200000;
constexpr std::uint32_t anyToken = 0x200001;
// Longer names come only from callers other than the walker (NAME_MAX is 255).
constexpr std::size_t stackUnits = 256;

constexpr unsigned char asciiLower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

std::uint32_t fold(std::uint32_t c) {
    if (c < 0x80)
        return asciiLower(static_cast<unsigned char>(c));
    if (c < invalidByteBase)
        return QChar::toCaseFolded(char32_t(c));
    return c;
}

// Decodes the character at s[i]; sets `length` to the bytes it takes. A byte that does not start a
// valid UTF-8 sequence stands alone, as the path codec has it.
std::uint32_t decodeAt(const unsigned char *s, std::size_t size, std::size_t i, std::size_t &length) {
    char32_t c = 0;
    const int valid = base::utf8SequenceAt(s, size, i, c);
    length = valid > 0 ? std::size_t(valid) : 1;
    return valid > 0 ? std::uint32_t(c) : invalidByteBase + s[i];
}

template <typename Out> std::size_t foldInto(std::string_view bytes, Out *out) {
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.data());
    std::size_t count = 0;
    for (std::size_t i = 0, length = 0; i < bytes.size(); i += length)
        out[count++] = fold(decodeAt(s, bytes.size(), i, length));
    return count;
}

// Star matching with one resumption point: after a mismatch only the latest `*` takes one more
// character. That is enough for `*`/`?` patterns and keeps the work at pattern x name at worst.
bool wildcardMatch(const std::vector<std::uint32_t> &pattern, const std::uint32_t *name, std::size_t size) {
    const std::size_t none = std::size_t(-1);
    std::size_t p = 0, s = 0, resumeP = none, resumeS = 0;
    while (s < size) {
        if (p < pattern.size() && pattern[p] == starToken) {
            resumeP = ++p;
            resumeS = s;
        } else if (p < pattern.size() && (pattern[p] == anyToken || pattern[p] == name[s])) {
            ++p, ++s;
        } else if (resumeP == none) {
            return false;
        } else {
            p = resumeP;
            s = ++resumeS;
        }
    }
    while (p < pattern.size() && pattern[p] == starToken)
        ++p;
    return p == pattern.size();
}

bool allAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

void foldedCharacters(std::string_view bytes, std::vector<std::uint32_t> &out) {
    out.resize(bytes.size());
    out.resize(foldInto(bytes, out.data()));
}

NameMatcher::NameMatcher(std::string_view pattern, bool generalOnly) {
    if (pattern.empty() || pattern.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
        shape_ = Shape::Nothing;
        return;
    }
    std::vector<std::uint32_t> characters;
    foldedCharacters(pattern, characters);
    for (std::uint32_t c : characters) {
        const std::uint32_t token = c == '*' ? starToken : c == '?' ? anyToken : c;
        if (token == starToken && !tokens_.empty() && tokens_.back() == starToken)
            continue;
        tokens_.push_back(token);
    }
    const std::size_t n = tokens_.size();
    minimumCharacters_ = std::size_t(
        std::count_if(tokens_.begin(), tokens_.end(), [](std::uint32_t t) { return t != starToken; }));
    hasDotStar_ = n >= 2 && tokens_[n - 1] == starToken && tokens_[n - 2] == '.';
    if (hasDotStar_)
        withoutDotStar_.assign(tokens_.begin(), tokens_.end() - 2);
    chooseShape(generalOnly);
}

void NameMatcher::chooseShape(bool generalOnly) {
    shape_ = Shape::General;
    if (generalOnly)
        return;
    const auto isStar = [](std::uint32_t t) { return t == starToken; };
    if ((tokens_.size() == 1 && isStar(tokens_[0])) ||
        (hasDotStar_ && withoutDotStar_.size() == 1 && isStar(withoutDotStar_[0]))) {
        shape_ = Shape::All;
        return;
    }
    if (hasDotStar_)
        return;
    const bool leadingStar = isStar(tokens_.front());
    const bool trailingStar = isStar(tokens_.back());
    const auto first = tokens_.begin() + (leadingStar ? 1 : 0);
    const auto last = tokens_.end() - (trailingStar && tokens_.size() > 1 ? 1 : 0);
    if (first >= last || !std::all_of(first, last, [](std::uint32_t t) { return t < 0x80 && t != '?'; }))
        return;
    if (leadingStar && trailingStar)
        return;
    literal_.assign(first, last);
    shape_ = leadingStar ? Shape::Suffix : trailingStar ? Shape::Prefix : Shape::Literal;
}

// The fast shapes compare ASCII bytes and hand a name to the general matcher as soon as they meet a
// non-ASCII byte where the verdict depends on it: a multi-byte character may fold to ASCII.
bool NameMatcher::matchesSuffix(std::string_view name) const {
    const std::size_t n = literal_.size();
    if (name.size() < n)
        return false;
    const char *tail = name.data() + name.size() - n;
    for (std::size_t i = n; i-- > 0;) {
        const auto c = static_cast<unsigned char>(tail[i]);
        if (c >= 0x80)
            return matchesGeneral(name);
        if (asciiLower(c) != static_cast<unsigned char>(literal_[i]))
            return false;
    }
    return true;
}

bool NameMatcher::matchesPrefix(std::string_view name) const {
    const std::size_t n = literal_.size();
    if (name.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c >= 0x80)
            return matchesGeneral(name);
        if (asciiLower(c) != static_cast<unsigned char>(literal_[i]))
            return false;
    }
    return true;
}

bool NameMatcher::matchesLiteral(std::string_view name) const {
    const std::size_t n = literal_.size();
    // A character takes one to four bytes.
    if (name.size() < n || name.size() > 4 * n)
        return false;
    if (name.size() == n)
        return matchesPrefix(name);
    // Longer names match only through multi-byte characters. An ASCII byte at either end is a whole
    // character, which must then be the literal's first or last: that settles almost every name at once.
    const auto first = static_cast<unsigned char>(name.front());
    const auto last = static_cast<unsigned char>(name.back());
    if ((first < 0x80 && asciiLower(first) != static_cast<unsigned char>(literal_.front())) ||
        (last < 0x80 && asciiLower(last) != static_cast<unsigned char>(literal_.back())))
        return false;
    return !allAscii(name) && matchesGeneral(name);
}

bool NameMatcher::matchesGeneral(std::string_view name) const {
    // Cheap refusal first: hostile patterns are long, and a name has no more characters than bytes.
    if (name.size() + (hasDotStar_ ? 1 : 0) < minimumCharacters_)
        return false;
    std::uint32_t onStack[stackUnits];
    std::vector<std::uint32_t> onHeap;
    std::uint32_t *units = onStack;
    if (name.size() > stackUnits) {
        onHeap.resize(name.size());
        units = onHeap.data();
    }
    const std::size_t size = foldInto(name, units);
    return wildcardMatch(tokens_, units, size) ||
           (hasDotStar_ && wildcardMatch(withoutDotStar_, units, size));
}

} // namespace search_component::plugin
