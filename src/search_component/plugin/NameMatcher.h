// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace search_component::plugin {

// Matches file names (raw bytes) against a wildcard pattern (raw bytes, as the path codec encodes it):
// `*` is any run of characters, `?` exactly one character, everything else compares case-insensitively.
// A character is a code point of valid UTF-8 or, for bytes that are not, one byte; non-ASCII letters
// compare by their simple Unicode case folding. A trailing `.*` may also match nothing, as users of
// file finders expect: `*.*` matches every name and `readme.*` matches `readme`.
class NameMatcher {
public:
    enum class Shape { Nothing, All, Literal, Suffix, Prefix, General };

    explicit NameMatcher(std::string_view pattern, bool generalOnly = false);

    bool matches(std::string_view name) const {
        switch (shape_) {
        case Shape::Nothing:
            return false;
        case Shape::All:
            return true;
        case Shape::Suffix:
            return matchesSuffix(name);
        case Shape::Prefix:
            return matchesPrefix(name);
        case Shape::Literal:
            return matchesLiteral(name);
        case Shape::General:
            break;
        }
        return matchesGeneral(name);
    }

    Shape shape() const { return shape_; }
    // True when no name can match (an empty pattern, or one holding "/" or NUL): no walk is needed.
    bool matchesNothing() const { return shape_ == Shape::Nothing; }

private:
    // Pattern tokens are case-folded characters; invalid bytes and the two wildcards sit outside the
    // code point range so that they never equal a character of a name.
    using Token = std::uint32_t;

    bool matchesSuffix(std::string_view name) const;
    bool matchesPrefix(std::string_view name) const;
    bool matchesLiteral(std::string_view name) const;
    bool matchesGeneral(std::string_view name) const;
    void chooseShape(bool generalOnly);

    Shape shape_ = Shape::General;
    std::vector<Token> tokens_;
    // tokens_ without the trailing ".*", when the pattern has one (else empty and unused).
    std::vector<Token> withoutDotStar_;
    bool hasDotStar_ = false;
    // Characters any name matching tokens_ must have (withoutDotStar_ needs one less).
    std::size_t minimumCharacters_ = 0;
    // The ASCII literal of the fast shapes, lower-case.
    std::string literal_;
};

// The case-folded characters of a name: code points of valid UTF-8, invalid bytes as values above
// U+10FFFF. Exposed for tests.
void foldedCharacters(std::string_view bytes, std::vector<std::uint32_t> &out);

} // namespace search_component::plugin
