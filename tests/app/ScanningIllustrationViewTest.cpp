#include "app/ScanScreens.hpp"

#include <QImage>
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

} // namespace
} // namespace quillmere
