#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QWidget>
#include <cmath>
#include <functional>

namespace quillmere::test {

// The widget as it would appear over an opaque `background`.
inline QImage renderOver(QWidget& widget, const QColor& background) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

inline QImage transparentImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

inline bool near(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// `over` composited onto the opaque `under`.
inline QColor over(const QColor& top, const QColor& under) {
    const qreal a = top.alphaF();
    return QColor::fromRgbF(float(top.redF() * a + under.redF() * (1 - a)),
                            float(top.greenF() * a + under.greenF() * (1 - a)),
                            float(top.blueF() * a + under.blueF() * (1 - a)));
}

inline QColor mix(const QColor& a, const QColor& b, qreal t) {
    return QColor::fromRgbF(
        float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
        float(a.blueF() + (b.blueF() - a.blueF()) * t), float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

inline int countPixels(const QImage& image, const QRect& area, const std::function<bool(QColor)>& test) {
    int count = 0;
    const QRect clipped = area.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y)
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            if (test(image.pixelColor(x, y))) ++count;
    return count;
}

// The smallest rectangle holding every pixel that is not fully transparent.
inline QRect inkBounds(const QImage& image) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 24) bounds |= QRect(x, y, 1, 1);
    return bounds;
}

} // namespace quillmere::test
