#pragma once

#include "views/Geometry.hpp"
#include "views/SunburstLayout.hpp"

#include <optional>
#include <string>
#include <vector>

namespace quillmere::views {

// Where the rings sit in a view of `size`: the centre of the view and the scale that fits
// the reference square into its smaller side.
struct SunburstFrame {
    PointD center;
    double scale = 0;
    static SunburstFrame of(SizeD size);
    // The point at `fraction` of a turn and reference radius `radius`.
    PointD pointAt(double fraction, double radius) const;
    // The distance of `point` from the centre, in reference units.
    double referenceRadius(PointD point) const;
};

// The ring whose band holds reference radius `r`, bounds included; nothing in the hub, the
// gaps and outside ring 2.
std::optional<int> ringAtRadius(double r);

// The arc under `point` in a view of `size`, among `segments` (the layout's own, never the
// interpolated arcs of a transition); nothing in the hub, the gaps and outside.
const SunburstSegment* hitTest(PointD point, SizeD size, const std::vector<SunburstSegment>& segments);

// One arc as a closed polygon: outer edge from start to end in 2° steps, then the inner edge
// back. Neighbouring arcs keep about 2.2 points apart at their inner edge.
std::vector<PointD> arcPolygon(const SunburstSegment& segment, PointD center, double scale);

// The middle of an arc at the middle of its ring, in a view of `size`.
std::optional<PointD> anchorPoint(const SunburstSegment& segment, SizeD size);

// The shift that brings the selected arc's anchor to the middle of what the details panel
// leaves uncovered; zero when there is no panel, no selection or no arc for it.
PointD recenterTarget(SizeD size, double detailsPanelInset, const std::optional<std::string>& selectedPath,
                      const std::vector<SunburstSegment>& segments);

// The shift that brings `anchor` to the middle of the part of a view of `size` that a panel
// `detailsPanelInset` wide at its right edge leaves uncovered.
PointD recenterShift(SizeD size, double detailsPanelInset, PointD anchor);

// The shift as drawn: each component rounded to the nearest whole point, halves away from 0.
PointD roundedOffset(PointD offset);

// Whether the capacity gauge is drawn: on, not scanning, and the used share strictly
// between nothing and everything.
bool isCapacityGaugeShown(const SunburstLayout& layout, bool showsCapacityGauge);
// The used share of the capacity (only meaningful while the gauge is shown).
double capacityGaugeFraction(const SunburstLayout& layout);

// Qt-style arc angles for the gauge, in 1/16 degrees: Qt counts counter-clockwise from
// 3 o'clock, the gauge runs clockwise from 12 o'clock.
struct QtArcAngles {
    int start16 = 0;
    int span16 = 0;
    bool operator==(const QtArcAngles&) const = default;
};
QtArcAngles gaugeArcAngles(double fraction);

// The hover state for a pointer at `point` in a view of `size`.
struct SunburstHover {
    std::optional<std::string> hoveredSegmentID;
    std::optional<PointD> hoverLocation;
    bool isHoveringCapacityGauge = false;
    bool operator==(const SunburstHover&) const = default;
};
SunburstHover hoverAt(PointD point, SizeD size, const SunburstLayout& layout, bool showsCapacityGauge);

} // namespace quillmere::views
