#include "ui/BackgroundWork.hpp"

#include "ui/PaintingThreads.hpp"

#include <QImage>
#include <QPainter>
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

TEST(BackgroundWork, LongWorkLeavesThePaintersHelpersFreeAndIsNotHeldToTheirNumber) {
    limitPaintingThreads();
    Gate gate;
    // More long tasks than the painter has helpers: all run at once, none on the painter's pool.
    constexpr int kTasks = 3;
    for (int i = 0; i < kTasks; ++i)
        startBackgroundWork([&] { gate.hold(); });
    gate.waitForStarted(kTasks);
    EXPECT_EQ(QThreadPool::globalInstance()->activeThreadCount(), 0);

    // A fill large enough for the painter to split among its helpers finishes meanwhile (with
    // the helpers held by our work it would wait for ever).
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
