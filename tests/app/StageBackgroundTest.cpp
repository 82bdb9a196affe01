#include "app/StageBackground.hpp"

#include "ui/BackgroundWork.hpp"
#include "ui/Theme.hpp"

#include <QPainter>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

TEST(StageBackground, ASlowRampIsDitheredNotBanded) {
    // Red climbs from 100 to 101 over 256 pixels: rounded plainly it would jump once, half-way.
    QImage deep(256, 16, QImage::Format_RGBA64);
    for (int y = 0; y < deep.height(); ++y)
        for (int x = 0; x < deep.width(); ++x)
            deep.setPixelColor(x, y, QColor::fromRgba64(quint16(100 * 257 + x), 0, 65535));
    const QImage out = ditheredToRgb32(deep);
    ASSERT_EQ(out.format(), QImage::Format_RGB32);
    // Over each 16-pixel stretch of a 4-row band the share of 101s follows the ramp within a step of the
    // pattern.
    for (int block = 0; block < 16; ++block) {
        int high = 0;
        for (int y = 0; y < 4; ++y)
            for (int x = block * 16; x < block * 16 + 16; ++x) {
                const int red = qRed(out.pixel(x, y));
                ASSERT_TRUE(red == 100 || red == 101) << red;
                high += red == 101;
            }
        const double expected = (block * 16 + 7.5) / 257.0; // the ramp's mean over the stretch
        EXPECT_NEAR(high / 64.0, expected, 1.0 / 16 + 1.0 / 32) << block;
        EXPECT_EQ(qBlue(out.pixel(block * 16, 0)), 255);
    }
}

TEST(StageBackground, IsDrawnInTheAppearancesColours) {
    for (const bool dark : {false, true}) {
        const QImage image = renderStageBackground(QSize(900, 600), dark);
        ASSERT_EQ(image.size(), QSize(900, 600));
        // The top corner away from both glows is the top colour, give or take the dither and the glow's tail.
        const Theme::Palette& palette = Theme::palette(dark);
        const QColor top = image.pixelColor(899, 0);
        EXPECT_LE(std::abs(top.red() - palette.bg1.red()), 12);
        EXPECT_LE(std::abs(top.blue() - palette.bg1.blue()), 12);
    }
}

TEST(StageBackground, AtTwiceThePixelsEveryFrameAndEveryPartIsTheScaledPicture) {
    const QSize size(300, 200);
    const auto target = [&] {
        QImage image(size * 2, QImage::Format_RGB32);
        image.setDevicePixelRatio(2);
        image.fill(Qt::black);
        return image;
    };
    for (const bool dark : {false, true}) {
        QImage expected = target();
        {
            QPainter painter(&expected);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), renderStageBackground(size, dark));
        }
        // The first frame, a later one, and one that repaints only a part of the area.
        for (const QRect clip :
             {QRect(QPoint(0, 0), size), QRect(QPoint(0, 0), size), QRect(40, 30, 90, 70)}) {
            QImage frame = target();
            {
                QPainter painter(&frame);
                painter.setClipRect(clip);
                paintStageBackground(painter, QRectF(QPointF(0, 0), QSizeF(size)), dark);
            }
            const QRect pixels(clip.topLeft() * 2, clip.size() * 2);
            EXPECT_EQ(frame.copy(pixels), expected.copy(pixels)) << dark;
        }
    }
}

// The first picture may be made on a worker while the window is shown; the first paint shows
// it when the window kept that size, and a picture of its own size when it did not.
TEST(StageBackground, APictureMadeAheadIsShownOnlyAtItsOwnSize) {
    const auto painted = [](QSize size, bool dark) {
        QImage frame(size, QImage::Format_RGB32);
        frame.fill(Qt::black);
        QPainter painter(&frame);
        paintStageBackground(painter, QRectF(QPointF(0, 0), QSizeF(size)), dark);
        return frame;
    };
    const auto drawn = [](QSize size, bool dark) {
        QImage frame(size, QImage::Format_RGB32);
        frame.fill(Qt::black);
        QPainter painter(&frame);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), renderStageBackground(size, dark));
        return frame;
    };
    prepareStageBackground(QSize(300, 200), false);
    EXPECT_EQ(painted(QSize(300, 200), false), drawn(QSize(300, 200), false));
    prepareStageBackground(QSize(300, 200), true);
    ASSERT_TRUE(waitForBackgroundWork(60'000));
    EXPECT_EQ(painted(QSize(280, 190), true), drawn(QSize(280, 190), true));
    EXPECT_EQ(painted(QSize(300, 200), true), drawn(QSize(300, 200), true));
}

} // namespace
} // namespace quillmere
