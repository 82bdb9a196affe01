#pragma once

// When the whole machine stood still. Two threads do nothing but sleep a millisecond at a time
// and note each time they woke late; where both were late at once, no thread of this process
// could have run either: the virtual machine was paused by its host, or the host had no
// processor to give it. A benchmark that times gaps on its main thread asks how much of a gap
// was such a pause, so that a gap the program made is told apart from one it could not avoid.
#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <thread>
#include <vector>

namespace quillmere::bench {

class MachinePauses {
public:
    using Clock = std::chrono::steady_clock;

    struct Interval {
        Clock::time_point begin;
        Clock::time_point end;
        bool operator==(const Interval&) const = default;
    };

    struct Summary {
        int count = 0; // pauses at least as long as asked
        Clock::duration longest{};
        bool operator==(const Summary&) const = default;
    };

    // Starts the two watching threads; they stop with this object.
    MachinePauses();
    ~MachinePauses();
    MachinePauses(const MachinePauses&) = delete;
    MachinePauses& operator=(const MachinePauses&) = delete;

    // How long, within [from, to], both watchers stood still.
    Clock::duration stillDuring(Clock::time_point from, Clock::time_point to) const;
    // The pauses (both watchers still) since the start that lasted at least `least`.
    Summary pausesSince(Clock::duration least) const;

    // The stretches in which both lists have an interval, each list in time order and its
    // intervals apart: the pure part, apart from the threads.
    static std::vector<Interval> commonTo(const std::vector<Interval>& first,
                                          const std::vector<Interval>& second);

private:
    // One watcher's late wakes, written by its thread alone. Once full it notes no more: a
    // run that wakes late this often has nothing left to measure.
    struct Watcher {
        static constexpr std::size_t kCapacity = 1 << 16;
        std::unique_ptr<std::array<Interval, kCapacity>> late =
            std::make_unique<std::array<Interval, kCapacity>>();
        std::atomic<std::size_t> count{0};
        std::thread thread;

        std::vector<Interval> noted() const;
    };

    void watch(Watcher& watcher);

    std::atomic<bool> stop_{false};
    std::array<Watcher, 2> watchers_;
};

} // namespace quillmere::bench
