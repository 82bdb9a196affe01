#include "MachinePauses.hpp"

#include <algorithm>

namespace quillmere::bench {
namespace {

constexpr auto kNap = std::chrono::milliseconds(1);
// Sleeping a millisecond overshoots by a tenth of one or so; later than this is a stop.
constexpr auto kLate = std::chrono::milliseconds(2);

} // namespace

MachinePauses::MachinePauses() {
    try {
        for (Watcher& watcher : watchers_)
            watcher.thread = std::thread([this, &watcher] { watch(watcher); });
    } catch (...) {
        stop_ = true;
        for (Watcher& watcher : watchers_)
            if (watcher.thread.joinable()) watcher.thread.join();
        throw;
    }
}

MachinePauses::~MachinePauses() {
    stop_ = true;
    for (Watcher& watcher : watchers_)
        if (watcher.thread.joinable()) watcher.thread.join();
}

void MachinePauses::watch(Watcher& watcher) {
    while (!stop_.load(std::memory_order_relaxed)) {
        const Clock::time_point asleep = Clock::now();
        std::this_thread::sleep_for(kNap);
        const Clock::time_point woke = Clock::now();
        const Clock::time_point due = asleep + kNap;
        if (woke - due <= kLate) continue;
        const std::size_t noted = watcher.count.load(std::memory_order_relaxed);
        if (noted == Watcher::kCapacity) continue;
        (*watcher.late)[noted] = {due, woke};
        watcher.count.store(noted + 1, std::memory_order_release);
    }
}

std::vector<MachinePauses::Interval> MachinePauses::Watcher::noted() const {
    const std::size_t noted = count.load(std::memory_order_acquire);
    return {late->begin(), late->begin() + static_cast<std::ptrdiff_t>(noted)};
}

std::vector<MachinePauses::Interval> MachinePauses::commonTo(const std::vector<Interval>& first,
                                                             const std::vector<Interval>& second) {
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
    Clock::duration still{};
    for (const Interval& pause : commonTo(watchers_[0].noted(), watchers_[1].noted())) {
        const Clock::time_point begin = std::max(pause.begin, from);
        const Clock::time_point end = std::min(pause.end, to);
        if (begin < end) still += end - begin;
    }
    return still;
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
