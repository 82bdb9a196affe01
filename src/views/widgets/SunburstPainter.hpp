#pragma once

#include "views/SunburstLayout.hpp"
#include "views/Tooltip.hpp"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

class QPainter;
class QPainterPath;

namespace quillmere {

// Everything one frame of the sunburst shows.
struct SunburstFrameInput {
    // Centre of the rings (pan included) and the reference-to-point scale.
    QPointF center;
    double scale = 1;
    const views::SunburstLayout* layout = nullptr;
    // The arcs to draw: the layout's own, or a transition's interpolated ones.
    const std::vector<views::SunburstSegment>* displayed = nullptr;
    std::optional<std::string> hoveredSegmentID;
    std::optional<std::string> selectedPath;
    std::optional<std::string> parentName;
    bool showsCapacityGauge = true;
    double displayedUsedBytes = 0;
    bool dark = false;
    // The tooltip and where its centre goes, in the painter's coordinates.
    std::optional<views::TooltipContent> tooltip;
    QPointF tooltipCenter;
};

// One arc's outline at `center` and `scale`.
QPainterPath sunburstArcPath(const views::SunburstSegment& segment, QPointF center, double scale);

// The fill colour of an arc, `boost` brighter (capped at full brightness).
QColor sunburstArcColor(const views::SunburstSegment& segment, double boost = 0);

// Draws the whole canvas: shadow, arcs, gloss, gauge, labels, selection, hover glow, seam,
// hub and its texts, then the tooltip. It is the base followed by the top.
void paintSunburst(QPainter& painter, const SunburstFrameInput& frame);

// What lies under the hover glow: shadow, arcs (the hovered one brighter), gloss, gauge,
// labels and the selection outline: the canvas followed by the selection.
void paintSunburstBase(QPainter& painter, const SunburstFrameInput& frame);
// The rings as a view caches them: shadow, arcs, gloss, gauge and labels, neither selection nor
// hover. It touches nothing but its arguments, so it may run on a worker thread; it stops early,
// returning false, once `cancelled` is set.
bool paintSunburstCanvas(QPainter& painter, const SunburstFrameInput& frame,
                         const std::atomic<bool>* cancelled = nullptr);
// Blurs the hover glow of each displayed arc ahead of a hover at `pixelRatio` (the glow itself
// lies wherever the arc is drawn). For a worker thread; it stops once `cancelled` is set.
void prepareSunburstHoverGlows(const SunburstFrameInput& frame, qreal pixelRatio,
                               const std::atomic<bool>* cancelled = nullptr);
// The white outline of the selected arc; it stays within the gap around that arc.
void paintSunburstSelection(QPainter& painter, const SunburstFrameInput& frame);
// Over a base drawn without hover: the hovered arc brighter, with its gloss, its label and the
// selection outline; then the top gives the same picture as the whole frame.
void paintSunburstHoveredArc(QPainter& painter, const SunburstFrameInput& frame);
// What lies over the arcs: the hover glow, the seam, the hub with its shadow and texts, and
// the tooltip. A repaint that does not reach the hub may leave it out (`withHub` false).
void paintSunburstTop(QPainter& painter, const SunburstFrameInput& frame, bool withHub = true);
// The top's three layers, in the order it draws them.
void paintSunburstGlowAndSeam(QPainter& painter, const SunburstFrameInput& frame);
void paintSunburstHub(QPainter& painter, const SunburstFrameInput& frame);
void paintSunburstTooltip(QPainter& painter, const SunburstFrameInput& frame);
// Everything the hub and its shadow may touch.
QRectF sunburstHubBounds(const SunburstFrameInput& frame);

} // namespace quillmere
