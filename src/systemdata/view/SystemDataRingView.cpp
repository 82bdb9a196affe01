#include "systemdata/view/SystemDataRingView.hpp"

#include "base/Format.hpp"
#include "systemdata/view/SystemDataScreenText.hpp"
#include "ui/ColorOpacity.hpp"
#include "ui/Painting.hpp"
#include "ui/Theme.hpp"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace quillmere {

namespace text = systemdata_screen_text;

namespace {

QPainterPath wedgePath(const RingGeometry& ring, const SystemDataSlice& slice) {
    QPainterPath path;
    const std::vector<RingPoint> points = wedgePolygon(ring, slice.startFraction, slice.endFraction);
    if (points.empty()) return path;
    QPolygonF polygon;
    for (const RingPoint& point : points)
        polygon << QPointF(point.x, point.y);
    path.addPolygon(polygon);
    path.closeSubpath();
    return path;
}

void drawCentered(QPainter& painter, QPointF at, const QString& line, const QFont& font,
                  const QColor& color) {
    painter.setFont(font);
    painter.setPen(color);
    const QFontMetricsF metrics(font);
    const double width = metrics.horizontalAdvance(line);
    painter.drawText(
        QRectF(at.x() - width / 2 - 2, at.y() - metrics.height() / 2, width + 4, metrics.height()),
        Qt::AlignCenter, line);
}

} // namespace

SystemDataRingView::SystemDataRingView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void SystemDataRingView::setContent(std::vector<SystemDataSlice> slices, int64_t totalBytes,
                                    int64_t reclaimableBytes) {
    slices_ = std::move(slices);
    totalBytes_ = totalBytes;
    reclaimableBytes_ = reclaimableBytes;
    update();
}

QColor SystemDataRingView::sliceColor(const SystemDataSlice& slice) {
    if (const Theme::TileStyle* style = Theme::categoryStyle(QString::fromStdString(slice.category.id)))
        return style->gradient.start;
    return QColor::fromRgbF(0.55f, 0.55f, 0.55f);
}

void SystemDataRingView::paint(QPainter& painter, const QRectF& area,
                               const std::vector<SystemDataSlice>& slices, int64_t totalBytes,
                               int64_t reclaimableBytes, bool dark) {
    const Theme::Palette& palette = Theme::palette(dark);
    const double side = std::min(area.width(), area.height());
    const RingGeometry ring = RingGeometry::fitting(side, side);
    const double s = ring.scale;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(area.center() - QPointF(side / 2, side / 2));
    const QPointF c(ring.centerX, ring.centerY);

    QPainterPath visible;
    std::vector<std::pair<QPainterPath, QColor>> wedges;
    for (const SystemDataSlice& slice : slices) {
        QPainterPath wedge = wedgePath(ring, slice);
        if (wedge.isEmpty()) continue;
        visible = visible.united(wedge);
        wedges.emplace_back(std::move(wedge), sliceColor(slice));
    }
    if (!visible.isEmpty()) {
        // The band's shadow, cast by the ring's outline (the hub covers the hole).
        const double outer = ring.outerRadius();
        painting::paintRoundedShadow(painter, QRectF(c.x() - outer, c.y() - outer, 2 * outer, 2 * outer),
                                     outer, QColor(0, 0, 0, 56), 4 * s, QPointF(0, 2 * s));
    }
    painter.setPen(Qt::NoPen);
    for (const auto& [wedge, color] : wedges)
        painter.fillPath(wedge, color);
    if (!visible.isEmpty()) {
        QLinearGradient gloss(QPointF(c.x(), c.y() - 108 * s), QPointF(c.x(), c.y() + 108 * s));
        gloss.setColorAt(0, palette.ringGlossTop);
        gloss.setColorAt(0.46, withOpacity(palette.ringGlossTop, 0));
        gloss.setColorAt(0.68, withOpacity(palette.ringGlossBottom, 0));
        gloss.setColorAt(1, palette.ringGlossBottom);
        painter.fillPath(visible, gloss);
    }
    // The start marker at 12 o'clock.
    painter.setPen(QPen(palette.line, 1));
    painter.drawLine(QPointF(c.x(), c.y() - 68 * s), QPointF(c.x(), c.y() - 108 * s));

    // The hub.
    const double hub = ring.innerRadius();
    const QRectF hubRect(c.x() - hub, c.y() - hub, 2 * hub, 2 * hub);
    painting::paintRoundedShadow(painter, hubRect, hub, QColor(0, 0, 0, 51), 5 * s, QPointF(0, 2 * s));
    QRadialGradient hubFill(QPointF(c.x(), c.y() - 0.44 * hub), 0.85 * hub);
    hubFill.setColorAt(0, palette.ringHubCenter);
    hubFill.setColorAt(1, palette.ringHubEdge);
    painter.setPen(Qt::NoPen);
    painter.setBrush(hubFill);
    painter.drawEllipse(hubRect);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette.ringHubStroke, 1));
    painter.drawEllipse(hubRect);

    drawCentered(painter, QPointF(c.x(), c.y() - 14 * s), text::ringTitle(),
                 Theme::uiFont(13.5 * s, QFont::DemiBold), palette.ink);
    drawCentered(painter, QPointF(c.x(), c.y() + 6 * s),
                 QString::fromStdString(formatByteCount(std::max<int64_t>(totalBytes, 0))),
                 Theme::uiFont(19 * s, QFont::Bold), palette.ink);
    drawCentered(painter, QPointF(c.x(), c.y() + 22 * s),
                 QString::fromStdString(formatByteCount(std::max<int64_t>(reclaimableBytes, 0))) +
                     text::ringReclaimableSuffix(),
                 Theme::uiFont(10 * s), palette.ink2);
    painter.restore();
}

void SystemDataRingView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(rect()), slices_, totalBytes_, reclaimableBytes_, Theme::isDark(this));
}

} // namespace quillmere
