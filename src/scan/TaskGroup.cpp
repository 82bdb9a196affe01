// oneTBB's side of TaskGroup; the thread-sanitizer build's is in SanitizerTaskPool.cpp.
#if !defined(__SANITIZE_THREAD__)

#include "scan/TaskGroup.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <tbb/task_arena.h>
#include <thread>

namespace quillmere {

void TaskGroup::startWorkers() {
    // oneTBB starts its threads one after another as work first arrives, each starting the next,
    // so a single task returns while most are still being made. One task a thread, each held
    // until all have theirs, returns only once every thread has run one.
    const int threads = std::max(1, tbb::this_task_arena::max_concurrency());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    std::atomic<int> arrived{0};
    TaskGroup group;
    for (int i = 0; i < threads; ++i)
        group.run([&] {
            arrived.fetch_add(1, std::memory_order_relaxed);
            while (arrived.load(std::memory_order_relaxed) < threads &&
                   std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
        });
    group.wait();
}

} // namespace quillmere

#endif
