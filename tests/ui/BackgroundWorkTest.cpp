#include "ui/BackgroundWork.hpp"

#include "ui/PaintingThreads.hpp"

#include <QImage>
#include <QPainter>
#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace quillmere {
namespace {

// Work that holds its thread until let go.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    int started = 0;
    bool open = false;

    void hold() {
        std::unique_lock lock(mutex);
        ++started;
        changed.notify_all();
        changed.wait(lock, [&] { return open; });
    }
    void waitForStarted(int count) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return started >= count; });
    }
    void release() {
        const std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

TEST(BackgroundWork, LongWorkLeavesThePaintersHelpersFree) {
    limitPaintingThreads();
    // As many long tasks as the painter has helpers: were they on its pool, they would hold it.
    const int tasks = QThreadPool::globalInstance()->maxThreadCount();
    if (QThread::idealThreadCount() < tasks)
        GTEST_SKIP() << "needs as many processors as the painter has helpers";
    Gate gate;
    std::atomic<int> onThePaintersPool{0};
    for (int i = 0; i < tasks; ++i)
        startBackgroundWork([&] {
            if (QThreadPool::globalInstance()->contains(QThread::currentThread())) ++onThePaintersPool;
            gate.hold();
        });
    gate.waitForStarted(tasks);
    if (onThePaintersPool > 0) {
        gate.release(); // the fill below would otherwise wait for ever
        waitForBackgroundWork();
        FAIL() << "background work ran on the painter's pool";
    }

    // A fill large enough for the painter to split among its helpers finishes meanwhile.
    QImage image(2000, 1400, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::black, 2.5));
        painter.drawEllipse(QRectF(10.5, 10.5, 1900, 1300));
    }
    EXPECT_EQ(image.pixelColor(1000, 700), QColor(Qt::white));
    EXPECT_NE(image.pixelColor(960, 11), QColor(Qt::white));

    gate.release();
    EXPECT_TRUE(waitForBackgroundWork());
}

} // namespace
} // namespace quillmere
