// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of the bottom bar's lines, built from what the platform reports.
#include "Fakes.h"
#include "system_info/SystemInformation.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint64_t MB = 1024 * 1024;
const QLocale english(QLocale::English, QLocale::UnitedStates);
const QLocale german(QLocale::German, QLocale::Germany);

QString memoryLine(double availableMB, double totalMB, const QLocale &locale = english) {
    return system_info::memoryLine(std::uint64_t(availableMB * MB), std::uint64_t(totalMB * MB), locale)
        .value();
}

TEST(MemoryLine, ShowsAvailableOfTotalAndTheShareInUse) {
    EXPECT_EQ(memoryLine(256, 512), QStringLiteral("RAM: 256 MB of 512 MB   [50.00% in used]"));
    EXPECT_EQ(memoryLine(0, 512), QStringLiteral("RAM: 000 MB of 512 MB   [100.00% in used]"));
    EXPECT_EQ(memoryLine(512, 512), QStringLiteral("RAM: 512 MB of 512 MB   [0.00% in used]"));
}

TEST(MemoryLine, WritesFiguresBelowAHundredWithLeadingZeros) {
    EXPECT_EQ(memoryLine(64, 512), QStringLiteral("RAM: 064 MB of 512 MB   [87.50% in used]"));
    EXPECT_EQ(memoryLine(7, 96), QStringLiteral("RAM: 007 MB of 096 MB   [92.71% in used]"));
}

TEST(MemoryLine, RoundsMegabytesToTheNearestWholeNumber) {
    EXPECT_EQ(memoryLine(63.5, 512).mid(5, 3), QStringLiteral("064"));
    EXPECT_EQ(memoryLine(63.49, 512).mid(5, 3), QStringLiteral("063"));
    // The share is computed on the bytes, not on the rounded figures.
    EXPECT_EQ(memoryLine(0.4, 0.8), QStringLiteral("RAM: 000 MB of 001 MB   [50.00% in used]"));
}

TEST(MemoryLine, GroupsThousandsAndWritesDecimalsTheLocalesWay) {
    EXPECT_EQ(memoryLine(1234, 12034, english),
              QStringLiteral("RAM: 1,234 MB of 12,034 MB   [89.75% in used]"));
    EXPECT_EQ(memoryLine(1234, 12034, german),
              QStringLiteral("RAM: 1.234 MB of 12.034 MB   [89,75% in used]"));
    EXPECT_EQ(system_info::wholeNumberText(1234567, english), QStringLiteral("1,234,567"));
    EXPECT_EQ(system_info::wholeNumberText(100000, german), QStringLiteral("100.000"));
}

TEST(MemoryLine, ReportsMemoryBeyondFourGigabytes) {
    EXPECT_EQ(memoryLine(16384, 65536), QStringLiteral("RAM: 16,384 MB of 65,536 MB   [75.00% in used]"));
}

TEST(MemoryLine, IsNotBuiltWithoutATotal) {
    EXPECT_FALSE(system_info::memoryLine(256 * MB, 0, english).has_value());
}

TEST(UserLine, NamesTheLoginUserAsGivenOrSaysNoneIsLoggedIn) {
    EXPECT_EQ(system_info::userLine(QStringLiteral("JDoe")), QStringLiteral("Your Domain:  JDoe"));
    EXPECT_EQ(system_info::userLine(std::nullopt), QStringLiteral("You are not logged in"));
}

} // namespace
