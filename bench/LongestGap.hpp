#pragma once

// The longest gap between beats of a timer on the thread that made this, and where that
// thread's time went in it: what a user sees as a dropped frame, taken apart.
#include "MachinePauses.hpp"
#include "ThreadTimes.hpp"

#include <sched.h>

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
        lastProcessor_ = ::sched_getcpu();
        processors_ = {lastProcessor_, lastProcessor_};
        gap_ = {};
        end_ = started_;
        times_ = {};
    }

    // One beat of the timer.
    void beat() {
        const Clock::time_point now = Clock::now();
        const ThreadTimes times = thread_.now();
        const int processor = ::sched_getcpu();
        if (now - lastBeat_ > gap_) {
            gap_ = now - lastBeat_;
            end_ = now;
            times_ = times - lastTimes_;
            processors_ = {lastProcessor_, processor};
        }
        lastBeat_ = now;
        lastTimes_ = times;
        lastProcessor_ = processor;
    }

    Clock::time_point started() const { return started_; }
    Clock::duration gap() const { return gap_; }
    Clock::time_point begin() const { return end_ - gap_; }
    Clock::time_point end() const { return end_; }
    // The thread's running and queued time within the gap.
    const ThreadTimes& times() const { return times_; }
    // How long the processors the thread ran on stood still in the gap: the one it began on,
    // and the one it ended on if it moved, whichever stood still longer. A thread that moved
    // ran on one and then the other, but when it moved is not known.
    Clock::duration processorStill(const MachinePauses& pauses) const {
        return std::max(pauses.processorStillDuring(processors_.atBegin, begin(), end()),
                        pauses.processorStillDuring(processors_.atEnd, begin(), end()));
    }

private:
    const ThreadClock thread_;
    Clock::time_point started_;
    Clock::time_point lastBeat_;
    ThreadTimes lastTimes_;
    Clock::duration gap_{};
    Clock::time_point end_;
    ThreadTimes times_;
    // The processors the thread ran on as the longest gap began and as it ended (-1 when
    // unknown), and at the last beat.
    struct Processors {
        int atBegin = -1;
        int atEnd = -1;
        bool operator==(const Processors&) const = default;
    };
    Processors processors_;
    int lastProcessor_ = -1;
};

inline double milliseconds(MachinePauses::Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

} // namespace quillmere::bench
