#include "ui/BackgroundWork.hpp"

#include <QCoreApplication>
#include <QThreadPool>
#include <mutex>

namespace quillmere {

namespace {

std::mutex awaitLock;
// Whether a wait is registered with the application that is running: the application runs
// its registered routines once, so the next one needs its own.
bool awaitRegistered = false;

void awaitAtTeardown() {
    {
        std::lock_guard guard(awaitLock);
        if (awaitRegistered) return;
        awaitRegistered = true;
    }
    qAddPostRoutine([] {
        {
            std::lock_guard guard(awaitLock);
            awaitRegistered = false;
        }
        QThreadPool::globalInstance()->waitForDone();
    });
}

} // namespace

void startBackgroundWork(std::function<void()> work) {
    awaitAtTeardown();
    QThreadPool::globalInstance()->start(std::move(work));
}

} // namespace quillmere
