#include "WorkTeam.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace lumsift {

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

void WorkTeam::run(const std::function<void(unsigned member)> &work) {
    std::mutex mutex;
    std::condition_variable changed;
    unsigned running = 0, returned = 0;
    std::vector<std::thread> threads;
    std::vector<std::unique_ptr<MemberState>> states;
    std::vector<pid_t> tids(limit_, 0);
    size_.store(0, std::memory_order_release);

    const auto startMember = [&] {
        const auto member = unsigned(threads.size());
        try {
            threads.emplace_back([&, member] {
                {
                    std::lock_guard lock(mutex);
                    tids[member] = pid_t(::syscall(SYS_gettid));
                    changed.notify_all();
                }
                work(member);
                std::lock_guard lock(mutex);
                ++returned;
                changed.notify_all();
            });
        } catch (const std::system_error &) {
            return false; // no thread to spare: the members there are do the work
        }
        ++running;
        size_.store(unsigned(threads.size()), std::memory_order_release);
        return true;
    };

    {
        std::unique_lock lock(mutex);
        for (unsigned i = 0; i < initial_; ++i)
            if (!startMember())
                break;
        if (threads.empty()) {
            lock.unlock();
            work(0); // not even one thread: the caller's own
            return;
        }
        for (;;) {
            const bool canGrow = threads.size() < limit_ && returned == 0;
            if (!canGrow) {
                changed.wait(lock, [&] { return returned == running; });
                break;
            }
            if (changed.wait_for(lock, lookInterval, [&] { return returned == running; }))
                break;
            // Members not yet known by their thread id are still starting.
            while (states.size() < threads.size() && tids[states.size()] != 0)
                states.push_back(std::make_unique<MemberState>(tids[states.size()]));
            lock.unlock();
            const bool waiting = std::any_of(states.begin(), states.end(),
                                             [](const auto &state) { return state->waitingForDisk(); });
            lock.lock();
            if (waiting && returned == 0 && !startMember())
                break;
        }
    }
    for (std::thread &thread : threads)
        thread.join();
}

} // namespace lumsift
