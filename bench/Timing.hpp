#pragma once

// Wall-clock timing shared by the view benchmarks: one run in milliseconds, and the median and
// worst of several, so a single slow run neither hides nor decides a figure.
#include "ThreadTimes.hpp"

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace quillmere::bench {

inline double millis(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Median and worst of `runs` timings, with what the calling thread did during the worst: a
// worst run in which the thread neither ran nor waited its turn for a processor for most of
// the time was the machine standing still, not the program's work.
struct Figures {
    double median = 0;
    double worst = 0;
    double worstRan = 0;
    double worstQueued = 0;
};

inline Figures measure(int runs, const std::function<void()>& work) {
    struct Run {
        double ms;
        double ranMs;
        double queuedMs;
    };
    const auto ms = [](std::chrono::nanoseconds d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    const ThreadClock clock;
    std::vector<Run> all;
    for (int i = 0; i < runs; ++i) {
        const ThreadTimes before = clock.now();
        const double took = millis(work);
        const ThreadTimes spent = clock.now() - before;
        all.push_back({took, ms(spent.running), ms(spent.queued)});
    }
    std::sort(all.begin(), all.end(), [](const Run& a, const Run& b) { return a.ms < b.ms; });
    return {all[all.size() / 2].ms, all.back().ms, all.back().ranMs, all.back().queuedMs};
}

} // namespace quillmere::bench
