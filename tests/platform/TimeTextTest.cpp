// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TimeText.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace platform;

namespace {

struct LocaleGuard {
    explicit LocaleGuard(const char *name) { QLocale::setDefault(QLocale(QString::fromLatin1(name))); }
    ~LocaleGuard() { QLocale::setDefault(QLocale::system()); }
};

} // namespace

TEST(TimeText, RoundTripsToTheSecondInSeveralLocales) {
    for (const char *name : {"en_US", "de_DE", "fr_FR", "ja_JP", "C"}) {
        LocaleGuard locale(name);
        for (const QTime time :
             {QTime(0, 0, 0), QTime(9, 5, 7), QTime(12, 0, 1), QTime(13, 59, 59), QTime(23, 59, 59)}) {
            const QString text = timeOfDayText(time);
            ASSERT_EQ(parseTimeOfDay(text), time.msecsSinceStartOfDay() / 1000)
                << name << " " << text.toStdString();
        }
    }
}

TEST(TimeText, FormatHasNoZone) {
    LocaleGuard locale("en_US");
    EXPECT_FALSE(timeOfDayFormat().contains(u't'));
    EXPECT_EQ(timeOfDayText(QTime(14, 3, 9)), QStringLiteral("2:03:09 PM"));
}

TEST(TimeText, EmptyAndForeignTextsDoNotParse) {
    EXPECT_FALSE(parseTimeOfDay(QString()).has_value());
    EXPECT_FALSE(parseTimeOfDay(QStringLiteral("   ")).has_value());
    EXPECT_FALSE(parseTimeOfDay(QStringLiteral("Label2")).has_value());
}

TEST(TimeText, DurationsAreTwoDigitsEach) {
    EXPECT_EQ(durationText(0), QStringLiteral("00:00:00"));
    EXPECT_EQ(durationText(3 * 3600 + 4 * 60 + 5), QStringLiteral("03:04:05"));
    EXPECT_EQ(durationText(23 * 3600 + 59 * 60 + 59), QStringLiteral("23:59:59"));
}

TEST(TimeText, ADurationPastMidnightShowsTheRealElapsedTime) {
    // Started 23:59:50, ended 00:00:15 the next day.
    EXPECT_EQ(durationText(15 - (23 * 3600 + 59 * 60 + 50)), QStringLiteral("00:00:25"));
}
