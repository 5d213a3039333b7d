// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <functional>

namespace search_component::plugin {

// Threads that share one piece of work, each taking parts of it until none is left. A team starts with
// one member per core. A member that waits for the disk leaves its core idle, so while any member is
// seen waiting for the disk another one joins, up to a limit: a cold disk gets many reads in flight, a
// warm one (whose reads never wait) only the cores' worth of threads.
class WorkTeam {
public:
    WorkTeam(unsigned initial, unsigned limit);

    // For work on a file system that may stop answering: how the team learns to stop waiting.
    struct Watch {
        // Asked every `every` while members work: true gives up on the members stuck in calls.
        std::function<bool()> giveUp;
        // After giving up: whether a member is stuck in a call that may never return. The team still
        // waits for every other member; the stuck ones are left behind, and must own what they use.
        std::function<bool(unsigned member)> isStuck;
        std::chrono::milliseconds every{50};
    };

    // Runs `work(member)` on members 0, 1, ...; returns when every member has returned, or, with a
    // watch that gave up, every member not stuck. A member that returns has found nothing left to do:
    // no one joins after that.
    void run(std::function<void(unsigned member)> work, const Watch *watch = nullptr);
    // Members started so far in this run: the ones that may hold parts of the work.
    unsigned size() const { return size_.load(std::memory_order_acquire); }
    unsigned limit() const { return limit_; }

private:
    unsigned initial_;
    unsigned limit_;
    std::atomic<unsigned> size_{0};
};

} // namespace search_component::plugin
