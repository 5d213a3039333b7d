// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/plugin/NameMatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <string>

using search_component::plugin::NameMatcher;

namespace {

bool matches(std::string_view pattern, std::string_view name) {
    return NameMatcher(pattern).matches(name);
}

// Reference: plain recursion over the folded characters (exponential, fine for short strings).
bool reference(const std::vector<std::uint32_t> &p, std::size_t i, const std::vector<std::uint32_t> &s,
               std::size_t j) {
    if (i == p.size())
        return j == s.size();
    if (p[i] == '*')
        return reference(p, i + 1, s, j) || (j < s.size() && reference(p, i, s, j + 1));
    return j < s.size() && (p[i] == '?' || p[i] == s[j]) && reference(p, i + 1, s, j + 1);
}

bool referenceMatch(const std::string &pattern, const std::string &name) {
    std::vector<std::uint32_t> p, s;
    search_component::plugin::foldedCharacters(pattern, p);
    search_component::plugin::foldedCharacters(name, s);
    p.erase(std::unique(p.begin(), p.end(), [](auto a, auto b) { return a == '*' && b == '*'; }), p.end());
    if (reference(p, 0, s, 0))
        return true;
    const bool dotStar = p.size() >= 2 && p[p.size() - 1] == '*' && p[p.size() - 2] == '.';
    return dotStar && reference(std::vector<std::uint32_t>(p.begin(), p.end() - 2), 0, s, 0);
}

} // namespace

TEST(NameMatcher, ComparesAsciiCaseInsensitively) {
    EXPECT_TRUE(matches("*.txt", "Notes.TXT"));
    EXPECT_TRUE(matches("*.TXT", "notes.txt"));
    EXPECT_TRUE(matches("lumsift.ocx", "Lumsift.OCX"));
    EXPECT_TRUE(matches("REP*", "report.pdf"));
    EXPECT_FALSE(matches("*.txt", "notes.txt.bak"));
    EXPECT_FALSE(matches("*.txt", "txt"));
    EXPECT_FALSE(matches("rep*", "prep"));
    EXPECT_FALSE(matches("lumsift.ocx", "lumsift.ocx2"));
    EXPECT_FALSE(matches("lumsift.ocx", "lumsift.oc"));
}

TEST(NameMatcher, WildcardsTakeRunsAndSingleCharacters) {
    EXPECT_TRUE(matches("a*b*c", "aXXbYYc"));
    EXPECT_TRUE(matches("a*b*c", "abc"));
    EXPECT_FALSE(matches("a*b*c", "acb"));
    EXPECT_TRUE(matches("?.c", "x.c"));
    EXPECT_FALSE(matches("?.c", ".c"));
    EXPECT_FALSE(matches("?.c", "xy.c"));
    EXPECT_TRUE(matches("*a*", "banana"));
    EXPECT_TRUE(matches("**x**", "x"));
    EXPECT_TRUE(matches("*?", "a"));
    EXPECT_FALSE(matches("*?", ""));
}

TEST(NameMatcher, StarDotStarMatchesEveryNameAndDotStarMayBeEmpty) {
    EXPECT_EQ(NameMatcher("*.*").shape(), NameMatcher::Shape::All);
    EXPECT_TRUE(matches("*.*", "Makefile"));
    EXPECT_TRUE(matches("*.*", "a.b.c"));
    EXPECT_TRUE(matches("*", ".hidden"));
    EXPECT_TRUE(matches("readme.*", "README"));
    EXPECT_TRUE(matches("readme.*", "readme.md"));
    EXPECT_FALSE(matches("readme.*", "readme2"));
    EXPECT_FALSE(matches("readme.*", "readm"));
}

TEST(NameMatcher, FoldsNonAsciiLettersAndCountsCodePoints) {
    EXPECT_TRUE(matches("café.txt", "CAFÉ.TXT"));
    EXPECT_TRUE(matches("*ÄRGER*", "großer ärger"));
    EXPECT_TRUE(matches("ΣΟΦΊΑ", "σοφία"));
    EXPECT_TRUE(matches("?.txt", "é.txt")); // two bytes, one character
    EXPECT_TRUE(matches("?.txt", "😀.txt")); // four bytes, one character
    EXPECT_FALSE(matches("??.txt", "é.txt"));
    EXPECT_TRUE(matches("*.k", "file.\u212A")); // KELVIN SIGN folds to k
    EXPECT_TRUE(matches("k*", "\u212Aelvin"));
    EXPECT_TRUE(matches("ok", "o\u212A"));
    EXPECT_TRUE(matches("*.tak", "x.ta\u212A")); // the last four bytes are not the last four characters
    EXPECT_TRUE(matches("k.t*", "\u212A.txt"));
    EXPECT_TRUE(matches("\u212A", "k"));
    EXPECT_FALSE(matches("*.txt", "file.txé"));
}

TEST(NameMatcher, TreatsInvalidUtf8BytesAsOneCharacterEach) {
    EXPECT_TRUE(matches("?.txt", "\xff.txt"));
    EXPECT_TRUE(matches("??.txt", "\xc3\x28.txt")); // a broken sequence: two characters
    EXPECT_TRUE(matches("?", "\xed\xa0\x80") ==
                false); // an encoded surrogate is three bytes, three characters
    EXPECT_TRUE(matches("???", "\xed\xa0\x80"));
    EXPECT_TRUE(matches("a\xff*", "A\xff"
                                  "bc"));
    EXPECT_FALSE(matches("a\xfe*", "a\xff"
                                   "bc"));
    EXPECT_TRUE(matches("*", "\x80\x80"));
}

TEST(NameMatcher, HostilePatternsEndWithAClearResult) {
    EXPECT_TRUE(NameMatcher("").matchesNothing());
    EXPECT_TRUE(NameMatcher("a/b").matchesNothing());
    EXPECT_TRUE(NameMatcher("*/").matchesNothing());
    EXPECT_TRUE(NameMatcher(std::string("a\0b", 3)).matchesNothing());
    EXPECT_FALSE(matches("", ""));

    EXPECT_TRUE(matches("   ", "   "));
    EXPECT_FALSE(matches("   ", "  "));
    EXPECT_FALSE(matches("   ", "a b"));

    const std::string longName(255, 'a');
    EXPECT_FALSE(matches(std::string(10000, 'a'), longName));
    EXPECT_TRUE(matches(std::string(10000, '*'), longName));
    std::string starred;
    for (int i = 0; i < 5000; ++i)
        starred += "*a";
    EXPECT_FALSE(matches(starred, longName)); // would take very long with backtracking per star
    std::string question(10000, '?');
    EXPECT_FALSE(matches(question, longName));
    std::string nearlyAll;
    for (int i = 0; i < 120; ++i)
        nearlyAll += "*a";
    EXPECT_FALSE(matches(nearlyAll + "*b", longName));
    EXPECT_TRUE(matches(nearlyAll + "*", longName));
}

TEST(NameMatcher, PicksTheFastShapes) {
    EXPECT_EQ(NameMatcher("*").shape(), NameMatcher::Shape::All);
    EXPECT_EQ(NameMatcher("*.jpg").shape(), NameMatcher::Shape::Suffix);
    EXPECT_EQ(NameMatcher("IMG*").shape(), NameMatcher::Shape::Prefix);
    EXPECT_EQ(NameMatcher("Lumsift.ocx").shape(), NameMatcher::Shape::Literal);
    EXPECT_EQ(NameMatcher("*a*").shape(), NameMatcher::Shape::General);
    EXPECT_EQ(NameMatcher("*.?pg").shape(), NameMatcher::Shape::General);
    EXPECT_EQ(NameMatcher("*.é").shape(), NameMatcher::Shape::General);
}

// The fast shapes must agree with the general matcher, and both with a plain recursive reference, on
// names that mix case, multi-byte letters, letters folding to ASCII and invalid bytes.
TEST(NameMatcher, FastShapesAndGeneralMatcherAgreeWithReference) {
    const std::vector<std::string> pieces = {"a", "A",      "b", ".",    "t",    "T", "é",
                                             "É", "\u212A", "k", "\xff", "\xc3", " "};
    const std::vector<std::string> patternPieces = {"*", "?", "a", "B", ".", "t", "é", "k", "K", "\xff", " "};
    std::mt19937 random(12345);
    const auto build = [&](const std::vector<std::string> &from, std::size_t length) {
        std::string s;
        for (std::size_t i = 0; i < length; ++i)
            s += from[random() % from.size()];
        return s;
    };
    // Each pattern is tried on random names and on the names it was cut from.
    std::vector<std::pair<std::string, std::vector<std::string>>> cases;
    for (const char *pattern : {"*", "*.*", "*.t", "a*", "ab", "*k", "k*", "*.T*", "a.*", "?.*"})
        cases.push_back({pattern, {}});
    for (int i = 0; i < 400; ++i)
        cases.push_back({build(patternPieces, 1 + random() % 5), {}});
    // Cut from names with their case changed (KELVIN SIGN to K): matches are frequent and the fast
    // shapes meet multi-byte characters inside and at the edge of the bytes they compare.
    const auto upper = [](std::string s) {
        for (std::size_t at; (at = s.find("\u212A")) != std::string::npos;)
            s.replace(at, 3, "K");
        for (char &c : s)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        return s;
    };
    for (int i = 0; i < 3000; ++i) {
        const std::string name = build(pieces, 1 + random() % 7);
        const std::size_t cut = random() % (name.size() + 1);
        cases.push_back({"*" + upper(name.substr(cut)), {name}});
        cases.push_back({upper(name.substr(0, cut)) + "*", {name}});
        cases.push_back({upper(name), {name}});
    }
    int checked = 0;
    for (auto &[pattern, names] : cases) {
        const NameMatcher fast(pattern);
        const NameMatcher general(pattern, true);
        for (int k = 0; k < 40; ++k)
            names.push_back(build(pieces, random() % 7));
        for (const std::string &name : names) {
            const bool expected = referenceMatch(pattern, name);
            ASSERT_EQ(fast.matches(name), expected) << "pattern '" << pattern << "' name '" << name << "'";
            ASSERT_EQ(general.matches(name), expected) << "pattern '" << pattern << "' name '" << name << "'";
            checked += expected;
        }
    }
    EXPECT_GT(checked, 2000); // enough of the cases really match
}
