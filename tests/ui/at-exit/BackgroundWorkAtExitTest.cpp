// Runs in a program of its own: it ends the application object, which a shared test program
// cannot do and go on.

#include "ui/BackgroundWork.hpp"

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
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

} // namespace
} // namespace quillmere
