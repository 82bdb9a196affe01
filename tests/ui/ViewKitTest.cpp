#include "UiTestSupport.hpp"
#include "ui/Painting.hpp"
#include "ui/ReferenceText.hpp"
#include "ui/StyleColors.hpp"
#include "ui/Theme.hpp"
#include "ui/TooltipFrame.hpp"

#include <QPainter>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>
#include <vector>

namespace quillmere {
namespace {

QImage shadowAt(QPointF topLeft, qreal strokeWidth = 0) {
    QImage image = test::transparentImage(200, 160);
    QPainter painter(&image);
    QPainterPath path;
    path.addEllipse(QRectF(topLeft, QSizeF(50, 30)));
    painting::paintPathShadow(painter, path, {QColor(0, 0, 0, 200), 8, QPointF(0, 3), strokeWidth}, false);
    return image;
}

TEST(PathShadow, TheSameShapeElsewhereCastsTheSameShadowMovedWithIt) {
    const QImage first = shadowAt({30, 30});
    const QImage moved = shadowAt({90, 70});
    const QRect a = test::inkBounds(first);
    const QRect b = test::inkBounds(moved);
    ASSERT_FALSE(a.isEmpty());
    EXPECT_EQ(b.topLeft() - a.topLeft(), QPoint(60, 40));
    EXPECT_EQ(a.size(), b.size());
    // Centred under the shape, 3 points lower.
    EXPECT_NEAR(a.center().x(), 55, 1.5);
    EXPECT_NEAR(a.center().y(), 48, 1.5);
    // Soft: darkest under the middle, fading outwards.
    EXPECT_GT(qAlpha(first.pixel(55, 48)), qAlpha(first.pixel(55, a.bottom() - 2)));
    // A stroked outline casts a ring: clear in the middle of a larger shape.
    QImage ring = test::transparentImage(200, 160);
    {
        QPainter painter(&ring);
        QPainterPath path;
        path.addEllipse(QRectF(20, 20, 140, 120));
        painting::paintPathShadow(painter, path, {QColor(0, 0, 0, 200), 4, QPointF(), 2}, false);
    }
    EXPECT_EQ(qAlpha(ring.pixel(90, 80)), 0);
    EXPECT_GT(qAlpha(ring.pixel(20, 80)), 0);
}

// A wedge of a ring, as the sunburst's arcs are: many short edges and four corners.
QPainterPath wedge(QPointF center, qreal outer = 150) {
    QPolygonF polygon;
    for (int i = 0; i <= 40; ++i)
        polygon << center + QPointF(outer * std::cos(i * 0.03), outer * std::sin(i * 0.03));
    for (int i = 40; i >= 0; --i)
        polygon << center + QPointF(outer / 2 * std::cos(i * 0.03), outer / 2 * std::sin(i * 0.03));
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    return path;
}

// The outline painted over a grey ground at `ratio`, through `paint`, with `transform` applied.
QImage outlined(qreal ratio, const QTransform& transform, const std::function<void(QPainter&)>& paint) {
    QImage image(QSize(200, 200) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(QColor(90, 110, 130));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(transform);
    paint(painter);
    return image;
}

int differingPixels(const QImage& a, const QImage& b, int tolerance) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += !test::near(a.pixelColor(x, y), b.pixelColor(x, y), tolerance);
    return count;
}

// The sunburst's rings: wedges side by side, a hairline apart, as one path of many parts.
TEST(PathShadow, PartsSideBySideCastTheShadowOfTheirUnionWhenDrawnOneByOne) {
    QPainterPath rings;
    rings.setFillRule(Qt::WindingFill);
    const QPointF center(100, 100);
    for (int ring = 0; ring < 3; ++ring) {
        const qreal inner = 20 + ring * 25;
        for (int part = 0; part < 12; ++part) {
            const qreal from = part * 0.5 + 0.005;
            const qreal to = (part + 1) * 0.5 - 0.005;
            QPolygonF polygon;
            for (int i = 0; i <= 10; ++i)
                polygon << center + QPointF((inner + 24) * std::cos(from + (to - from) * i / 10),
                                            (inner + 24) * std::sin(from + (to - from) * i / 10));
            for (int i = 10; i >= 0; --i)
                polygon << center + QPointF(inner * std::cos(from + (to - from) * i / 10),
                                            inner * std::sin(from + (to - from) * i / 10));
            rings.addPolygon(polygon);
            rings.closeSubpath();
        }
    }
    const auto shadow = [&](bool partsApart, qreal ratio) {
        QImage image(QSize(200, 200) * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painting::paintPathShadow(painter, rings,
                                  {.color = QColor(0, 0, 0, 56),
                                   .blurRadius = 7,
                                   .offset = QPointF(0, 3),
                                   .partsApart = partsApart},
                                  false);
        return image;
    };
    for (const qreal ratio : {1.0, 2.0}) {
        const QImage whole = shadow(false, ratio);
        const QImage apart = shadow(true, ratio);
        ASSERT_GT(qAlpha(whole.pixel(QPoint(100, 60) * ratio)), 20); // under the rings
        int differing = 0;
        for (int y = 0; y < whole.height(); ++y)
            for (int x = 0; x < whole.width(); ++x)
                differing += std::abs(qAlpha(whole.pixel(x, y)) - qAlpha(apart.pixel(x, y))) > 2;
        EXPECT_EQ(differing, 0) << "at " << ratio << "x";
    }
}

TEST(PathOutline, APreparedOutlineDrawsWhatAStrokeDrawsAndServesOnlyOnTheSameFractionsOfAPixel) {
    const painting::PathOutlineStyle style{QColor(255, 255, 255, 242), 2.5};
    const QPainterPath path = wedge({20.3, 30.7});
    const auto stroked = [&](const QPainterPath& shape) {
        return [&, shape](QPainter& painter) { painter.strokePath(shape, QPen(style.color, style.width)); };
    };
    const auto viaOutline = [&](const QPainterPath& shape) {
        return [&, shape](QPainter& painter) { painting::paintPathOutline(painter, shape, style); };
    };
    for (const qreal ratio : {1.0, 2.0}) {
        // Prepared where it lies in another picture: moved by whole device pixels.
        painting::preparePathOutline(path.translated(QPointF(-13, 6) / ratio), style, ratio);
        const auto strokes = painting::pathOutlinesStroked();
        const QImage drawn = outlined(ratio, {}, viaOutline(path));
        EXPECT_EQ(painting::pathOutlinesStroked(), strokes) << ratio << ": the kept picture serves";
        const QImage expected = outlined(ratio, {}, stroked(path));
        EXPECT_FALSE(test::inkBounds(drawn).isEmpty());
        EXPECT_EQ(differingPixels(drawn, expected, 1), 0) << ratio;

        // A painter moved by whole points still lands on the same fractions of a pixel.
        const QTransform moved = QTransform::fromTranslate(7, -4);
        EXPECT_EQ(differingPixels(outlined(ratio, moved, viaOutline(path)),
                                  outlined(ratio, moved, stroked(path)), 1),
                  0)
            << ratio;
        EXPECT_EQ(painting::pathOutlinesStroked(), strokes) << ratio;
    }
    // The same shape a quarter of a pixel over, a ratio between whole ones and a turned painter
    // find no picture, nor does a small shape, prepared or not: they are stroked as painted, and
    // look it.
    const QPainterPath small = wedge({20.3, 30.7}, 60);
    painting::preparePathOutline(small, style, 1.0);
    const std::vector<std::tuple<qreal, QTransform, QPainterPath>> others{
        {1.0, QTransform(), path.translated(0.25, 0)},
        {1.5, QTransform(), path},
        {1.0, QTransform().rotate(3), path},
        {1.0, QTransform(), small},
    };
    for (const auto& [ratio, transform, shape] : others) {
        const auto strokes = painting::pathOutlinesStroked();
        const QImage drawn = outlined(ratio, transform, viaOutline(shape));
        EXPECT_EQ(painting::pathOutlinesStroked(), strokes + 1) << ratio;
        EXPECT_EQ(differingPixels(drawn, outlined(ratio, transform, stroked(shape)), 1), 0) << ratio;
    }
}

TEST(ReferenceText, DrawnCentredAtAnyScaleWithEqualWidthDigitsOnRequest) {
    const reference_text::Style style{20, QFont::Bold, Qt::black};
    for (const qreal scale : {0.5, 1.0, 2.5}) {
        QImage image = test::transparentImage(300, 200);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            reference_text::drawCentered(painter, QPointF(150, 100), "Hg 88", style, scale);
        }
        const QRect ink = test::inkBounds(image);
        ASSERT_FALSE(ink.isEmpty()) << scale;
        EXPECT_NEAR(ink.center().x(), 150, 2 + scale) << scale;
        // The ink's width follows the scale: what fits at one size fits at all.
        EXPECT_NEAR(ink.width(), reference_text::width("Hg 88", style) * scale, 3 + scale) << scale;
    }
    const reference_text::Style figures{20, QFont::Bold, Qt::black, 0, true};
    EXPECT_DOUBLE_EQ(reference_text::width("111", figures), reference_text::width("888", figures));
    EXPECT_GE(reference_text::width("111", figures), reference_text::width("111", style));
    // Measured at the reference size, whatever size it will be drawn at.
    const QSizeF measured = reference_text::measure("Photos", 11, QFont::DemiBold);
    EXPECT_GT(measured.width(), 20);
    EXPECT_LT(measured.width(), 60);
    EXPECT_NEAR(measured.height(), 11 * 1.2, 11 * 0.3);
    const views::TextSize viaMeasurer = reference_text::measurer()("Photos", 11, views::FontWeight::semibold);
    EXPECT_EQ(viaMeasurer.width, measured.width());
}

TEST(TooltipFrame, IdealSizeAroundItsLinesOnTheWindowBackground) {
    const views::TooltipContent content{
        {{"Photos", 12, views::FontWeight::semibold, views::TextRole::primary},
         {"250 bytes", 11, views::FontWeight::regular, views::TextRole::secondary}}};
    const TooltipFrame frame(content);
    const qreal lines = reference_text::measure("Photos", 12, QFont::DemiBold).height() +
                        reference_text::measure("250 bytes", 11, QFont::Normal).height() + 2;
    EXPECT_NEAR(frame.size().height(), lines + 14, 1e-9);
    EXPECT_NEAR(frame.size().width(),
                std::max(reference_text::measure("Photos", 12, QFont::DemiBold).width(),
                         reference_text::measure("250 bytes", 11, QFont::Normal).width()) +
                    20,
                1e-9);
    for (const bool dark : {false, true}) {
        QImage image(300, 200, QImage::Format_ARGB32_Premultiplied);
        image.fill(dark ? Qt::white : Qt::black);
        {
            QPainter painter(&image);
            frame.paint(painter, QPointF(150, 100), dark);
        }
        const QRectF card = frame.rectAt(QPointF(150, 100));
        // Inside the margin the card is the window background.
        const QColor inside = image.pixelColor(int(card.right()) - 4, int(card.bottom()) - 3);
        EXPECT_TRUE(test::near(inside, StyleColors::of(dark).windowBackground, 2))
            << inside.name().toStdString();
    }
    EXPECT_EQ(StyleColors::of(true).windowBackground, Theme::dark().bg1);
    EXPECT_NEAR(StyleColors::of(false).quaternary.alphaF(), Theme::light().ink3.alphaF() * 0.5, 1.0 / 255);
}

} // namespace
} // namespace quillmere
