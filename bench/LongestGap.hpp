#pragma once

// The longest gap between beats of a timer on the thread that made this, and where that
// thread's time went in it: what a user sees as a dropped frame, taken apart.
#include "MachinePauses.hpp"
#include "ThreadTimes.hpp"

namespace quillmere::bench {

class LongestGap {
public:
    using Clock = MachinePauses::Clock;

    LongestGap() { restart(); }

    // Measures afresh from now.
    void restart() {
        started_ = Clock::now();
        lastBeat_ = started_;
        lastTimes_ = thread_.now();
        gap_ = {};
        end_ = started_;
        times_ = {};
    }

    // One beat of the timer.
    void beat() {
        const Clock::time_point now = Clock::now();
        const ThreadTimes times = thread_.now();
        if (now - lastBeat_ > gap_) {
            gap_ = now - lastBeat_;
            end_ = now;
            times_ = times - lastTimes_;
        }
        lastBeat_ = now;
        lastTimes_ = times;
    }

    Clock::time_point started() const { return started_; }
    Clock::duration gap() const { return gap_; }
    Clock::time_point begin() const { return end_ - gap_; }
    Clock::time_point end() const { return end_; }
    // The thread's running and queued time within the gap.
    const ThreadTimes& times() const { return times_; }

private:
    const ThreadClock thread_;
    Clock::time_point started_;
    Clock::time_point lastBeat_;
    ThreadTimes lastTimes_;
    Clock::duration gap_{};
    Clock::time_point end_;
    ThreadTimes times_;
};

inline double milliseconds(MachinePauses::Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

} // namespace quillmere::bench
