#pragma once

#include <atomic>
#include <functional>

namespace lumsift {

// Threads that share one piece of work, each taking parts of it until none is left. A team starts with
// one member per core. A member that waits for the disk leaves its core idle, so while any member is
// seen waiting for the disk another one joins, up to a limit: a cold disk gets many reads in flight, a
// warm one (whose reads never wait) only the cores' worth of threads.
class WorkTeam {
public:
    WorkTeam(unsigned initial, unsigned limit);

    // Runs `work(member)` on members 0, 1, ...; returns when every member has returned. A member that
    // returns has found nothing left to do: no one joins after that.
    void run(const std::function<void(unsigned member)> &work);
    // Members started so far in this run: the ones that may hold parts of the work.
    unsigned size() const { return size_.load(std::memory_order_acquire); }
    unsigned limit() const { return limit_; }

private:
    unsigned initial_;
    unsigned limit_;
    std::atomic<unsigned> size_{0};
};

} // namespace lumsift
