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
//
// Main thread only, apart from `compute`, which runs on the pool.
template <class Key, class Result> class InsightTask {
public:
    explicit InsightTask(std::function<void(Result)> deliver)
        : deliver_(std::move(deliver)), alive_(std::make_shared<bool>(true)) {}
    ~InsightTask() {
        *alive_ = false;
        if (wanted_) wanted_->store(false);
    }
    InsightTask(const InsightTask&) = delete;
    InsightTask& operator=(const InsightTask&) = delete;

    // Starts `compute` for `key` unless `key` is already the current key; says whether it did.
    bool request(const Key& key, std::function<Result()> compute) {
        if (current_ && *current_ == key) return false;
        auto wanted = std::make_shared<std::atomic<bool>>(true);
        insightPool().start([this, key, alive = alive_, wanted, compute = std::move(compute)] {
            if (!wanted->load()) return;
            std::shared_ptr<Result> result;
            try {
                result = std::make_shared<Result>(compute());
            } catch (...) {
                // A computation that throws leaves the previous result on screen.
                return;
            }
            QCoreApplication* app = QCoreApplication::instance();
            if (!app) return;
            QMetaObject::invokeMethod(
                app,
                [this, key, alive, result] {
                    // Read and cleared on the main thread only, so no lock is needed.
                    if (!*alive || !current_ || !(*current_ == key)) return;
                    ++delivered_;
                    deliver_(std::move(*result));
                },
                Qt::QueuedConnection);
        });
        // Only once it is on its way, so that a failure to start it asks again next time: the
        // computation for the previous key, or for an owner that went, is dropped if it has not
        // started yet. A user going through folders leaves no queue behind, for the screen nor
        // for the application's exit, which waits for the pool.
        if (wanted_) wanted_->store(false);
        wanted_ = std::move(wanted);
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
    std::shared_ptr<std::atomic<bool>> wanted_; // the latest computation's
    std::optional<Key> current_;
    int started_ = 0;
    int delivered_ = 0;
};

} // namespace quillmere
