// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TimeText.h"

#include "platform/Clock.h"

#include <QLocale>

namespace platform {

namespace {

constexpr int secondsPerDay = 24 * 60 * 60;

// Drops the unquoted zone letters ("t") and the blanks next to them.
QString withoutZone(const QString &format) {
    QString out;
    bool quoted = false;
    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't') {
            while (!out.isEmpty() && out.back().isSpace())
                out.chop(1);
            while (i + 1 < format.size() && (format[i + 1] == u't' || format[i + 1].isSpace()))
                ++i;
            if (i + 1 < format.size() && !out.isEmpty())
                out += u' ';
            continue;
        }
        out += c;
    }
    return out.trimmed();
}

} // namespace

QString timeOfDayFormat() {
    QString format = withoutZone(QLocale().timeFormat(QLocale::LongFormat));
    // A round trip must keep the seconds, whatever the locale's format holds.
    if (!format.contains(u's'))
        format = QStringLiteral("HH:mm:ss");
    return format;
}

QString timeOfDayText(const QTime &time) {
    return QLocale().toString(time, timeOfDayFormat());
}

std::optional<int> parseTimeOfDay(const QString &text) {
    if (text.trimmed().isEmpty())
        return std::nullopt;
    const QTime time = QLocale().toTime(text, timeOfDayFormat());
    if (!time.isValid())
        return std::nullopt;
    return time.msecsSinceStartOfDay() / 1000;
}

QString durationText(int seconds) {
    seconds %= secondsPerDay;
    if (seconds < 0)
        seconds += secondsPerDay;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString timeOfDayText(const Clock &clock) {
    return timeOfDayText(clock.currentTime());
}

} // namespace platform
