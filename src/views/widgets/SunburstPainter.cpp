#include "views/widgets/SunburstPainter.hpp"

#include "ui/ColorOpacity.hpp"
#include "ui/Painting.hpp"
#include "ui/ReferenceText.hpp"
#include "ui/StyleColors.hpp"
#include "ui/Theme.hpp"
#include "ui/TooltipFrame.hpp"
#include "views/ColorMath.hpp"
#include "views/SunburstGeometry.hpp"
#include "views/SunburstTexts.hpp"
#include "views/widgets/HsbColor.hpp"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>

namespace quillmere {
namespace {

using views::SunburstSegment;

constexpr double kHoverBoost = 0.05;
constexpr double kOuterRadius = 232;

QColor white(qreal alpha) {
    return withOpacity(Qt::white, alpha);
}
QColor black(qreal alpha) {
    return withOpacity(Qt::black, alpha);
}

void paintLabel(QPainter& painter, const SunburstSegment& segment, QPointF center, double s) {
    const views::SunburstLabel& label = *segment.label;
    const bool dark = views::prefersDarkText(segment.hue, segment.saturation, segment.brightness);
    const QColor nameColor = dark ? black(0.9) : white(0.97);
    const QColor sizeColor = dark ? black(0.62) : white(0.78);
    const views::SunburstFrame frame{{center.x(), center.y()}, s};
    const views::PointD at = frame.pointAt(label.midFraction, label.midRadius);
    painter.save();
    painter.translate(at.x, at.y);
    if (label.rotation != 0) painter.rotate(qRadiansToDegrees(label.rotation));
    reference_text::drawCentered(painter, QPointF(0, -s * label.sizeSize.height / 2),
                                 QString::fromStdString(label.nameText),
                                 {label.nameFontSize, QFont::DemiBold, nameColor}, s);
    reference_text::drawCentered(painter, QPointF(0, s * label.nameSize.height / 2),
                                 QString::fromStdString(label.sizeText),
                                 {label.sizeFontSize, QFont::Normal, sizeColor}, s);
    painter.restore();
}

void paintGauge(QPainter& painter, const views::SunburstLayout& layout, QPointF c, double s, bool dark) {
    const double radius = views::kGaugeRadius * s;
    const QRectF circle(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
    QPen track(withOpacity(Theme::palette(dark).ink, 0.1), views::kGaugeWidth * s, Qt::SolidLine, Qt::FlatCap,
               Qt::MiterJoin);
    track.setMiterLimit(10);
    painter.setPen(track);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(circle);
    const views::QtArcAngles angles = views::gaugeArcAngles(views::capacityGaugeFraction(layout));
    painter.setPen(
        QPen(withOpacity(Theme::accent(dark), 0.55), views::kGaugeWidth * s, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(circle, angles.start16, angles.span16);
}

QPainterPath hubDisc(const SunburstFrameInput& frame) {
    QPainterPath disc;
    disc.addEllipse(frame.center, views::kHubRadius * frame.scale, views::kHubRadius * frame.scale);
    return disc;
}

void paintHubShadow(QPainter& painter, const SunburstFrameInput& frame) {
    const double s = frame.scale;
    painting::paintPathShadow(painter, hubDisc(frame), {black(0.2), 9 * s, QPointF(0, 3 * s)}, frame.dark);
}

// The hub's disc, rim and texts (its shadow apart).
void paintHubBody(QPainter& painter, const SunburstFrameInput& frame) {
    const QPointF c = frame.center;
    const double s = frame.scale;
    const Theme::Palette& palette = Theme::palette(frame.dark);
    const double radius = views::kHubRadius * s;
    const QPainterPath disc = hubDisc(frame);
    QRadialGradient fill(QPointF(c.x(), c.y() - 0.44 * radius), 0.85 * radius);
    fill.setColorAt(0, palette.ringHubCenter);
    fill.setColorAt(1, palette.ringHubEdge);
    painter.fillPath(disc, fill);
    painter.strokePath(disc, QPen(palette.ringHubStroke, 1));

    const StyleColors& colors = StyleColors::of(frame.dark);
    const views::TextMeasurer measure = reference_text::measurer();
    for (const views::HubLine& line :
         views::hubLines(frame.parentName, frame.layout->volumeName, frame.displayedUsedBytes,
                         frame.layout->totalCapacityBytes, &measure)) {
        const reference_text::Style style{line.fontSize, reference_text::qtWeight(line.weight),
                                          colors.text(line.role), line.letterSpacing, line.isFigure};
        reference_text::drawCentered(painter, QPointF(c.x(), c.y() + line.centerY * s),
                                     QString::fromStdString(line.text), style, s);
    }
}

QLinearGradient glossGradient(const SunburstFrameInput& frame) {
    const Theme::Palette& palette = Theme::palette(frame.dark);
    const QPointF c = frame.center;
    const double s = frame.scale;
    QLinearGradient gloss(QPointF(c.x(), c.y() - kOuterRadius * s), QPointF(c.x(), c.y() + kOuterRadius * s));
    gloss.setColorAt(0, palette.ringGlossTop);
    gloss.setColorAt(0.46, withOpacity(palette.ringGlossTop, 0));
    gloss.setColorAt(0.68, withOpacity(palette.ringGlossBottom, 0));
    gloss.setColorAt(1, palette.ringGlossBottom);
    return gloss;
}

// The first drawn arc showing the selected node gets a white outline.
void paintSelectionOutline(QPainter& painter, const SunburstFrameInput& frame) {
    if (!frame.selectedPath) return;
    for (const SunburstSegment& arc : *frame.displayed) {
        if (!arc.node || arc.node->path() != *frame.selectedPath) continue;
        painter.strokePath(sunburstArcPath(arc, frame.center, frame.scale),
                           QPen(white(0.95), 2 * frame.scale));
        return;
    }
}

painting::PathShadowStyle hoverGlowStyle(double scale) {
    return {white(0.55), 8 * scale, QPointF(), 2.5};
}

painting::PathOutlineStyle hoverOutlineStyle() {
    return {white(0.95), 2.5};
}

// The hovered arc of the layout itself (not of a transition) glows, outlined.
void paintHoverGlow(QPainter& painter, const SunburstFrameInput& frame, const views::SunburstLayout& layout) {
    if (!frame.hoveredSegmentID) return;
    for (const SunburstSegment& arc : layout.segments) {
        if (arc.id != *frame.hoveredSegmentID) continue;
        const QPainterPath path = sunburstArcPath(arc, frame.center, frame.scale);
        painting::paintPathShadow(painter, path, hoverGlowStyle(frame.scale), frame.dark);
        painting::paintPathOutline(painter, path, hoverOutlineStyle());
        return;
    }
}

void paintSeam(QPainter& painter, const SunburstFrameInput& frame) {
    const QPointF c = frame.center;
    painter.setPen(QPen(StyleColors::of(frame.dark).separator, 1));
    painter.drawLine(QPointF(c.x(), c.y() - views::kHubRadius * frame.scale),
                     QPointF(c.x(), c.y() - kOuterRadius * frame.scale));
}

} // namespace

QPainterPath sunburstArcPath(const SunburstSegment& segment, QPointF center, double scale) {
    const std::vector<views::PointD> points = views::arcPolygon(segment, {center.x(), center.y()}, scale);
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(points.size()));
    for (const views::PointD& p : points)
        polygon.append(QPointF(p.x, p.y));
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    return path;
}

QColor sunburstArcColor(const SunburstSegment& segment, double boost) {
    return hsbColor(segment.hue, segment.saturation, segment.brightness + boost);
}

bool paintSunburstCanvas(QPainter& painter, const SunburstFrameInput& frame,
                         const std::atomic<bool>* cancelled) {
    const auto isCancelled = [cancelled] { return cancelled && cancelled->load(std::memory_order_relaxed); };
    const views::SunburstLayout& layout = *frame.layout;
    const std::vector<SunburstSegment>& arcs = *frame.displayed;
    const QPointF c = frame.center;
    const double s = frame.scale;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    std::vector<QPainterPath> paths;
    paths.reserve(arcs.size());
    QPainterPath combined;
    combined.setFillRule(Qt::WindingFill);
    for (const SunburstSegment& arc : arcs) {
        paths.push_back(sunburstArcPath(arc, c, s));
        combined.addPath(paths.back());
    }
    // Arcs are simple polygons set apart by their gaps.
    painting::paintPathShadow(
        painter, combined,
        {.color = black(0.22), .blurRadius = 7 * s, .offset = QPointF(0, 3 * s), .partsApart = true},
        frame.dark);

    for (std::size_t i = 0; i < arcs.size(); ++i) {
        if (isCancelled()) break;
        const double boost =
            frame.hoveredSegmentID && arcs[i].id == *frame.hoveredSegmentID ? kHoverBoost : 0;
        painter.fillPath(paths[i], sunburstArcColor(arcs[i], boost));
    }

    // The gloss goes over each arc in turn rather than over all of them as one path: the
    // rasterizer takes the one path of many pieces at three to four times the cost of its
    // pieces, and the pixels are the same but where two arcs' edges share one, by a level
    // or two.
    const QBrush gloss(glossGradient(frame));
    for (std::size_t i = 0; i < arcs.size() && !isCancelled(); ++i)
        painter.fillPath(paths[i], gloss);

    if (views::isCapacityGaugeShown(layout, frame.showsCapacityGauge))
        paintGauge(painter, layout, c, s, frame.dark);

    for (const SunburstSegment& arc : arcs) {
        if (isCancelled()) break;
        if (arc.label) paintLabel(painter, arc, c, s);
    }
    painter.restore();
    return !isCancelled();
}

void prepareSunburstHoverGlows(const SunburstFrameInput& frame, qreal pixelRatio,
                               const std::atomic<bool>* cancelled) {
    // The glow is blurred once per arc; a folder of thousands of arcs keeps its largest ones'.
    constexpr std::size_t kMostArcs = 256;
    const std::vector<SunburstSegment>& arcs = *frame.displayed;
    for (std::size_t i = 0; i < std::min(arcs.size(), kMostArcs); ++i) {
        if (cancelled && cancelled->load(std::memory_order_relaxed)) return;
        const QPainterPath path = sunburstArcPath(arcs[i], frame.center, frame.scale);
        painting::preparePathShadow(path, hoverGlowStyle(frame.scale), frame.dark, pixelRatio);
        painting::preparePathOutline(path, hoverOutlineStyle(), pixelRatio);
    }
}

void paintSunburstSelection(QPainter& painter, const SunburstFrameInput& frame) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintSelectionOutline(painter, frame);
    painter.restore();
}

void paintSunburstBase(QPainter& painter, const SunburstFrameInput& frame) {
    paintSunburstCanvas(painter, frame);
    paintSunburstSelection(painter, frame);
}

void paintSunburstHoveredArc(QPainter& painter, const SunburstFrameInput& frame) {
    if (!frame.hoveredSegmentID) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (const SunburstSegment& arc : *frame.displayed) {
        if (arc.id != *frame.hoveredSegmentID) continue;
        const QPainterPath path = sunburstArcPath(arc, frame.center, frame.scale);
        painter.fillPath(path, sunburstArcColor(arc, kHoverBoost));
        painter.fillPath(path, glossGradient(frame));
        if (arc.label) paintLabel(painter, arc, frame.center, frame.scale);
        // The outline stays within the gap around its own arc: only that arc needs it again.
        if (arc.node && frame.selectedPath && arc.node->path() == *frame.selectedPath)
            paintSelectionOutline(painter, frame);
        break;
    }
    painter.restore();
}

void paintSunburstGlowAndSeam(QPainter& painter, const SunburstFrameInput& frame) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintHoverGlow(painter, frame, *frame.layout);
    paintSeam(painter, frame);
    painter.restore();
}

void paintSunburstHub(QPainter& painter, const SunburstFrameInput& frame) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintHubShadow(painter, frame);
    paintHubBody(painter, frame);
    painter.restore();
}

void paintSunburstTooltip(QPainter& painter, const SunburstFrameInput& frame) {
    if (!frame.tooltip) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    TooltipFrame(*frame.tooltip).paint(painter, frame.tooltipCenter, frame.dark);
    painter.restore();
}

QRectF sunburstHubBounds(const SunburstFrameInput& frame) {
    // The shadow reaches three deviations of its blur, plus its offset, past the disc.
    const double reach = (views::kHubRadius + 20) * frame.scale + 2;
    return QRectF(frame.center - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach));
}

void paintSunburstTop(QPainter& painter, const SunburstFrameInput& frame, bool withHub) {
    paintSunburstGlowAndSeam(painter, frame);
    if (withHub) paintSunburstHub(painter, frame);
    paintSunburstTooltip(painter, frame);
}

void paintSunburst(QPainter& painter, const SunburstFrameInput& frame) {
    paintSunburstBase(painter, frame);
    paintSunburstTop(painter, frame);
}

} // namespace quillmere
