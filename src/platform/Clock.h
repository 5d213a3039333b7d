// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTime>

namespace platform {

// The current time of day.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QTime currentTime() const = 0;
};

class SystemClock : public Clock {
public:
    QTime currentTime() const override { return QTime::currentTime(); }
};

} // namespace platform
