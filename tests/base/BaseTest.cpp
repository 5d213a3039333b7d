// SPDX-License-Identifier: GPL-3.0-or-later
// The bottom floor: steps, exact transfers, UTF-8 sequences, folder chains and results.
#include "base/Descriptor.h"
#include "base/FolderChain.h"
#include "base/Result.h"
#include "base/Step.h"
#include "base/Utf8.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using base::check;
using base::step;

TEST(Step, AFailingStepIsSkippedAndTheNextRuns) {
    std::vector<int> ran;
    step([&] {
        ran.push_back(1);
        check(false);
        ran.push_back(99);
    });
    step([&] { throw std::runtime_error("an operation failed"); });
    step([&] { ran.push_back(2); });
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST(Step, AFaultOfTheProgramIsReported) {
    // A logic error is skipped like any failure, but it does not go unnoticed: the tests' handler
    // turns it into a failure of the running test.
    EXPECT_NONFATAL_FAILURE(step([] { throw std::out_of_range("index 7 of 3"); }), "index 7 of 3");
    EXPECT_NONFATAL_FAILURE(step([] { throw 42; }), "unknown type");
}

TEST(Transfer, MovesExactCountsAndTellsAnEndFromATimeOut) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    base::Descriptor a(pair[0]), b(pair[1]);
    const QByteArray sent(100000, 'x'); // more than one socket buffer holds at once
    if (::fork() == 0) {
        base::writeAll(a.get(), sent.constData(), size_t(sent.size()));
        ::_exit(0);
    }
    QByteArray got(sent.size(), '\0');
    EXPECT_EQ(base::readExactly(b.get(), got.data(), size_t(got.size()), QDeadlineTimer(5000)),
              base::Transfer::Done);
    EXPECT_EQ(got, sent);
    ::wait(nullptr);
    char byte;
    EXPECT_EQ(base::readExactly(b.get(), &byte, 1, QDeadlineTimer(50)), base::Transfer::TimedOut);
    a.reset();
    EXPECT_EQ(base::readExactly(b.get(), &byte, 1, QDeadlineTimer(1000)), base::Transfer::Ended);
    // Writing to a socket whose other end is gone ends the transfer; no SIGPIPE ends the process.
    EXPECT_EQ(base::writeAll(b.get(), "x", 1), base::Transfer::Ended);
}

TEST(Utf8, ValidSequencesAndEverythingThatIsNot) {
    const auto length = [](const QByteArray &bytes, char32_t &cp) {
        return base::utf8SequenceAt(reinterpret_cast<const unsigned char *>(bytes.constData()),
                                    size_t(bytes.size()), 0, cp);
    };
    char32_t cp = 0;
    EXPECT_EQ(length("a", cp), 1);
    EXPECT_EQ(cp, U'a');
    EXPECT_EQ(length("\xc3\xa9", cp), 2);
    EXPECT_EQ(cp, U'\u00e9');
    EXPECT_EQ(length("\xe2\x82\xac", cp), 3);
    EXPECT_EQ(cp, U'\u20ac');
    EXPECT_EQ(length("\xf0\x9f\x98\x80", cp), 4);
    EXPECT_EQ(cp, U'\U0001F600');
    for (const QByteArray &invalid :
         {QByteArray("\xe9"), QByteArray("\xc0\xaf"), QByteArray("\xed\xa0\x80"),
          QByteArray("\xf4\x90\x80\x80"), QByteArray("\xe2\x82"), QByteArray("\x80")})
        EXPECT_EQ(length(invalid, cp), 0) << invalid.toHex().constData();
}

TEST(FolderChain, JoinsNamesOnceWithoutDoublingTheRoot) {
    // Folders by index: 0 "/", 1 "home" in 0, 2 "ann" in 1; 3 "rel" alone.
    const std::vector<std::pair<int, std::string>> folders = {
        {-1, "/"}, {0, "home"}, {1, "ann"}, {-1, "rel"}};
    std::vector<int> chain;
    const auto path = [&](int folder) {
        std::string out;
        base::appendFolderChain(
            out, folder, -1, [&](int f) { return folders[size_t(f)].first; },
            [&](std::string &o, int f) { o += folders[size_t(f)].second; }, chain);
        return out;
    };
    EXPECT_EQ(path(2), "/home/ann");
    EXPECT_EQ(path(0), "/");
    EXPECT_EQ(path(3), "rel");
    EXPECT_EQ(path(-1), "");
}

TEST(Result, HoldsTheValueOrTheSystemsReasonAsItsText) {
    base::Result<QByteArray> read = QByteArray("bytes");
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, "bytes");
    EXPECT_EQ(read.value_or("other"), "bytes");
    errno = EACCES;
    const base::Result<QByteArray> refused = base::SystemError::fromErrno();
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code(), EACCES);
    EXPECT_EQ(refused.error().text(), QString::fromLocal8Bit(std::strerror(EACCES))); // "Permission denied"
    EXPECT_EQ(refused.value_or("other"), "other");
    const base::Result<void> done;
    const base::Result<void> failed = base::SystemError(ENOENT);
    EXPECT_TRUE(done);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(), base::SystemError(ENOENT));
}
