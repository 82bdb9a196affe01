#pragma once

// Wall-clock timing shared by the view benchmarks: one run in milliseconds, and the median and
// worst of several, so a single slow run neither hides nor decides a figure.
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

// Median and worst of `runs` timings.
struct Figures {
    double median;
    double worst;
};

inline Figures measure(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(millis(work));
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

} // namespace quillmere::bench
