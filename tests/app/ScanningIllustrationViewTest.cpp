#include "app/ScanScreens.hpp"
#include "ui/FadeEffect.hpp"

#include <QImage>
#include <QPaintEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

QImage frameAt(ScanningIllustrationView& view, double seconds) {
    view.setAnimationClock(seconds);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image);
    return image;
}

// The animation repaints only its own square; anything drawn outside it that moved would be
// left behind on screen as a stale trail.
TEST(ScanningIllustration, EverythingThatMovesBetweenFramesIsInsideTheAreaTheAnimationRepaints) {
    for (const bool withFigures : {false, true}) {
        ScanningIllustrationView view;
        view.resize(640, 620);
        view.setVolume("Data", int64_t{1} << 40);
        if (withFigures)
            view.setProgress(ScanProgress{.bytesScanned = int64_t{1} << 38, .filesScanned = 1200});
        const QRect moving = view.illustrationBounds();
        ASSERT_TRUE(view.rect().contains(moving)) << withFigures;
        const QImage first = frameAt(view, 0);
        int changedInside = 0;
        for (const double seconds : {0.3, 0.7, 1.1, 1.6, 2.0, 4.9, 11.3}) {
            const QImage later = frameAt(view, seconds);
            for (int y = 0; y < first.height(); ++y)
                for (int x = 0; x < first.width(); ++x) {
                    if (first.pixel(x, y) == later.pixel(x, y)) continue;
                    ASSERT_TRUE(moving.contains(x, y)) << x << "," << y << " at " << seconds << "s";
                    ++changedInside;
                }
        }
        EXPECT_GT(changedInside, 0) << "the frames should differ at all";
    }
}

// Records the region of every paint event a widget receives.
class PaintedRegions : public QObject {
public:
    QRegion painted;
    int paints = 0;
    void forget() {
        painted = {};
        paints = 0;
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(event)->region();
            ++paints;
        }
        return false;
    }
};

// New figures arrive several times a second through a scan and repaint only the status line
// (and the bar, which repaints itself); the animation's frames repaint only its square. Whatever
// such a repaint leaves out must be what it does not change, and what it covers must come out
// as a full paint would draw it.
TEST(ScanningIllustration, RepaintsOfPartOfTheScreenLeaveNothingStaleAndDrawWhatAFullPaintDraws) {
    ScanningIllustrationView view;
    view.resize(640, 620);
    view.setVolume("Data", int64_t{1} << 40);
    view.setAnimationClock(1.3);
    view.setProgress(ScanProgress{.bytesScanned = int64_t{1} << 36, .filesScanned = 1200});
    auto* bar = view.findChild<QWidget*>();
    ASSERT_NE(bar, nullptr);
    PaintedRegions onView;
    PaintedRegions onBar;
    view.installEventFilter(&onView);
    bar->installEventFilter(&onBar);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    // The bar fades in as figures first arrive; it must have come to rest, or its own next
    // frame, not yet painted, would count as a change left stale.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return onView.painted.contains(view.rect()) &&
               static_cast<FadeEffect*>(bar->graphicsEffect())->opacity() == 1.0;
    }));
    const auto render = [&](const QRegion& region) {
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        // Drawn where it lies: render places the region's corner at the offset given.
        view.render(&image, region.boundingRect().topLeft(), region);
        return image;
    };
    const QImage before = render(view.rect());

    onView.forget();
    onBar.forget();
    view.setProgress(ScanProgress{.bytesScanned = int64_t{1} << 39, .filesScanned = 987'654});
    ASSERT_TRUE(QTest::qWaitFor([&] { return onView.paints > 0 && onBar.paints > 0; }));
    view.removeEventFilter(&onView);
    bar->removeEventFilter(&onBar);
    const QRegion repainted = onView.painted + onBar.painted.translated(bar->pos());
    const QImage after = render(view.rect());
    int changed = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x) {
            if (before.pixel(x, y) == after.pixel(x, y)) continue;
            ++changed;
            ASSERT_TRUE(repainted.contains(QPoint(x, y)))
                << x << "," << y << " changed but was not repainted";
        }
    EXPECT_GT(changed, 0) << "the new figures should show";
    EXPECT_FALSE(repainted.contains(QPoint(0, 0))) << "the whole screen was redrawn";

    for (const QRect part : {view.illustrationBounds(), view.textBounds()}) {
        const QImage partial = render(part);
        for (int y = part.top(); y <= part.bottom(); ++y)
            for (int x = part.left(); x <= part.right(); ++x)
                ASSERT_EQ(partial.pixel(x, y), after.pixel(x, y)) << x << "," << y;
    }
}

} // namespace
} // namespace quillmere
