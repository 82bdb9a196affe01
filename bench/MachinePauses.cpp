#include "MachinePauses.hpp"

#include "ThreadTimes.hpp"

#include <algorithm>
#include <pthread.h>
#include <sched.h>

namespace quillmere::bench {
namespace {

constexpr auto kNap = std::chrono::milliseconds(1);
// Sleeping a millisecond overshoots by a tenth of one or so; later than this is a stop.
constexpr auto kLate = std::chrono::milliseconds(2);
// A thread a processor wakes a thousand times a second; past this many processors the rest go
// unwatched rather than the watching cost a processor of its own.
constexpr int kMostWatchedProcessors = 64;
// The probe writes a byte to each cache line of the next stretch of its buffer, a stretch a
// millisecond, so that it comes round to a stretch only after a second.
constexpr std::size_t kProbeBuffer = 32u << 20;
constexpr std::size_t kProbeStretch = 32u << 10;
constexpr std::size_t kCacheLine = 64;
constexpr int kSlowFactor = 10;

// The intervals of `noted` within [from, to], added up.
template <class Intervals>
MachinePauses::Clock::duration overlap(const Intervals& noted, MachinePauses::Clock::time_point from,
                                       MachinePauses::Clock::time_point to) {
    MachinePauses::Clock::duration within{};
    for (const MachinePauses::Interval& interval : noted) {
        const MachinePauses::Clock::time_point begin = std::max(interval.begin, from);
        const MachinePauses::Clock::time_point end = std::min(interval.end, to);
        if (begin < end) within += end - begin;
    }
    return within;
}

} // namespace

MachinePauses::MachinePauses() {
    try {
        for (Watcher& watcher : watchers_)
            watcher.thread = std::thread([this, &watcher] { watch(watcher); });
        cpu_set_t allowed;
        CPU_ZERO(&allowed);
        if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
            const int toWatch = std::min(CPU_COUNT(&allowed), kMostWatchedProcessors);
            for (int processor = 0, watched = 0; processor < CPU_SETSIZE && watched < toWatch; ++processor) {
                pinned_.emplace_back();
                if (!CPU_ISSET(processor, &allowed)) continue;
                ++watched;
                pinned_.back() = std::make_unique<Watcher>();
                Watcher& watcher = *pinned_.back();
                watcher.thread = std::thread([this, &watcher, processor] {
                    cpu_set_t only;
                    CPU_ZERO(&only);
                    CPU_SET(processor, &only);
                    // Unpinned, it would say nothing of that processor.
                    if (::pthread_setaffinity_np(::pthread_self(), sizeof only, &only) != 0) return;
                    watch(watcher);
                });
            }
        }
        probes_.thread = std::thread([this] { probeMemory(); });
    } catch (...) {
        stopAll();
        throw;
    }
}

MachinePauses::~MachinePauses() {
    stopAll();
}

void MachinePauses::stopAll() noexcept {
    stop_ = true;
    for (Watcher& watcher : watchers_)
        if (watcher.thread.joinable()) watcher.thread.join();
    for (const std::unique_ptr<Watcher>& watcher : pinned_)
        if (watcher && watcher->thread.joinable()) watcher->thread.join();
    if (probes_.thread.joinable()) probes_.thread.join();
}

void MachinePauses::watch(Watcher& watcher) {
    const ThreadClock clock;
    ThreadTimes before = clock.now();
    while (!stop_.load(std::memory_order_relaxed)) {
        const Clock::time_point asleep = Clock::now();
        std::this_thread::sleep_for(kNap);
        const Clock::time_point woke = Clock::now();
        const ThreadTimes after = clock.now();
        // Woken on time but kept waiting behind other threads, it says only that the machine
        // was busy: what it waited queued is not a stop.
        const Clock::duration queued =
            std::chrono::duration_cast<Clock::duration>(after.queued - before.queued);
        before = after;
        const Clock::time_point due = asleep + kNap;
        const Clock::time_point stoppedUntil = std::max(due, woke - queued);
        if (stoppedUntil - due <= kLate) continue;
        watcher.add({due, stoppedUntil});
    }
}

void MachinePauses::probeMemory() {
    std::vector<unsigned char> buffer(kProbeBuffer, 1);
    std::size_t offset = 0;
    while (!stop_.load(std::memory_order_relaxed)) {
        std::this_thread::sleep_for(kNap);
        const Clock::time_point begin = Clock::now();
        volatile unsigned char* stretch = buffer.data() + offset;
        for (std::size_t byte = 0; byte < kProbeStretch; byte += kCacheLine)
            stretch[byte] = static_cast<unsigned char>(stretch[byte] + 1);
        const Clock::time_point end = Clock::now();
        offset = (offset + kProbeStretch) % kProbeBuffer;
        if (!probes_.add({begin, end - begin})) return;
    }
}

std::vector<MachinePauses::Interval> MachinePauses::commonTo(std::span<const Interval> first,
                                                             std::span<const Interval> second) {
    std::vector<Interval> common;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < first.size() && j < second.size()) {
        const Clock::time_point begin = std::max(first[i].begin, second[j].begin);
        const Clock::time_point end = std::min(first[i].end, second[j].end);
        if (begin < end) common.push_back({begin, end});
        if (first[i].end < second[j].end)
            ++i;
        else
            ++j;
    }
    return common;
}

MachinePauses::Clock::duration MachinePauses::stillDuring(Clock::time_point from,
                                                          Clock::time_point to) const {
    return overlap(commonTo(watchers_[0].noted(), watchers_[1].noted()), from, to);
}

MachinePauses::Clock::duration MachinePauses::processorStillDuring(int processor, Clock::time_point from,
                                                                   Clock::time_point to) const {
    if (processor < 0 || static_cast<std::size_t>(processor) >= pinned_.size() ||
        !pinned_[static_cast<std::size_t>(processor)])
        return {};
    return overlap(pinned_[static_cast<std::size_t>(processor)]->noted(), from, to);
}

MachinePauses::Clock::duration MachinePauses::anyProcessorStillDuring(Clock::time_point from,
                                                                      Clock::time_point to) const {
    Clock::duration longest{};
    for (const std::unique_ptr<Watcher>& watcher : pinned_)
        if (watcher) longest = std::max(longest, overlap(watcher->noted(), from, to));
    return longest;
}

MachinePauses::MemoryProbes MachinePauses::memoryDuring(Clock::time_point from, Clock::time_point to) const {
    const std::span<const Probe> all = probes_.noted();
    MemoryProbes probes;
    if (all.empty()) return probes;
    std::vector<Clock::duration> took;
    took.reserve(all.size());
    for (const Probe& probe : all)
        took.push_back(probe.took);
    std::nth_element(took.begin(), took.begin() + static_cast<std::ptrdiff_t>(took.size() / 2), took.end());
    const Clock::duration median = took[took.size() / 2];
    for (const Probe& probe : all) {
        if (probe.begin < from || probe.begin > to) continue;
        ++probes.taken;
        if (probe.took > kSlowFactor * median) ++probes.slow;
    }
    return probes;
}

MachinePauses::Summary MachinePauses::pausesSince(Clock::duration least) const {
    Summary summary;
    for (const Interval& pause : commonTo(watchers_[0].noted(), watchers_[1].noted())) {
        if (pause.end - pause.begin < least) continue;
        ++summary.count;
        summary.longest = std::max(summary.longest, pause.end - pause.begin);
    }
    return summary;
}

} // namespace quillmere::bench
