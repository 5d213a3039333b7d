// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Sound.h"

#include "platform/Files.h"

#include <QApplication>

#include <canberra.h>
#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace platform {

namespace {

// The wait of one playback. The library may call the finish callback twice, so a waiter outlives
// its playback and ignores every call after the first.
struct Waiter {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
};

void onFinished(ca_context *, std::uint32_t, int, void *userdata) {
    auto *waiter = static_cast<Waiter *>(userdata);
    std::lock_guard lock(waiter->mutex);
    if (waiter->done)
        return;
    waiter->done = true;
    waiter->finished.notify_all();
}

void ignoreAlsaMessage(const char *, int, const char *, int, const char *, ...) {}

// Without a sound device the ALSA library prints its search for one on stderr, a dozen lines for
// every sound. Its message handler is set before the sound backend loads the library, so that the
// backend finds the library, and the handler, already in place. Without the library nothing is said
// anyway.
void silenceAlsa() {
    using Handler = void (*)(const char *, int, const char *, int, const char *, ...);
    void *alsa = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!alsa)
        return;
    if (auto setHandler = reinterpret_cast<int (*)(Handler)>(::dlsym(alsa, "snd_lib_error_set_handler")))
        setHandler(&ignoreAlsaMessage);
    // The library stays loaded for the program's life, as the backend keeps it.
}

class Canberra {
public:
    static Canberra &instance() {
        // Never destroyed: destroying a context can crash the sound backend.
        static Canberra *canberra = new Canberra;
        return *canberra;
    }

    // Plays one sound by a property (an event id or a file name) and waits for its end.
    bool playAndWait(const char *property, const QByteArray &value) {
        if (!context_)
            return false;
        ca_proplist *properties = nullptr;
        if (ca_proplist_create(&properties) != CA_SUCCESS)
            return false;
        ca_proplist_sets(properties, property, value.constData());
        ca_proplist_sets(properties, CA_PROP_CANBERRA_CACHE_CONTROL, "never");
        Waiter &waiter = waiters_.emplace_back();
        const int started = ca_context_play_full(context_, nextId_++, properties, onFinished, &waiter);
        ca_proplist_destroy(properties);
        if (started != CA_SUCCESS)
            return false;
        std::unique_lock lock(waiter.mutex);
        // A sound that never reports its end does not freeze the program for ever.
        waiter.finished.wait_for(lock, std::chrono::minutes(10), [&] { return waiter.done; });
        return true;
    }

private:
    Canberra() {
        silenceAlsa();
        if (ca_context_create(&context_) != CA_SUCCESS)
            context_ = nullptr;
    }

    ca_context *context_ = nullptr;
    std::uint32_t nextId_ = 1;
    std::deque<Waiter> waiters_; // kept for the program's life: see Waiter
};

} // namespace

void CanberraSoundPlayer::play(const QByteArray &name) {
    Canberra &canberra = Canberra::instance();
    if (!name.isEmpty() && !name.contains('/') && canberra.playAndWait(CA_PROP_EVENT_ID, name))
        return;
    // The library reports a missing file and a device that cannot play alike: look for the file here.
    if (isRegularFile(name) && canberra.playAndWait(CA_PROP_MEDIA_FILENAME, name))
        return;
    if (canberra.playAndWait(CA_PROP_EVENT_ID, QByteArrayLiteral("bell")))
        return;
    QApplication::beep();
}

} // namespace platform
