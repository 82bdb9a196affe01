#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace quillmere {

// The worker pool of the insight computations: its threads run at a raised priority, and the
// application waits for them before it quits, so no result is posted to a dying application.
QThreadPool& insightPool();

// One computation of an insight screen, restarted whenever its key changes. The computation
// runs on the insight pool with what it captured (a FileNode handle keeps its tree alive
// whatever the window does meanwhile); its result comes back on the main thread and is handed
// to `deliver` only while the key it was started for is still the current key, so a slow
// result for an old folder never replaces a newer one. The previous result stays wherever the
// owner keeps it until then. A result that arrives after the task is destroyed is dropped.
// A computation no longer wanted, for a key replaced or a task destroyed, is told so through
// its `cancelled` flag: not started yet, it never starts; running, it stops within a few
// thousand nodes, and nothing it returns is delivered. A user going through folders leaves
// next to no work behind, for the screen nor for the application's exit, which waits for the
// pool.
//
// Main thread only, apart from `compute`, which runs on the pool.
template <class Key, class Result> class InsightTask {
public:
    explicit InsightTask(std::function<void(Result)> deliver)
        : deliver_(std::move(deliver)), alive_(std::make_shared<bool>(true)) {}
    ~InsightTask() {
        *alive_ = false;
        if (cancelled_) cancelled_->store(true);
    }
    InsightTask(const InsightTask&) = delete;
    InsightTask& operator=(const InsightTask&) = delete;

    // Starts `compute` for `key` unless `key` is already the current key; says whether it did.
    bool request(const Key& key, std::function<Result(const std::atomic<bool>* cancelled)> compute) {
        if (current_ && *current_ == key) return false;
        auto cancelled = std::make_shared<std::atomic<bool>>(false);
        insightPool().start([this, key, alive = alive_, cancelled, compute = std::move(compute)] {
            if (cancelled->load()) return;
            std::shared_ptr<Result> result;
            try {
                result = std::make_shared<Result>(compute(cancelled.get()));
            } catch (...) {
                // A computation that throws leaves the previous result on screen.
                return;
            }
            QCoreApplication* app = QCoreApplication::instance();
            if (!app) return;
            QMetaObject::invokeMethod(
                app,
                [this, key, alive, cancelled, result] {
                    // The key and the flag are written on the main thread only, so no lock is
                    // needed. No result of a cancelled computation is shown, finished or cut
                    // short, even should its key have come back meanwhile.
                    if (!*alive || cancelled->load() || !current_ || !(*current_ == key)) return;
                    ++delivered_;
                    deliver_(std::move(*result));
                },
                Qt::QueuedConnection);
        });
        // Only once the new computation is on its way is the previous one cancelled and the key
        // made current: should starting it fail, the previous one still delivers, and the next
        // request for this key tries again.
        if (cancelled_) cancelled_->store(true);
        cancelled_ = std::move(cancelled);
        current_ = key;
        ++started_;
        return true;
    }

    const std::optional<Key>& currentKey() const { return current_; }
    // How many computations were started and how many results were handed over (for tests).
    int startedCount() const { return started_; }
    int deliveredCount() const { return delivered_; }

private:
    std::function<void(Result)> deliver_;
    std::shared_ptr<bool> alive_;
    std::shared_ptr<std::atomic<bool>> cancelled_; // the latest computation's
    std::optional<Key> current_;
    int started_ = 0;
    int delivered_ = 0;
};

} // namespace quillmere
