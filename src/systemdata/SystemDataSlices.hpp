#pragma once

#include "systemdata/SystemDataReport.hpp"

#include <cstdint>
#include <string>
#include <vector>

// What the System Data screen shows of a report, apart from drawing it.
namespace quillmere {

// One category's share of the ring: fractions of a whole turn, 0 at 12 o'clock, clockwise.
struct SystemDataSlice {
    SystemDataCategory category;
    double startFraction = 0;
    double endFraction = 0;
    bool isRemainder = false;

    bool operator==(const SystemDataSlice&) const = default;
};

// The categories sorted by size, largest first (stable), then the remainder, laid end to end
// over a total of max(report total, 1). Fractions are not clamped.
std::vector<SystemDataSlice> systemDataSlices(const SystemDataReport& report);

// The sum of the reclaimable categories' sizes (the remainder not included).
int64_t reclaimableBytes(const SystemDataReport& report);

// The categories of the slices that are reclaimable, in slice order, whatever their action.
std::vector<SystemDataCategory> reclaimableCategories(const std::vector<SystemDataSlice>& slices);
int64_t totalSize(const std::vector<SystemDataCategory>& categories);

// "10 items. 2 can be reclaimed safely, 8 left alone."
std::string systemDataSummary(const std::vector<SystemDataSlice>& slices);

// What a row's button does.
enum class SystemDataRowAction { reclaim, leaveAlone, noAction };
SystemDataRowAction rowAction(const SystemDataCategory& category, bool isRemainder);

// The ring's drawing geometry, in a square canvas.
struct RingPoint {
    double x = 0;
    double y = 0;
    bool operator==(const RingPoint&) const = default;
};

struct RingGeometry {
    double centerX = 0;
    double centerY = 0;
    double scale = 1; // the design space is 220 units across

    static RingGeometry fitting(double width, double height);
    double innerRadius() const { return 68 * scale; }
    double outerRadius() const { return 108 * scale; }
    // The point at `radius` for a fraction of a turn.
    RingPoint point(double fraction, double radius) const;
};

// Straight segments of about 2 degrees: the whole part of span × 180, at least 1.
int wedgeSegmentCount(double span);

// The polygon of a slice's wedge: along the outer radius from start to end, straight in, back
// along the inner radius. A span above one turn is drawn as one turn (a report whose total is
// below its sizes would otherwise ask for endless segments). Empty when start ≥ end.
std::vector<RingPoint> wedgePolygon(const RingGeometry& ring, double startFraction, double endFraction);

} // namespace quillmere
