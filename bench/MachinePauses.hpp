#pragma once

// When the machine stood still under the program. Threads that do nothing but sleep a
// millisecond at a time note each time they woke late, less any time they then waited queued
// behind other threads (that is a busy machine, not a stopped one):
// - two free ones: where both were late at once, no thread of this process could have run:
//   the virtual machine was paused by its host, or the host had no processor to give it;
// - one pinned to each processor: where the one on the processor a thread ran on was late, that
//   processor ran nothing, that thread included, even if the thread's own clock counts the time
//   as its own (a virtual processor the host holds back without calling it stolen).
// A further thread writes a stretch of memory every millisecond and times it: when those writes
// take ten times as long as usual, memory was slow for every thread of the process, by the
// machine's doing or by the process's own (pages given back by the thousand, say).
// A benchmark that times gaps on its main thread asks how much of a gap was such a pause, so
// that a gap the program made is told apart from one it could not avoid.
#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <span>
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

    struct MemoryProbes {
        int taken = 0;
        int slow = 0; // over ten times the median of all probes so far
        bool operator==(const MemoryProbes&) const = default;
    };

    // Starts the watching threads; they stop with this object.
    MachinePauses();
    ~MachinePauses();
    MachinePauses(const MachinePauses&) = delete;
    MachinePauses& operator=(const MachinePauses&) = delete;

    // How long, within [from, to], both free watchers stood still.
    Clock::duration stillDuring(Clock::time_point from, Clock::time_point to) const;
    // How long, within [from, to], the watcher on `processor` stood still (zero for a
    // processor not watched).
    Clock::duration processorStillDuring(int processor, Clock::time_point from, Clock::time_point to) const;
    // The memory probes that began within [from, to].
    MemoryProbes memoryDuring(Clock::time_point from, Clock::time_point to) const;
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

    struct Probe {
        Clock::time_point begin;
        Clock::duration took;
    };
    // The memory probes, written by the probing thread alone; once full it probes no more.
    struct Probes {
        static constexpr std::size_t kCapacity = 1 << 20;
        std::unique_ptr<std::array<Probe, kCapacity>> taken =
            std::make_unique<std::array<Probe, kCapacity>>();
        std::atomic<std::size_t> count{0};
        std::thread thread;

        std::span<const Probe> noted() const;
    };

    void watch(Watcher& watcher);
    void probeMemory();
    void stopAll() noexcept;

    std::atomic<bool> stop_{false};
    std::array<Watcher, 2> watchers_;
    // By processor number; null for a processor this process may not run on.
    std::vector<std::unique_ptr<Watcher>> pinned_;
    Probes probes_;
};

} // namespace quillmere::bench
