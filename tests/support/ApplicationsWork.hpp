#pragma once

// Knowing that the Applications state's background work has finished, so a test can assert
// that something did not happen without guessing how long it might take.

#include "applications/state/ApplicationsState.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <QThreadPool>

namespace quillmere::testing {

// Counts the queued calls delivered on the main thread while it is installed.
class QueuedCallCounter : public QObject {
public:
    QueuedCallCounter() { QCoreApplication::instance()->installEventFilter(this); }
    ~QueuedCallCounter() override { QCoreApplication::instance()->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MetaCall) ++count;
        return false;
    }
};

// Waits until the state's workers run no more than `held` tasks (those the test holds at a
// gate) and everything the finished ones handed over has been delivered here, including the
// results of work that a delivery started. Every task is started on the main thread, so once
// the pool is at rest nothing unseen is left to arrive. False when the work never came to rest.
[[nodiscard]] inline bool applicationsWorkSettled(int held = 0) {
    auto* pool = QCoreApplication::instance()->findChild<QThreadPool*>(ApplicationsState::kWorkerPoolName,
                                                                       Qt::FindDirectChildrenOnly);
    if (!pool) return false;
    return QTest::qWaitFor(
        [&] {
            if (pool->activeThreadCount() > held) return false;
            QueuedCallCounter delivered;
            QCoreApplication::sendPostedEvents();
            return delivered.count == 0 && pool->activeThreadCount() <= held;
        },
        30000);
}

} // namespace quillmere::testing
