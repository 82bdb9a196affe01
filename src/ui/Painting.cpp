#include "ui/Painting.hpp"

#include <QCache>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <functional>
#include <mutex>
#include <vector>

namespace quillmere::painting {

namespace {

// Control-point factors of the eased corner, as fractions of the radius measured from the
// corner along each edge.
constexpr qreal kEdgeReach = 1.52866483;
constexpr qreal kC1 = 1.08849323;
constexpr qreal kC2 = 0.86840689;
constexpr qreal kJoinA = 0.63149399;
constexpr qreal kJoinB = 0.07491100;
constexpr qreal kArcA = 0.37282392;
constexpr qreal kArcB = 0.16905899;

// Blurring the shape at full resolution would cost time proportional to its area on every
// new size; a few pixels per standard deviation keep the softness and cost very little.
constexpr qreal kPixelsPerSigma = 3.0;
constexpr qreal kPathPixelsPerSigma = 2.0;

// Box sizes whose three successive passes approximate a Gaussian of the given deviation.
std::array<int, 3> boxSizes(qreal sigma) {
    constexpr int n = 3;
    const qreal ideal = std::sqrt(12 * sigma * sigma / n + 1);
    int lower = static_cast<int>(std::floor(ideal));
    if (lower % 2 == 0) --lower;
    lower = std::max(lower, 1);
    const int upper = lower + 2;
    const qreal split = (12 * sigma * sigma - n * lower * lower - 4 * n * lower - 3 * n) / (-4.0 * lower - 4);
    const int m = static_cast<int>(std::lround(split));
    std::array<int, 3> sizes{};
    for (int i = 0; i < n; ++i)
        sizes[i] = i < m ? lower : upper;
    return sizes;
}

// One running-sum pass along rows (stride 1) or columns (stride width); outside is empty.
void boxPass(std::vector<float>& data, std::vector<float>& scratch, int width, int height, int radius,
             bool alongRows) {
    if (radius <= 0) return;
    const int lines = alongRows ? height : width;
    const int length = alongRows ? width : height;
    const int step = alongRows ? 1 : width;
    const float scale = 1.0f / float(2 * radius + 1);
    for (int line = 0; line < lines; ++line) {
        const int base = alongRows ? line * width : line;
        float sum = 0;
        for (int i = 0; i <= radius && i < length; ++i)
            sum += data[base + i * step];
        for (int i = 0; i < length; ++i) {
            scratch[i] = sum * scale;
            const int enter = i + radius + 1;
            const int leave = i - radius;
            if (enter < length) sum += data[base + enter * step];
            if (leave >= 0) sum -= data[base + leave * step];
        }
        for (int i = 0; i < length; ++i)
            data[base + i * step] = scratch[i];
    }
}

// The blurred silhouette of whatever `paintShape` fills, over an area of `full` logical units
// drawn at `scale` pixels per unit, tinted with `color`.
QImage blurShape(QSizeF full, qreal scale, qreal sigma, const QColor& color,
                 const std::function<void(QPainter&)>& paintShape) {
    const int width = std::max(1, static_cast<int>(std::ceil(full.width() * scale)));
    const int height = std::max(1, static_cast<int>(std::ceil(full.height() * scale)));

    QImage mask(width, height, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(width / full.width(), height / full.height());
        paintShape(p);
    }

    std::vector<float> alpha(std::size_t(width) * height);
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        for (int x = 0; x < width; ++x)
            alpha[std::size_t(y) * width + x] = qAlpha(line[x]) / 255.0f;
    }
    std::vector<float> scratch(std::max(width, height));
    for (int box : boxSizes(sigma * scale)) {
        boxPass(alpha, scratch, width, height, (box - 1) / 2, true);
        boxPass(alpha, scratch, width, height, (box - 1) / 2, false);
    }

    QImage out(width, height, QImage::Format_ARGB32_Premultiplied);
    const QRgb rgba = color.rgba();
    const float colorAlpha = qAlpha(rgba) / 255.0f;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const float a = std::clamp(alpha[std::size_t(y) * width + x] * colorAlpha, 0.0f, 1.0f);
            line[x] = qPremultiply(qRgba(qRed(rgba), qGreen(rgba), qBlue(rgba), qRound(a * 255)));
        }
    }
    return out;
}

QImage renderShadow(QSizeF shape, qreal cornerRadius, const QColor& color, qreal blurRadius) {
    const qreal sigma = std::max(blurRadius / 2, 0.0);
    const qreal margin = shadowImageMargin(blurRadius);
    const qreal scale = sigma > kPixelsPerSigma ? kPixelsPerSigma / sigma : 1.0;
    const QSizeF full(shape.width() + 2 * margin, shape.height() + 2 * margin);
    return blurShape(full, scale, sigma, color, [&](QPainter& p) {
        p.fillPath(continuousRoundedRect(QRectF(QPointF(margin, margin), shape), cornerRadius), Qt::black);
    });
}

// A key for a path's shape, independent of where it lies: its elements relative to the
// corner of its bounds, to 1/64 of a unit.
size_t shapeHash(const QPainterPath& path, QPointF origin) {
    std::vector<qint32> coordinates;
    coordinates.reserve(std::size_t(path.elementCount()) * 3);
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        coordinates.push_back(static_cast<qint32>(e.type));
        coordinates.push_back(static_cast<qint32>(std::lround((e.x - origin.x()) * 64)));
        coordinates.push_back(static_cast<qint32>(std::lround((e.y - origin.y()) * 64)));
    }
    return qHashBits(coordinates.data(), coordinates.size() * sizeof(qint32));
}

} // namespace

bool showsFocusRing(const QWidget* widget) {
    return widget->hasFocus() && widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius) {
    QPainterPath path;
    const qreal shorter = std::min(rect.width(), rect.height());
    radius = std::max(radius, 0.0);
    if (radius <= 0 || shorter <= 0) {
        path.addRect(rect);
        return path;
    }
    if (radius * kEdgeReach > shorter / 2) {
        const qreal r = std::min(radius, shorter / 2);
        path.addRoundedRect(rect, r, r);
        return path;
    }
    const qreal l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
    const qreal k = radius;
    path.moveTo(l + kEdgeReach * k, t);
    // Top edge into the top-right corner, then each corner in turn, clockwise.
    path.lineTo(r - kEdgeReach * k, t);
    path.cubicTo(r - kC1 * k, t, r - kC2 * k, t, r - kJoinA * k, t + kJoinB * k);
    path.cubicTo(r - kArcA * k, t + kArcB * k, r - kArcB * k, t + kArcA * k, r - kJoinB * k, t + kJoinA * k);
    path.cubicTo(r, t + kC2 * k, r, t + kC1 * k, r, t + kEdgeReach * k);
    path.lineTo(r, b - kEdgeReach * k);
    path.cubicTo(r, b - kC1 * k, r, b - kC2 * k, r - kJoinB * k, b - kJoinA * k);
    path.cubicTo(r - kArcB * k, b - kArcA * k, r - kArcA * k, b - kArcB * k, r - kJoinA * k, b - kJoinB * k);
    path.cubicTo(r - kC2 * k, b, r - kC1 * k, b, r - kEdgeReach * k, b);
    path.lineTo(l + kEdgeReach * k, b);
    path.cubicTo(l + kC1 * k, b, l + kC2 * k, b, l + kJoinA * k, b - kJoinB * k);
    path.cubicTo(l + kArcA * k, b - kArcB * k, l + kArcB * k, b - kArcA * k, l + kJoinB * k, b - kJoinA * k);
    path.cubicTo(l, b - kC2 * k, l, b - kC1 * k, l, b - kEdgeReach * k);
    path.lineTo(l, t + kEdgeReach * k);
    path.cubicTo(l, t + kC1 * k, l, t + kC2 * k, l + kJoinB * k, t + kJoinA * k);
    path.cubicTo(l + kArcB * k, t + kArcA * k, l + kArcA * k, t + kArcB * k, l + kJoinA * k, t + kJoinB * k);
    path.cubicTo(l + kC2 * k, t, l + kC1 * k, t, l + kEdgeReach * k, t);
    path.closeSubpath();
    return path;
}

QPainterPath strokeBorderPath(const QRectF& rect, qreal radius, qreal width) {
    const qreal inset = width / 2;
    return continuousRoundedRect(rect.adjusted(inset, inset, -inset, -inset), std::max(radius - inset, 0.0));
}

qreal shadowImageMargin(qreal blurRadius) {
    // Three standard deviations: what lies further out is below one step of 8-bit alpha.
    return std::ceil(std::max(blurRadius, 0.0) * 1.5);
}

QMarginsF shadowBleed(qreal blurRadius, QPointF offset) {
    const qreal reach = std::max(blurRadius, 0.0);
    return QMarginsF(std::max(reach - offset.x(), 0.0), std::max(reach - offset.y(), 0.0),
                     std::max(reach + offset.x(), 0.0), std::max(reach + offset.y(), 0.0));
}

QImage roundedShadowImage(QSizeF shape, qreal cornerRadius, const QColor& color, qreal blurRadius) {
    static std::mutex mutex;
    static QCache<QString, QImage> cache(16 * 1024 * 1024);
    const QString key = QStringLiteral("%1x%2 r%3 b%4 c%5")
                            .arg(shape.width(), 0, 'f', 2)
                            .arg(shape.height(), 0, 'f', 2)
                            .arg(cornerRadius, 0, 'f', 2)
                            .arg(blurRadius, 0, 'f', 2)
                            .arg(color.rgba(), 8, 16);
    {
        std::lock_guard lock(mutex);
        if (const QImage* hit = cache.object(key)) return *hit;
    }
    QImage image = renderShadow(shape, cornerRadius, color, blurRadius);
    std::lock_guard lock(mutex);
    cache.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes()));
    return image;
}

void paintRoundedShadow(QPainter& painter, const QRectF& shape, qreal cornerRadius, const QColor& color,
                        qreal blurRadius, QPointF offset) {
    if (shape.isEmpty() || color.alpha() == 0) return;
    const QImage image = roundedShadowImage(shape.size(), cornerRadius, color, blurRadius);
    const qreal margin = shadowImageMargin(blurRadius);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(shape.adjusted(-margin, -margin, margin, margin).translated(offset), image);
    painter.restore();
}

namespace {

// The blurred picture of a path's shadow and where it goes, made once per shape, size, style and
// pixel ratio and kept for the next paint.
struct ShadowPicture {
    QImage image;
    QRectF target;
};

std::atomic<std::uint64_t> pathShadowsBlurred{0};

ShadowPicture pathShadowPicture(const QPainterPath& path, const PathShadowStyle& style, bool darkScheme,
                                qreal pixelRatio) {
    static std::mutex mutex;
    static QCache<QString, QImage> cache(32 * 1024 * 1024);
    const qreal halfStroke = std::max(style.strokeWidth, 0.0) / 2;
    const QRectF bounds = path.controlPointRect().adjusted(-halfStroke, -halfStroke, halfStroke, halfStroke);
    const qreal margin = shadowImageMargin(style.blurRadius);
    const QSizeF full(bounds.width() + 2 * margin, bounds.height() + 2 * margin);
    const qreal sigma = std::max(style.blurRadius / 2, 0.0);
    // Fine detail is lost in the blur anyway: a few pixels per deviation, never beyond the device's.
    // Shadows of whole drawings are large and soft: two pixels per deviation keep them smooth.
    const qreal scale = sigma > 0 ? std::min(pixelRatio, kPathPixelsPerSigma / sigma) : pixelRatio;
    const bool partsApart = style.partsApart && style.strokeWidth <= 0;
    const QString key = QStringLiteral("%1 %2x%3 s%4 w%5 b%6 c%7 %8%9")
                            .arg(shapeHash(path, bounds.topLeft()))
                            .arg(full.width(), 0, 'f', 2)
                            .arg(full.height(), 0, 'f', 2)
                            .arg(scale, 0, 'f', 3)
                            .arg(style.strokeWidth, 0, 'f', 2)
                            .arg(style.blurRadius, 0, 'f', 2)
                            .arg(style.color.rgba(), 8, 16)
                            .arg(darkScheme ? 'd' : 'l')
                            .arg(partsApart ? 'p' : 'w');
    QImage image;
    {
        std::lock_guard lock(mutex);
        if (const QImage* hit = cache.object(key)) image = *hit;
    }
    if (image.isNull()) {
        pathShadowsBlurred.fetch_add(1, std::memory_order_relaxed);
        const QPointF shift = QPointF(margin, margin) - bounds.topLeft();
        image = blurShape(full, scale, sigma, style.color, [&](QPainter& p) {
            const QPainterPath placed = path.translated(shift);
            if (style.strokeWidth > 0) {
                p.strokePath(placed, QPen(Qt::black, style.strokeWidth));
            } else if (partsApart) {
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::black);
                for (const QPolygonF& part : placed.toSubpathPolygons())
                    p.drawPolygon(part);
            } else {
                p.fillPath(placed, Qt::black);
            }
        });
        std::lock_guard lock(mutex);
        cache.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes()));
    }
    return {image, QRectF(bounds.topLeft() - QPointF(margin, margin) + style.offset, full)};
}

} // namespace

void paintPathShadow(QPainter& painter, const QPainterPath& path, const PathShadowStyle& style,
                     bool darkScheme) {
    if (path.isEmpty() || style.color.alpha() == 0) return;
    const qreal pixelRatio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const ShadowPicture shadow = pathShadowPicture(path, style, darkScheme, pixelRatio);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(shadow.target, shadow.image);
    painter.restore();
}

void preparePathShadow(const QPainterPath& path, const PathShadowStyle& style, bool darkScheme,
                       qreal pixelRatio) {
    if (path.isEmpty() || style.color.alpha() == 0) return;
    pathShadowPicture(path, style, darkScheme, pixelRatio);
}

std::uint64_t pathShadowBlursMade() {
    return pathShadowsBlurred.load(std::memory_order_relaxed);
}

namespace {

std::atomic<std::uint64_t> outlinesStroked{0};

// A small outline is stroked as it is painted, quickly enough: keeping a picture of every one
// would cost memory and keep a worker busy long after the drawing they belong to is shown (the
// many small arcs of a sunburst took five sixths of the time of preparing them all).
constexpr qsizetype kLeastKeptOutlinePixels = 128 * 128;

QPen outlinePen(const PathOutlineStyle& style) {
    return QPen(style.color, style.width);
}

// Where an outline's picture goes, in whole device pixels of the painter's logical space times the
// ratio, and what it is kept under: the path as it lies within those pixels, so that the same
// shape at the same fractions of a pixel anywhere finds it.
struct OutlinePlace {
    QPoint origin;
    QSize pixels;
    QString key;
};

OutlinePlace outlinePlace(const QPainterPath& path, const PathOutlineStyle& style, qreal ratio) {
    // Half the width each side (the joins are bevelled) and a pixel for the antialiased edge.
    const qreal reach = style.width / 2 + 1;
    const QRectF bounds = path.controlPointRect().adjusted(-reach, -reach, reach, reach);
    OutlinePlace place;
    place.origin = QPoint(int(std::floor(bounds.left() * ratio)), int(std::floor(bounds.top() * ratio)));
    place.pixels = QSize(int(std::ceil(bounds.right() * ratio)) - place.origin.x(),
                         int(std::ceil(bounds.bottom() * ratio)) - place.origin.y());
    place.key = QStringLiteral("%1 %2x%3 r%4 w%5 c%6")
                    .arg(shapeHash(path, QPointF(place.origin) / ratio))
                    .arg(place.pixels.width())
                    .arg(place.pixels.height())
                    .arg(ratio, 0, 'f', 3)
                    .arg(style.width, 0, 'f', 2)
                    .arg(style.color.rgba(), 8, 16);
    return place;
}

std::mutex outlineMutex;
QCache<QString, QImage>& outlineCache() {
    static QCache<QString, QImage> cache(32 * 1024 * 1024);
    return cache;
}

} // namespace

bool mapsOntoWholePixels(const QTransform& device) {
    const qreal ratio = device.m11();
    return device.type() <= QTransform::TxScale && ratio >= 1 && ratio == device.m22() &&
           ratio == std::round(ratio) && device.dx() == std::round(device.dx()) &&
           device.dy() == std::round(device.dy());
}

void paintPathOutline(QPainter& painter, const QPainterPath& path, const PathOutlineStyle& style) {
    if (path.isEmpty() || style.color.alpha() == 0) return;
    const QTransform device = painter.deviceTransform();
    const qreal ratio = device.m11();
    // The picture is antialiased, as every outline here is.
    if (mapsOntoWholePixels(device) && painter.testRenderHint(QPainter::Antialiasing)) {
        const OutlinePlace place = outlinePlace(path, style, ratio);
        QImage picture;
        {
            std::lock_guard lock(outlineMutex);
            if (const QImage* hit = outlineCache().object(place.key)) picture = *hit;
        }
        if (!picture.isNull()) {
            painter.drawImage(QPointF(place.origin) / ratio, picture);
            return;
        }
    }
    outlinesStroked.fetch_add(1, std::memory_order_relaxed);
    painter.strokePath(path, outlinePen(style));
}

void preparePathOutline(const QPainterPath& path, const PathOutlineStyle& style, qreal pixelRatio) {
    if (path.isEmpty() || style.color.alpha() == 0 ||
        !mapsOntoWholePixels(QTransform::fromScale(pixelRatio, pixelRatio)))
        return;
    const OutlinePlace place = outlinePlace(path, style, pixelRatio);
    if (qsizetype(place.pixels.width()) * place.pixels.height() < kLeastKeptOutlinePixels) return;
    {
        std::lock_guard lock(outlineMutex);
        if (outlineCache().contains(place.key)) return;
    }
    QImage picture(place.pixels, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull()) return;
    picture.setDevicePixelRatio(pixelRatio);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-QPointF(place.origin) / pixelRatio);
        painter.strokePath(path, outlinePen(style));
    }
    outlinesStroked.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard lock(outlineMutex);
    outlineCache().insert(
        place.key, new QImage(std::move(picture)),
        std::max<qsizetype>(1, qsizetype(place.pixels.width()) * place.pixels.height() * 4));
}

std::uint64_t pathOutlinesStroked() {
    return outlinesStroked.load(std::memory_order_relaxed);
}

} // namespace quillmere::painting
