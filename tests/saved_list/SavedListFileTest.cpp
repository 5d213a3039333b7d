// SPDX-License-Identifier: GPL-3.0-or-later
#include "saved_list/SavedListFile.h"

#include "TempFolder.h"
#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // An unclosed quote ends with its line: the next line is an entry of its own.
    EXPECT_EQ(parse("\"/e/unterminated\r\n\"/f/next\"\r\n"),
              (std::vector<QByteArray>{"/e/unterminated", "/f/next"}));
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

namespace {

bool isEntry(QByteArrayView wanted, QByteArrayView entry) {
    return entry == wanted;
}

} // namespace

TEST(SavedListFile, RemovingKeepsEveryOtherLineByteForByte) {
    const QByteArray edited =
        "\"/a/one\"\r\n/g/quote\"inside\r\n\"/e/unterminated\r\n\r\n  \"/f/next\"  junk\n"
        "\"/a/one\"\r\"/last\"";
    const saved_list::Removal removal =
        saved_list::removeEntries(edited, [](QByteArrayView e) { return isEntry("/a/one", e); });
    EXPECT_EQ(removal.removed, 2);
    EXPECT_EQ(removal.kept, "/g/quote\"inside\r\n\"/e/unterminated\r\n\r\n  \"/f/next\"  junk\n\"/last\"");
    // Nothing picked: the content comes back as it was.
    const saved_list::Removal none =
        saved_list::removeEntries(edited, [](QByteArrayView e) { return isEntry("/nowhere", e); });
    EXPECT_EQ(none.removed, 0);
    EXPECT_EQ(none.kept, edited);
}

TEST(SavedListFile, ALineOfSeveralFieldsLosesOnlyThePickedOnes) {
    const auto without = [](QByteArrayView content, QByteArrayView entry) {
        return saved_list::removeEntries(content, [&](QByteArrayView e) { return e == entry; }).kept;
    };
    EXPECT_EQ(without("x, \"y\" ,z\r\nnext\r\n", "y"), "x,z\r\nnext\r\n");
    EXPECT_EQ(without("x,y\r\n", "x"), "y\r\n");
    EXPECT_EQ(without("x,y\r\n", "y"), "x\r\n");
    EXPECT_EQ(parse(without("\"a, b\",c\n", "c")), (std::vector<QByteArray>{"a, b"}));
}

TEST(SavedListFile, StreamedEntriesEqualTheParsedOnesAcrossChunkBoundaries) {
    // Lines of every length around the 1 MiB chunk, with CR LF, CR and LF ends, so that line ends and
    // CR LF pairs fall on the boundaries.
    QByteArray content;
    const char *ends[] = {"\r\n", "\n", "\r"};
    for (int i = 0; content.size() < (3 << 20); ++i)
        content += '"' + QByteArray(100 + (i * 7919) % 50000, char('a' + i % 26)) + '"' + ends[i % 3];
    content += "last, \"one\""; // no line end
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write(content);
    file.flush();
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY);
    std::vector<QByteArray> streamed;
    ASSERT_TRUE(saved_list::readEntries(fd, [&](QByteArrayView e) { streamed.push_back(e.toByteArray()); }));
    ::close(fd);
    EXPECT_EQ(streamed, parse(content));
    EXPECT_EQ(streamed.back(), "one");
}

TEST(SavedListFile, AppendsOfAnotherProcessSurviveDeletes) {
    TempFolder dir;
    const QByteArray save = QFile::encodeName(dir.filePath("save.txt"));
    const QByteArray temp = QFile::encodeName(dir.filePath("Temp.txt"));
    constexpr int appends = 3000;
    const pid_t writer = ::fork();
    if (writer == 0) {
        for (int i = 0; i < appends; ++i)
            static_cast<void>(saved_list::append(save, "keep-" + QByteArray::number(i)));
        ::_exit(0);
    }
    // Meanwhile this process saves and deletes again and again, rewriting the file each time.
    int deletes = 0;
    for (bool writing = true; writing || deletes < 20; ++deletes) {
        int status = 0;
        writing = writing && ::waitpid(writer, &status, WNOHANG) == 0;
        ASSERT_TRUE(saved_list::append(save, "drop"));
        const saved_list::DeleteOutcome outcome =
            saved_list::deleteEntries(save, temp, [](QByteArrayView e) { return e == "drop"; });
        ASSERT_TRUE(outcome.failure.isEmpty()) << outcome.failure.toStdString();
    }
    const platform::Result<QByteArray> content = platform::readWholeFile(save);
    ASSERT_TRUE(content);
    std::vector<QByteArray> expected;
    for (int i = 0; i < appends; ++i)
        expected.push_back("keep-" + QByteArray::number(i));
    EXPECT_EQ(parse(*content), expected) << deletes << " deletes";
}

TEST(SavedListFile, AFailedRewriteSaysWhatFailedAndKeepsSaveTxt) {
    TempFolder dir;
    const QByteArray save = QFile::encodeName(dir.filePath("save.txt"));
    const QByteArray temp = QFile::encodeName(dir.filePath("Temp.txt"));
    ASSERT_TRUE(saved_list::append(save, "/a"));
    ASSERT_TRUE(QDir().mkdir(dir.filePath("Temp.txt")));
    const saved_list::DeleteOutcome outcome =
        saved_list::deleteEntries(save, temp, [](QByteArrayView e) { return e == "/a"; });
    EXPECT_EQ(outcome.removed, 0);
    EXPECT_TRUE(outcome.failure.startsWith(QStringLiteral("Temp.txt could not be written")))
        << outcome.failure.toStdString();
    const platform::Result<QByteArray> content = platform::readWholeFile(save);
    ASSERT_TRUE(content);
    EXPECT_EQ(*content, "\"/a\"\r\n");
    // No save.txt yet: nothing to remove, and Temp.txt is written empty as every Delete writes it.
    ASSERT_TRUE(QDir().rmdir(dir.filePath("Temp.txt")));
    ASSERT_TRUE(QFile::remove(dir.filePath("save.txt")));
    const saved_list::DeleteOutcome nothing =
        saved_list::deleteEntries(save, temp, [](QByteArrayView) { return true; });
    EXPECT_TRUE(nothing.failure.isEmpty());
    EXPECT_EQ(nothing.removed, 0);
    EXPECT_TRUE(platform::isRegularFile(temp));
    EXPECT_FALSE(platform::isRegularFile(save));
}
