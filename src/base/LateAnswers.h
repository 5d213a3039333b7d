// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace base {

// Questions that may never be answered, such as a call into a file system that stopped answering: each
// is asked on a thread of its own, and waited for until a deadline. A thread stuck in the kernel is left
// behind, never joined. A question is asked once at a time by its key: while it waits, asking again
// answers nothing at once, so that stuck threads never pile up; its answer, however late, is kept and
// given to every later ask of that key.
template <typename Answer> class LateAnswers {
public:
    // The answer, or nothing when it did not come within `wait` ("not available").
    std::optional<Answer> ask(const QByteArray &key, std::function<Answer()> question,
                              std::chrono::milliseconds wait) {
        std::unique_lock lock(state_->mutex);
        const auto known = state_->answers.find(key);
        if (known != state_->answers.end())
            return known->second; // an answer, or nothing while the first ask still waits
        state_->answers.emplace(key, std::nullopt);
        std::thread([state = state_, key, question = std::move(question)] {
            Answer answer = question();
            const std::lock_guard done(state->mutex);
            state->answers[key] = std::move(answer);
            state->answered.notify_all();
        }).detach();
        state_->answered.wait_for(lock, wait, [&] { return state_->answers[key].has_value(); });
        return state_->answers[key];
    }

private:
    // Shared with the threads, which may outlive this object.
    struct State {
        std::mutex mutex;
        std::condition_variable answered;
        std::map<QByteArray, std::optional<Answer>> answers;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace base
