#pragma once

// What tests use to stand in for a file system that stopped answering, and to wait on
// conditions rather than on time.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace quillmere::testing {

// Polls `condition` until it holds or `limit` passes (a limit far beyond what the condition
// needs, even on a loaded machine); whether it held.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Calls that pass() wait there, as in a kernel call on a stopped file system, until open().
class Gate {
public:
    void pass() {
        std::unique_lock guard(lock_);
        ++waiting_;
        ++arrived_;
        opened_.wait(guard, [&] { return open_; });
        --waiting_;
    }
    void open() {
        std::lock_guard guard(lock_);
        open_ = true;
        opened_.notify_all();
    }
    void close() {
        std::lock_guard guard(lock_);
        open_ = false;
    }
    int waiting() const {
        std::lock_guard guard(lock_);
        return waiting_;
    }
    // Calls that have arrived since the gate was made.
    int arrived() const {
        std::lock_guard guard(lock_);
        return arrived_;
    }

    // Opens `gate` when the scope ends, also when a test's assertion fails, so that no call is
    // left waiting behind a finished test.
    struct OpensAtExit {
        Gate& gate;
        ~OpensAtExit() { gate.open(); }
    };

private:
    mutable std::mutex lock_;
    std::condition_variable opened_;
    bool open_ = false;
    int waiting_ = 0;
    int arrived_ = 0;
};

} // namespace quillmere::testing
