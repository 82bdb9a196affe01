#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

namespace quillmere {

// The one answer of a walk. Several parties may answer it from different threads (the
// helper's reply, a connection error, the time limit); the first to claim wins, and every
// later claim is ignored. The one waiter is woken by the winner, whoever it is, so a walk
// never waits for the party that lost.
template <class Answer> class ResumeGuard {
public:
    // True when this claim won: its answer is the one the waiter gets. False, with nothing
    // changed, when another claim came first.
    bool claim(Answer answer) {
        {
            std::lock_guard lock(lock_);
            if (answer_) return false;
            answer_.emplace(std::move(answer));
        }
        // Released first: the waiter acts on the answer without waiting for this thread.
        claimed_.notify_all();
        return true;
    }

    bool isClaimed() const {
        std::lock_guard lock(lock_);
        return answer_.has_value();
    }

    // Waits for the winning answer. At `deadline` the waiter claims `expired` itself, which
    // may still lose to a claim made at the same moment; the winner's answer is returned
    // either way. It stays in the guard, where no later claim changes it; the one waiter may
    // move it out.
    Answer& await(std::chrono::steady_clock::time_point deadline, Answer expired) {
        std::unique_lock lock(lock_);
        claimed_.wait_until(lock, deadline, [this] { return answer_.has_value(); });
        if (!answer_) answer_.emplace(std::move(expired));
        return *answer_;
    }

private:
    mutable std::mutex lock_;
    std::condition_variable claimed_;
    std::optional<Answer> answer_;
};

} // namespace quillmere
