#pragma once

// A group of tasks whose wait runs other queued work instead of blocking its thread,
// so a walker waiting for its child walks never starves the workers those walks need.
//
// Normal builds use oneTBB's task_group. Debian's oneTBB library is not instrumented for
// the thread sanitizer, which would then report every hand-over of a task as a race; the
// sanitizer build therefore runs the same contract on a small pool built from standard
// mutexes, which the sanitizer sees through.

#if !defined(__SANITIZE_THREAD__)

#include <tbb/task_group.h>

namespace quillmere {

class TaskGroup {
public:
    template <class Function> void run(Function&& function) { group_.run(std::forward<Function>(function)); }
    void wait() { group_.wait(); }
    // Returns once each of the pool's threads has started and taken a task (each task waits
    // at most a second for the others): work handed to the pool then finds every thread there.
    static void startWorkers();

private:
    tbb::task_group group_;
};

} // namespace quillmere

#else

#include <condition_variable>
#include <functional>
#include <mutex>

namespace quillmere {

class TaskGroup {
public:
    template <class Function> void run(Function&& function) {
        submit(std::function<void()>(std::forward<Function>(function)));
    }
    void wait();
    // Starts the pool's threads.
    static void startWorkers();
    ~TaskGroup() { wait(); }

    // Used by the pool: a task of this group has finished.
    void finishOne();

private:
    void submit(std::function<void()> task);
    std::mutex lock_;
    std::condition_variable done_;
    int pending_ = 0;
};

} // namespace quillmere

#endif
