#include "app/StageBackground.hpp"

#include "ui/BackgroundWork.hpp"
#include "ui/ColorOpacity.hpp"
#include "ui/Theme.hpp"

#include <QPainter>
#include <algorithm>
#include <future>
#include <memory>

namespace quillmere {

QImage renderStageBackground(QSize size, bool dark) {
    if (size.isEmpty()) return {};
    // Drawn at 16 bits a channel, then brought to 8 with an ordered dither: the glows change by
    // less than one 8-bit step over dozens of pixels, which plain rounding shows as bands.
    QImage deep(size, QImage::Format_RGBA64_Premultiplied);
    const Theme::Palette& palette = Theme::palette(dark);
    const QRectF area(QPointF(0, 0), QSizeF(size));
    QPainter painter(&deep);
    QLinearGradient backdrop(area.topLeft(), area.bottomLeft());
    backdrop.setColorAt(0, palette.bg1);
    backdrop.setColorAt(1, palette.bg2);
    painter.fillRect(area, backdrop);
    const auto glow = [&](QPointF unit, double radiusFactor, const QColor& colour) {
        const QPointF centre(unit.x() * area.width(), unit.y() * area.height());
        QRadialGradient gradient(centre, radiusFactor * area.width());
        gradient.setColorAt(0, colour);
        gradient.setColorAt(1, withOpacity(colour, 0));
        painter.fillRect(area, gradient);
    };
    glow({0.46, 0.42}, 0.62, palette.glow1);
    glow({0.04, 1.04}, 0.55, palette.glow2);
    painter.end();
    return ditheredToRgb32(deep);
}

QImage ditheredToRgb32(const QImage& deep) {
    // Thresholds of a 4 × 4 Bayer pattern, in 1/32 of an 8-bit step (odd, so none lies on a step).
    static constexpr int kBayer[4][4] = {{1, 17, 5, 21}, {25, 9, 29, 13}, {7, 23, 3, 19}, {31, 15, 27, 11}};
    const QImage source = deep.convertToFormat(QImage::Format_RGBA64_Premultiplied);
    QImage out(source.size(), QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgba64*>(source.constScanLine(y));
        auto* to = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            // value / 257 + threshold / 32, rounded down, in whole numbers.
            const int threshold = kBayer[y & 3][x & 3] * 257;
            const auto channel = [&](int value) {
                return std::min(255, (value * 32 + threshold) / (257 * 32));
            };
            to[x] = qRgb(channel(from[x].red()), channel(from[x].green()), channel(from[x].blue()));
        }
    }
    return out;
}

namespace {

// One picture per appearance, made again only when the size changes. The first may still be in
// the making on a worker (see prepareStageBackground).
struct StagePicture {
    QSize size;
    QImage image;
    std::shared_future<QImage> pending;
};

StagePicture& stagePicture(bool dark) {
    static StagePicture pictures[2];
    return pictures[dark ? 1 : 0];
}

} // namespace

void prepareStageBackground(QSize size, bool dark) {
    StagePicture& slot = stagePicture(dark);
    if (size.isEmpty() || !slot.image.isNull() || slot.pending.valid()) return;
    auto promise = std::make_shared<std::promise<QImage>>();
    slot.size = size;
    slot.pending = promise->get_future().share();
    startBackgroundWork([promise, size, dark] {
        QImage image;
        try {
            image = renderStageBackground(size, dark);
        } catch (...) {
            // The first paint then makes the picture itself.
        }
        promise->set_value(std::move(image));
    });
}

void paintStageBackground(QPainter& painter, const QRectF& area, bool dark) {
    // The picture is made at the area's size in points and scaled to the screen's pixels: the
    // backdrop has no detail to lose, and a picture four times smaller keeps resizing smooth at 2x.
    const QSize size = area.size().toSize();
    StagePicture& slot = stagePicture(dark);
    if (slot.pending.valid()) {
        // Made on a worker from the size the window was shown at; a picture of another size is
        // not waited for.
        if (slot.size == size) {
            try {
                slot.image = slot.pending.get();
            } catch (const std::future_error&) {
                // The work was never run (the application is going); made here instead.
            }
        }
        slot.pending = {};
    }
    if (slot.image.isNull() || slot.size != size)
        slot = StagePicture{size, renderStageBackground(size, dark), {}};
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (ratio == 1 || slot.image.isNull()) {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(area, slot.image);
        painter.restore();
        return;
    }
    // Scaled once to the screen's pixels, so that each frame of an animation over the backdrop
    // copies it instead of filtering it again; only the last size, ratio and appearance stay.
    struct Scaled {
        qint64 sourceKey = 0;
        qreal ratio = 0;
        QImage image;
    };
    static Scaled scaled;
    if (scaled.sourceKey != slot.image.cacheKey() || scaled.ratio != ratio) {
        QImage image(QSizeF(QSizeF(size) * ratio).toSize(), QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        QPainter scaler(&image);
        scaler.setRenderHint(QPainter::SmoothPixmapTransform);
        scaler.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), slot.image);
        scaler.end();
        scaled = Scaled{slot.image.cacheKey(), ratio, std::move(image)};
    }
    painter.drawImage(area, scaled.image);
}

} // namespace quillmere
