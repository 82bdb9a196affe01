// The thread-sanitizer build's stand-in for oneTBB's task_group (see TaskGroup.hpp).
#if defined(__SANITIZE_THREAD__)

#include "scan/TaskGroup.hpp"

#include <algorithm>
#include <chrono>
#include <deque>
#include <thread>

namespace quillmere {
namespace {

struct QueuedTask {
    std::function<void()> body;
    TaskGroup* group;
};

class Pool {
public:
    Pool() {
        const unsigned count = std::max(2u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < count; ++i)
            std::thread([this] { work(); }).detach();
    }

    void push(QueuedTask task) {
        {
            std::lock_guard guard(lock_);
            queue_.push_back(std::move(task));
        }
        ready_.notify_one();
    }

    // Runs the newest queued task, as a waiting walker would run its own children first.
    bool runOne() {
        QueuedTask task;
        {
            std::lock_guard guard(lock_);
            if (queue_.empty()) return false;
            task = std::move(queue_.back());
            queue_.pop_back();
        }
        execute(task);
        return true;
    }

private:
    static void execute(QueuedTask& task) {
        task.body();
        task.group->finishOne();
    }

    void work() {
        while (true) {
            QueuedTask task;
            {
                std::unique_lock guard(lock_);
                ready_.wait(guard, [&] { return !queue_.empty(); });
                task = std::move(queue_.front());
                queue_.pop_front();
            }
            execute(task);
        }
    }

    std::mutex lock_;
    std::condition_variable ready_;
    std::deque<QueuedTask> queue_;
};

Pool& pool() {
    static auto* shared = new Pool;
    return *shared;
}

} // namespace

void TaskGroup::submit(std::function<void()> task) {
    {
        std::lock_guard guard(lock_);
        ++pending_;
    }
    pool().push({std::move(task), this});
}

void TaskGroup::startWorkers() {
    (void)pool();
}

void TaskGroup::finishOne() {
    std::lock_guard guard(lock_);
    --pending_;
    done_.notify_all();
}

void TaskGroup::wait() {
    while (true) {
        {
            std::unique_lock guard(lock_);
            if (pending_ == 0) return;
        }
        if (pool().runOne()) continue;
        std::unique_lock guard(lock_);
        done_.wait_for(guard, std::chrono::milliseconds(1), [&] { return pending_ == 0; });
    }
}

} // namespace quillmere

#endif
