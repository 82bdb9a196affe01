#pragma once

#include "views/SunburstLayout.hpp"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <atomic>
#include <memory>
#include <vector>

namespace quillmere {

// Where a picture of the rings lies on the device: its top-left device pixel, its size in
// device pixels, and the centre of the rings inside it in points. The origin is a whole device
// pixel, so the picture drawn there matches the rings drawn in place to the pixel.
struct SunburstPicturePlacement {
    QPoint origin;
    QSize pixels;
    qreal ratio = 1;
    QPointF center;
    double scale = 1;
    bool operator==(const SunburstPicturePlacement&) const = default;

    // The picture of the canvas square `canvas` (points) at `ratio` device pixels per point,
    // with a margin for what may reach past the square.
    static SunburstPicturePlacement of(const QRectF& canvas, qreal ratio);
    // Where a picture placed as `drawn` goes when the canvas is now placed as `now`: the same
    // point for an unchanged canvas, scaled about the centre for a resized one.
    static QRectF target(const SunburstPicturePlacement& drawn, const SunburstPicturePlacement& now);
};

// Everything the cached rings depend on.
struct SunburstPictureInput {
    std::shared_ptr<const std::vector<views::SunburstSegment>> arcs;
    // The layout without its segments: the gauge reads its bytes.
    views::SunburstLayout gauge;
    bool showsCapacityGauge = true;
    bool dark = false;
    SunburstPicturePlacement placement;
};

// The rings without hover, selection or hub, drawn into a transparent image at the
// placement's pixel ratio. Thread-safe: it touches nothing but its arguments. A null image
// when `cancelled` was set meanwhile.
QImage drawSunburstPicture(const SunburstPictureInput& input, const std::atomic<bool>* cancelled = nullptr);
// Blurs the hover glows of the picture's arcs ahead of the pointer; thread-safe as well.
void prepareSunburstPictureHoverGlows(const SunburstPictureInput& input,
                                      const std::atomic<bool>* cancelled = nullptr);

} // namespace quillmere
