#include "views/SunburstGeometry.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quillmere::views {

namespace {
constexpr double kTwoPi = 2 * std::numbers::pi;
// Half the gap between neighbouring arcs at their inner edge, in points.
constexpr double kHalfGap = 1.1;
} // namespace

SunburstFrame SunburstFrame::of(SizeD size) {
    return {{size.width / 2, size.height / 2}, std::min(size.width, size.height) / kReferenceSide};
}

PointD SunburstFrame::pointAt(double fraction, double radius) const {
    const double a = kTwoPi * fraction;
    return {center.x + radius * scale * std::sin(a), center.y - radius * scale * std::cos(a)};
}

double SunburstFrame::referenceRadius(PointD point) const {
    const double dx = (point.x - center.x) / scale;
    const double dy = (point.y - center.y) / scale;
    return std::sqrt(dx * dx + dy * dy);
}

std::optional<int> ringAtRadius(double r) {
    for (int ring = 0; ring < kRingCount; ++ring)
        if (kRings[ring].inner <= r && r <= kRings[ring].outer) return ring;
    return std::nullopt;
}

const SunburstSegment* hitTest(PointD point, SizeD size, const std::vector<SunburstSegment>& segments) {
    if (std::min(size.width, size.height) <= 0) return nullptr;
    const SunburstFrame frame = SunburstFrame::of(size);
    const double dx = (point.x - frame.center.x) / frame.scale;
    const double dy = (point.y - frame.center.y) / frame.scale;
    const double r = std::sqrt(dx * dx + dy * dy);
    if (r <= kHubRadius) return nullptr;
    const std::optional<int> ring = ringAtRadius(r);
    if (!ring) return nullptr;
    double angle = std::atan2(dx, -dy);
    if (angle < 0) angle += kTwoPi;
    const double f = angle / kTwoPi;
    for (const SunburstSegment& segment : segments)
        if (segment.ring == *ring && segment.startFraction <= f && f < segment.endFraction) return &segment;
    return nullptr;
}

std::vector<PointD> arcPolygon(const SunburstSegment& segment, PointD center, double scale) {
    const int ring = std::clamp(segment.ring, 0, kRingCount - 1);
    const double inner = kRings[ring].inner;
    const double outer = kRings[ring].outer;
    double a0 = segment.startFraction;
    double a1 = segment.endFraction;
    const double span = a1 - a0;
    const double circumference = kTwoPi * scale * inner;
    double gap = 0;
    if (circumference > 0) {
        const double g = kHalfGap / circumference;
        if (2 * g < span) gap = std::min(0.05 * span, g);
    }
    a0 += gap;
    a1 -= gap;
    // Whole 2° steps of the remaining sweep.
    const int steps = std::max(1, static_cast<int>(std::trunc((a1 - a0) * kTwoPi / (std::numbers::pi / 90))));
    const SunburstFrame frame{center, scale};
    std::vector<PointD> points;
    points.reserve(2 * (steps + 1));
    for (int i = 0; i <= steps; ++i)
        points.push_back(frame.pointAt(a0 + (a1 - a0) * i / steps, outer));
    points.push_back(frame.pointAt(a1, inner));
    for (int i = steps - 1; i >= 0; --i)
        points.push_back(frame.pointAt(a0 + (a1 - a0) * i / steps, inner));
    return points;
}

std::optional<PointD> anchorPoint(const SunburstSegment& segment, SizeD size) {
    if (std::min(size.width, size.height) <= 0 || segment.ring > 2 || segment.ring < 0) return std::nullopt;
    const double mid = (segment.startFraction + segment.endFraction) / 2;
    return SunburstFrame::of(size).pointAt(mid, kRings[segment.ring].middle());
}

PointD recenterTarget(SizeD size, double detailsPanelInset, const std::optional<std::string>& selectedPath,
                      const std::vector<SunburstSegment>& segments) {
    if (detailsPanelInset <= 0 || !selectedPath) return {};
    for (const SunburstSegment& segment : segments) {
        if (!segment.node || segment.node->path() != *selectedPath) continue;
        const std::optional<PointD> anchor = anchorPoint(segment, size);
        if (!anchor) return {};
        return recenterShift(size, detailsPanelInset, *anchor);
    }
    return {};
}

PointD recenterShift(SizeD size, double detailsPanelInset, PointD anchor) {
    return {(size.width - detailsPanelInset) / 2 - anchor.x, size.height / 2 - anchor.y};
}

PointD roundedOffset(PointD offset) {
    return {std::round(offset.x), std::round(offset.y)};
}

bool isCapacityGaugeShown(const SunburstLayout& layout, bool showsCapacityGauge) {
    return showsCapacityGauge && !layout.isScanningNow && layout.usedBytes >= 1 &&
           layout.usedBytes < layout.totalCapacityBytes;
}

double capacityGaugeFraction(const SunburstLayout& layout) {
    if (layout.totalCapacityBytes <= 0) return 0;
    return static_cast<double>(layout.usedBytes) / static_cast<double>(layout.totalCapacityBytes);
}

QtArcAngles gaugeArcAngles(double fraction) {
    return {90 * 16, -static_cast<int>(std::lround(360.0 * fraction * 16))};
}

SunburstHover hoverAt(PointD point, SizeD size, const SunburstLayout& layout, bool showsCapacityGauge) {
    SunburstHover hover;
    if (const SunburstSegment* hit = hitTest(point, size, layout.segments)) {
        hover.hoveredSegmentID = hit->id;
        hover.hoverLocation = point;
        return hover;
    }
    if (std::min(size.width, size.height) <= 0 || !isCapacityGaugeShown(layout, showsCapacityGauge))
        return hover;
    const double r = SunburstFrame::of(size).referenceRadius(point);
    if (kGaugeHoverInner <= r && r <= kGaugeHoverOuter) {
        hover.isHoveringCapacityGauge = true;
        hover.hoverLocation = point;
    }
    return hover;
}

} // namespace quillmere::views
