// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/plugin/WorkTeam.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace search_component::plugin {

namespace {

// How often the members are looked at while the team may still grow.
constexpr std::chrono::milliseconds lookInterval{1};

// A member's scheduler state as the kernel reports it: 'D' while it waits for the disk (or for a
// network or FUSE file system), 'R' while it runs, 'S' while it sleeps.
class MemberState {
public:
    explicit MemberState(pid_t tid) {
        const std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    }
    ~MemberState() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    MemberState(const MemberState &) = delete;
    MemberState &operator=(const MemberState &) = delete;

    bool waitingForDisk() const {
        char text[256];
        const ssize_t size = fd_ < 0 ? -1 : ::pread(fd_, text, sizeof text - 1, 0);
        if (size <= 0)
            return false;
        text[size] = 0;
        // "tid (name) S ...": the name may hold anything, so look after its last parenthesis.
        const char *close = std::strrchr(text, ')');
        return close && close[1] == ' ' && close[2] == 'D';
    }

private:
    int fd_ = -1;
};

} // namespace

WorkTeam::WorkTeam(unsigned initial, unsigned limit)
    : initial_(std::max(1u, initial))
    , limit_(std::max(initial_, limit)) {}

// What the members share with the team: it outlives a run whose stuck members are left behind.
struct TeamState {
    std::mutex mutex;
    std::condition_variable changed;
    std::function<void(unsigned)> work;
    std::vector<pid_t> tids;
    std::vector<bool> returned;
    unsigned returnedCount = 0;
};

void WorkTeam::run(std::function<void(unsigned member)> work, const Watch *watch) {
    auto state = std::make_shared<TeamState>();
    state->work = std::move(work);
    state->tids.assign(limit_, 0);
    state->returned.assign(limit_, false);
    std::vector<std::thread> threads;
    std::vector<std::unique_ptr<MemberState>> states;
    size_.store(0, std::memory_order_release);

    const auto startMember = [&] {
        const auto member = unsigned(threads.size());
        try {
            threads.emplace_back([state, member] {
                {
                    std::lock_guard lock(state->mutex);
                    state->tids[member] = pid_t(::syscall(SYS_gettid));
                }
                state->work(member);
                std::lock_guard lock(state->mutex);
                state->returned[member] = true;
                ++state->returnedCount;
                state->changed.notify_all();
            });
        } catch (const std::system_error &) {
            return false; // no thread to spare: the members there are do the work
        }
        size_.store(unsigned(threads.size()), std::memory_order_release);
        return true;
    };
    const auto allReturned = [&] { return state->returnedCount == threads.size(); };
    // After giving up: every member has returned or is stuck.
    const auto settled = [&] {
        for (unsigned member = 0; member < threads.size(); ++member)
            if (!state->returned[member] && !watch->isStuck(member))
                return false;
        return true;
    };

    std::unique_lock lock(state->mutex);
    for (unsigned i = 0; i < initial_; ++i)
        if (!startMember())
            break;
    if (threads.empty()) {
        lock.unlock();
        state->work(0); // not even one thread: the caller's own
        return;
    }
    bool givenUp = false;
    while (!allReturned() && !(givenUp && settled())) {
        const bool canGrow = !givenUp && threads.size() < limit_ && state->returnedCount == 0;
        const auto interval = canGrow ? lookInterval : watch ? watch->every : std::chrono::milliseconds(0);
        if (interval.count() == 0) {
            state->changed.wait(lock, allReturned);
            break;
        }
        if (state->changed.wait_for(lock, interval, allReturned))
            break;
        // Members not yet known by their thread id are still starting.
        while (canGrow && states.size() < threads.size() && state->tids[states.size()] != 0)
            states.push_back(std::make_unique<MemberState>(state->tids[states.size()]));
        lock.unlock();
        givenUp = givenUp || (watch && watch->giveUp());
        const bool waiting = canGrow && std::any_of(states.begin(), states.end(), [](const auto &member) {
                                 return member->waitingForDisk();
                             });
        lock.lock();
        if (waiting && !givenUp && state->returnedCount == 0 && !startMember())
            break;
    }
    lock.unlock();
    for (unsigned member = 0; member < threads.size(); ++member) {
        // A stuck member returns when its call does, if ever; what it uses lives in the shared state.
        if (givenUp && !state->returned[member] && watch->isStuck(member))
            threads[member].detach();
        else
            threads[member].join();
    }
}

} // namespace search_component::plugin
