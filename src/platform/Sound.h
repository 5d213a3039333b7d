// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

namespace platform {

// Plays a sound synchronously: returns when the sound has ended.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // The name is tried as a system sound first, then as a file; when nothing can be played the
    // default sound plays instead.
    virtual void play(const QByteArray &name) = 0;
};

// The desktop's event-sound library. One context serves the program's whole life.
class CanberraSoundPlayer : public SoundPlayer {
public:
    void play(const QByteArray &name) override;
};

} // namespace platform
