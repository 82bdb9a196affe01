// oneTBB's side of TaskGroup; the thread-sanitizer build's is in SanitizerTaskPool.cpp.
#if !defined(__SANITIZE_THREAD__)

#include "scan/TaskGroup.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <tbb/task_arena.h>

namespace quillmere {

void TaskGroup::startWorkers() {
    // oneTBB starts its threads one after another as work first arrives, each starting the next,
    // so a single task returns while most are still being made. One task a thread, each held
    // asleep until all have theirs, returns only once every thread has run one.
    const int threads = std::max(1, tbb::this_task_arena::max_concurrency());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    std::mutex lock;
    std::condition_variable allArrived;
    int arrived = 0;
    TaskGroup group;
    for (int i = 0; i < threads; ++i)
        group.run([&] {
            std::unique_lock guard(lock);
            if (++arrived == threads) {
                allArrived.notify_all();
                return;
            }
            allArrived.wait_until(guard, deadline, [&] { return arrived == threads; });
        });
    group.wait();
}

} // namespace quillmere

#endif
