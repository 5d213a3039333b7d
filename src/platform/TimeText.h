// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTime>

#include <optional>

namespace platform {

class Clock;

// The system's long time format without its zone, e.g. "h:mm:ss AP" or "HH:mm:ss".
QString timeOfDayFormat();

// A time of day written in that format, to the second.
QString timeOfDayText(const QTime &time);
// The clock's current time of day so written: the time-of-day text of every message title and of the
// status window's start and end times.
QString timeOfDayText(const Clock &clock);

// Seconds since midnight of a text written by timeOfDayText; nothing for any other text.
std::optional<int> parseTimeOfDay(const QString &text);

// A duration in seconds as "hh:mm:ss". A duration that runs past midnight (end before start, so
// negative) is shown as the real elapsed time: a day is added.
QString durationText(int seconds);

} // namespace platform
