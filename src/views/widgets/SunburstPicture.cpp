#include "views/widgets/SunburstPicture.hpp"

#include "ui/PictureMemory.hpp"
#include "views/widgets/SunburstPainter.hpp"

#include <QPainter>
#include <cmath>

namespace quillmere {
namespace {

// The shadow and the gauge stay within the canvas square; this keeps a blur's last pixels too.
constexpr double kMarginPoints = 8;

} // namespace

SunburstPicturePlacement SunburstPicturePlacement::of(const QRectF& canvas, qreal ratio) {
    const int margin = static_cast<int>(std::ceil(kMarginPoints * ratio));
    SunburstPicturePlacement placement;
    placement.ratio = ratio;
    placement.origin = QPoint(static_cast<int>(std::floor(canvas.left() * ratio)) - margin,
                              static_cast<int>(std::floor(canvas.top() * ratio)) - margin);
    placement.pixels =
        QSize(static_cast<int>(std::ceil(canvas.right() * ratio)) + margin - placement.origin.x(),
              static_cast<int>(std::ceil(canvas.bottom() * ratio)) + margin - placement.origin.y());
    placement.center = (canvas.center() * ratio - QPointF(placement.origin)) / ratio;
    placement.scale = canvas.width() / views::kReferenceSide;
    return placement;
}

QRectF SunburstPicturePlacement::target(const SunburstPicturePlacement& drawn,
                                        const SunburstPicturePlacement& now) {
    const QSizeF size = QSizeF(drawn.pixels) / drawn.ratio;
    if (drawn.scale <= 0) return QRectF(QPointF(now.origin) / now.ratio, size);
    const double k = now.scale / drawn.scale;
    const QPointF nowCenter = QPointF(now.origin) / now.ratio + now.center;
    return QRectF(nowCenter - drawn.center * k, size * k);
}

namespace {

SunburstFrameInput frameOf(const SunburstPictureInput& input) {
    SunburstFrameInput frame;
    frame.center = input.placement.center;
    frame.scale = input.placement.scale;
    frame.layout = &input.gauge;
    frame.displayed = input.arcs.get();
    frame.showsCapacityGauge = input.showsCapacityGauge;
    frame.dark = input.dark;
    return frame;
}

} // namespace

QImage drawSunburstPicture(const SunburstPictureInput& input, const std::atomic<bool>* cancelled) {
    const SunburstPicturePlacement& placement = input.placement;
    if (placement.pixels.isEmpty() || !input.arcs) return {};
    QImage image = blankPicture(placement.pixels, placement.ratio, PictureSource::own);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    if (!paintSunburstCanvas(painter, frameOf(input), cancelled)) return {};
    return image;
}

void prepareSunburstPictureHoverGlows(const SunburstPictureInput& input, const std::atomic<bool>* cancelled) {
    if (!input.arcs) return;
    prepareSunburstHoverGlows(frameOf(input), input.placement.ratio, cancelled);
}

} // namespace quillmere
