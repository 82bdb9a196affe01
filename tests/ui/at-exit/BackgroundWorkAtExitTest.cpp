// Runs in a program of its own: it ends the application object, which a shared test program
// cannot do and go on.

#include "ui/BackgroundWork.hpp"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

namespace quillmere {
namespace {

struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool waiting = false, open = false;
};

Gate* gate = nullptr;

// Work still running when the application ends posts its result back through the application
// object, as the screens' work does; it must find that object whole.
TEST(BackgroundWorkAtExit, WorkStillRunningWhenTheApplicationEndsIsAwaitedBeforeItsTeardown) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first application" : "an application made after the first ended");
        int argc = 1;
        char name[] = "background-work-at-exit";
        char* argv[] = {name, nullptr};
        auto application = std::make_unique<QCoreApplication>(argc, argv);
        Gate thisGate;
        gate = &thisGate;
        std::atomic<bool> applicationAliveWhenDone = false;
        startBackgroundWork([&] {
            {
                std::unique_lock lock(thisGate.mutex);
                thisGate.waiting = true;
                thisGate.changed.notify_all();
                thisGate.changed.wait(lock, [&] { return thisGate.open; });
            }
            QCoreApplication* alive = QCoreApplication::instance();
            applicationAliveWhenDone = alive != nullptr;
            if (alive)
                QMetaObject::invokeMethod(
                    alive, [] {}, Qt::QueuedConnection);
        });
        {
            std::unique_lock lock(thisGate.mutex);
            thisGate.changed.wait(lock, [&] { return thisGate.waiting; });
        }
        // Added after the work's own, so the application runs it first: the gate opens only
        // once the teardown has begun.
        qAddPostRoutine([] {
            std::lock_guard lock(gate->mutex);
            gate->open = true;
            gate->changed.notify_all();
        });
        application.reset();
        EXPECT_TRUE(applicationAliveWhenDone);
    }
}

// Work still queued when the application ends never runs: a queue of stale work (a view asked
// for a picture at every frame of a resize) would hold the exit up. Whoever waits on it hears
// that it will not come.
TEST(BackgroundWorkAtExit, WorkNotYetStartedWhenTheApplicationEndsIsDroppedAndItsWaiterTold) {
    int argc = 1;
    char name[] = "background-work-at-exit";
    char* argv[] = {name, nullptr};
    auto application = std::make_unique<QCoreApplication>(argc, argv);
    struct Workers {
        std::mutex mutex;
        std::condition_variable changed;
        int held = 0;
        bool released = false;
    };
    auto workers = std::make_shared<Workers>();
    // Every worker held, so the next work waits in the queue; they are let go once that work is
    // dropped. The limit only keeps a run that never drops it from hanging at the exit.
    const int count = QThread::idealThreadCount();
    for (int i = 0; i < count; ++i)
        startBackgroundWork([workers] {
            std::unique_lock lock(workers->mutex);
            ++workers->held;
            workers->changed.notify_all();
            workers->changed.wait_for(lock, std::chrono::seconds(30), [&] { return workers->released; });
        });
    {
        std::unique_lock lock(workers->mutex);
        workers->changed.wait(lock, [&] { return workers->held == count; });
    }
    struct ReleasesWhenDropped {
        std::shared_ptr<Workers> workers;
        ~ReleasesWhenDropped() {
            std::lock_guard lock(workers->mutex);
            workers->released = true;
            workers->changed.notify_all();
        }
    };
    auto ran = std::make_shared<std::atomic<bool>>(false);
    auto promise = std::make_shared<std::promise<int>>();
    std::future<int> answer = promise->get_future();
    startBackgroundWork([ran, promise, release = std::make_shared<ReleasesWhenDropped>(workers)] {
        *ran = true;
        promise->set_value(1);
    });
    promise.reset();
    application.reset();
    EXPECT_FALSE(*ran);
    try {
        answer.get();
        ADD_FAILURE() << "the work ran";
    } catch (const std::future_error& error) {
        EXPECT_EQ(error.code(), std::future_errc::broken_promise);
    }
}

} // namespace
} // namespace quillmere
