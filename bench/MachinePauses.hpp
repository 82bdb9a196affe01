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
    // The longest any watched processor stood still within [from, to]. Such a processor looks
    // idle to the system, which may hand it a thread to wake (a painter's helper the main thread
    // waits for, say) that then waits with it.
    Clock::duration anyProcessorStillDuring(Clock::time_point from, Clock::time_point to) const;
    // The memory probes that began within [from, to].
    MemoryProbes memoryDuring(Clock::time_point from, Clock::time_point to) const;
    // The pauses (both free watchers still) since the start that lasted at least `least`.
    Summary pausesSince(Clock::duration least) const;

    // The stretches in which both lists have an interval, each list in time order and its
    // intervals apart: the pure part, apart from the threads.
    static std::vector<Interval> commonTo(std::span<const Interval> first, std::span<const Interval> second);

private:
    // What one thread notes, written by that thread alone and read by any. Once full it notes
    // no more: a run that notes this much has nothing left to measure.
    template <class Record, std::size_t kCapacity> struct Notes {
        std::unique_ptr<std::array<Record, kCapacity>> records =
            std::make_unique_for_overwrite<std::array<Record, kCapacity>>();
        std::atomic<std::size_t> count{0};
        std::thread thread;

        // False once full.
        bool add(const Record& record) {
            const std::size_t noted = count.load(std::memory_order_relaxed);
            if (noted == kCapacity) return false;
            (*records)[noted] = record;
            count.store(noted + 1, std::memory_order_release);
            return true;
        }
        std::span<const Record> noted() const {
            return {records->data(), count.load(std::memory_order_acquire)};
        }
    };

    struct Probe {
        Clock::time_point begin;
        Clock::duration took;
    };
    // A watcher's late wakes.
    using Watcher = Notes<Interval, 1 << 16>;
    using Probes = Notes<Probe, 1 << 20>;

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
