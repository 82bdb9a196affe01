#pragma once

// Where a thread's time went: how long it ran, by its own processor clock (exact to the call),
// and how long it was ready to run but waited for a processor, by the scheduler's run-queue
// account (brought up to date each time the thread is switched in). A gap on a thread that is
// neither is time it spent waiting on something else.
#include "platform/Fd.hpp"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace quillmere::bench {

struct ThreadTimes {
    std::chrono::nanoseconds running{};
    std::chrono::nanoseconds queued{};

    ThreadTimes operator-(const ThreadTimes& earlier) const {
        return {running - earlier.running, queued - earlier.queued};
    }
    bool operator==(const ThreadTimes&) const = default;
};

// The times of the thread that made it, read on that thread.
class ThreadClock {
public:
    ThreadTimes now() const {
        ThreadTimes times;
        timespec running{};
        if (::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &running) == 0)
            times.running = std::chrono::seconds(running.tv_sec) + std::chrono::nanoseconds(running.tv_nsec);
        char text[128] = {};
        if (schedulerStats_ && ::pread(schedulerStats_.get(), text, sizeof text - 1, 0) > 0) {
            unsigned long long ran = 0;
            unsigned long long waited = 0;
            if (std::sscanf(text, "%llu %llu", &ran, &waited) == 2)
                times.queued = std::chrono::nanoseconds(waited);
        }
        return times;
    }

private:
    // "thread-self" is resolved as it is opened: this thread's for good.
    const platform::Fd schedulerStats_{::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)};
};

} // namespace quillmere::bench
