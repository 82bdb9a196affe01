#include "ui/BackgroundWork.hpp"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <mutex>

namespace quillmere {

namespace {

std::mutex awaitLock;
// Whether a wait is registered with the application that is running: the application runs
// its registered routines once, so the next one needs its own.
bool awaitRegistered = false;

// A pool of our own, not Qt's shared one: the raster painter hands pieces of large fills to the
// shared pool and waits for them, and would wait behind a long layout or picture of ours.
QThreadPool& workPool() {
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(QThread::idealThreadCount());
        return made;
    }();
    return *pool;
}

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
        // Work not yet started is dropped, not run: nobody is left for its result, and a queue
        // of it (a view asked for a picture at every frame of a resize) would hold the exit up.
        // Dropping it releases what it holds, so a promise it was to keep reports it broken.
        workPool().clear();
        workPool().waitForDone();
    });
}

} // namespace

void startBackgroundWork(std::function<void()> work) {
    awaitAtTeardown();
    workPool().start(std::move(work));
}

bool waitForBackgroundWork(int msecs) {
    return workPool().waitForDone(msecs);
}

} // namespace quillmere
