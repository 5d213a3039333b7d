#include "saved_list/SavedListFile.h"

#include <gtest/gtest.h>

using saved_list::parse;

TEST(SavedListFile, LinesAreQuotedEntriesEndingInCrLf) {
    EXPECT_EQ(saved_list::line("/home/ann/a.txt"), QByteArray("\"/home/ann/a.txt\"\r\n"));
    EXPECT_EQ(saved_list::lines({"a", "b"}), QByteArray("\"a\"\r\n\"b\"\r\n"));
}

TEST(SavedListFile, QuotedFieldsKeepCommasAndBlanks) {
    EXPECT_EQ(parse("\"/tmp/a, b.txt\"\r\n\"  spaced  \"\r\n"),
              (std::vector<QByteArray>{"/tmp/a, b.txt", "  spaced  "}));
}

TEST(SavedListFile, HandEditedFieldsSplitAtCommasAndLineEnds) {
    EXPECT_EQ(parse("   plain entry  \r\nx,y\n\"q\" junk,z\r\n"),
              (std::vector<QByteArray>{"plain entry", "x", "y", "q", "z"}));
}

TEST(SavedListFile, BlankLinesAndAMissingClosingQuote) {
    EXPECT_EQ(parse("\r\n\n  \r\n\"a\"\r\n\"unterminated"), (std::vector<QByteArray>{"a", "unterminated"}));
    EXPECT_TRUE(parse({}).empty());
}

TEST(SavedListFile, EveryStorableEntryRoundTrips) {
    const std::vector<QByteArray> entries = {"C:\\A.TXT", "/x/caf\xe9\xff.txt", " lead", "tab\there", "",
                                             "a,b,c"};
    for (const QByteArray &entry : entries)
        ASSERT_TRUE(saved_list::isStorable(entry));
    EXPECT_EQ(parse(saved_list::lines(entries)), entries);
}

TEST(SavedListFile, QuotesAndLineBreaksCannotBeStored) {
    EXPECT_FALSE(saved_list::isStorable("/tmp/say \"hi\""));
    EXPECT_FALSE(saved_list::isStorable("/tmp/two\nlines"));
    EXPECT_FALSE(saved_list::isStorable("/tmp/cr\r"));
}
