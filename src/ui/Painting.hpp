#pragma once

#include <QColor>
#include <QImage>
#include <QMarginsF>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QTransform>
#include <cstdint>

class QPainter;

// Shapes and shadows shared by the kit's widgets and by screens that paint their own.
class QWidget;

namespace quillmere::painting {

// A rounded rectangle whose corners ease into the straight edges (curvature stays continuous)
// instead of meeting them at a circular arc's abrupt join. The easing needs about 1.53 × radius
// of each edge; a radius too large for that falls back to circular corners of at most half the
// shorter side.
QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius);

// Whether `widget` draws its focus ring: it has the focus and its window has seen the keyboard
// move the focus (or was told focus is shown from the start), as the platform's controls do.
bool showsFocusRing(const QWidget* widget);

// The outline that a stroke of `width` follows so that the whole line lies inside `rect`:
// the rectangle inset by half the width, its radius reduced by as much.
QPainterPath strokeBorderPath(const QRectF& rect, qreal radius, qreal width);

// A soft shadow of a continuous rounded rectangle: `blurRadius` is the reach of the blur
// (a Gaussian of standard deviation blurRadius / 2), `offset` moves it. The blurred image is
// rendered at reduced resolution and cached by size, radius, blur and colour, so repaints of
// an unchanged shape cost one image draw.
void paintRoundedShadow(QPainter& painter, const QRectF& shape, qreal cornerRadius, const QColor& color,
                        qreal blurRadius, QPointF offset);

// How far beyond the shape such a shadow stays visible on each side.
QMarginsF shadowBleed(qreal blurRadius, QPointF offset);

// The cached shadow image itself: the shape plus `shadowImageMargin(blurRadius)` on every
// side, at whatever resolution the cache chose (drawn scaled into that rectangle).
QImage roundedShadowImage(QSizeF shape, qreal cornerRadius, const QColor& color, qreal blurRadius);
qreal shadowImageMargin(qreal blurRadius);

// A shadow (or, in white, a glow) of any path: filled, or stroked when `strokeWidth` is above
// 0. The blur is cached by the path's shape, its size, the device's pixel ratio and the
// scheme, so a repaint of an unchanged shape (a hover elsewhere) costs one image draw.
struct PathShadowStyle {
    QColor color;
    qreal blurRadius = 0;
    QPointF offset;
    qreal strokeWidth = 0;
    // The filled path's parts are simple polygons that neither overlap nor hold one another
    // (a drawing's pieces side by side): each is then drawn on its own, which takes a fraction
    // of the time one path of hundreds of parts does.
    bool partsApart = false;
};
void paintPathShadow(QPainter& painter, const QPainterPath& path, const PathShadowStyle& style,
                     bool darkScheme);
// Makes and keeps the shadow that paintPathShadow would draw at `pixelRatio`, drawing nothing:
// a worker thread may prepare what a later paint needs at once.
void preparePathShadow(const QPainterPath& path, const PathShadowStyle& style, bool darkScheme,
                       qreal pixelRatio);
// How many path shadows have been blurred so far (the rest came from the cache), for tests.
std::uint64_t pathShadowBlursMade();

// Whether `device` (a painter's device transform) maps points to device pixels by a whole ratio
// of at least 1 and a shift of whole pixels: a picture made at that ratio is then copied pixel
// for pixel, and looks as the drawing it holds would.
bool mapsOntoWholePixels(const QTransform& device);

// A path's outline, as QPainter::strokePath draws it with a plain pen of this colour and width.
// An outline prepared beforehand at the painter's pixel ratio is drawn from its kept picture, one
// image draw: on the main thread, Qt hands an antialiased outline of a large shape to its helper
// threads a band at a time, which costs several times the drawing. The picture serves wherever
// the painter maps the path onto the same fractions of a device pixel as it was prepared at (a
// whole ratio, moved by whole pixels); anything else is stroked as it is painted.
struct PathOutlineStyle {
    QColor color;
    qreal width = 1;
};
void paintPathOutline(QPainter& painter, const QPainterPath& path, const PathOutlineStyle& style);
// Makes and keeps the picture paintPathOutline would draw at `pixelRatio`, drawing nothing: a
// worker thread may prepare what a later paint needs at once. Outlines of small shapes (under
// 128 x 128 device pixels) are left to be stroked as they are painted.
void preparePathOutline(const QPainterPath& path, const PathOutlineStyle& style, qreal pixelRatio);
// How many outlines have been stroked so far, prepared or painted (the rest came from the
// cache), for tests.
std::uint64_t pathOutlinesStroked();

} // namespace quillmere::painting
