#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace quillmere {

// Calls that may wait on a file system, made off the main thread: `work` runs on a thread of
// its own and its value is handed to `deliver` on the main thread, unless `receiver` is gone
// by then. Nothing on the main thread ever waits for the work.
class BackgroundCalls {
public:
    template <class T> void run(QObject* receiver, std::function<T()> work, std::function<void(T)> deliver) {
        {
            std::lock_guard guard(state_->lock);
            ++state_->running;
        }
        QPointer<QObject> alive(receiver);
        std::thread([state = state_, alive, work = std::move(work), deliver = std::move(deliver)]() mutable {
            std::optional<T> value;
            try {
                value.emplace(work());
            } catch (...) {
                // A call that fails delivers nothing; what it would have replaced stays.
            }
            if (value)
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [alive, deliver = std::move(deliver), value = std::move(*value)]() mutable {
                        if (alive) deliver(std::move(value));
                    },
                    Qt::QueuedConnection);
            std::lock_guard guard(state->lock);
            --state->running;
            state->changed.notify_all();
        }).detach();
    }

    // Waits up to `limit` for the calls still running (they are bounded by their own time
    // limits); those that outlast it are left to finish on their own. For owners whose calls
    // reach objects that end with them.
    void settle(std::chrono::milliseconds limit) {
        std::unique_lock guard(state_->lock);
        state_->changed.wait_for(guard, limit, [&] { return state_->running == 0; });
    }

private:
    struct State {
        std::mutex lock;
        std::condition_variable changed;
        int running = 0;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace quillmere
