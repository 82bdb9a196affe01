#include "systemdata/SystemDataSlices.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quillmere {

std::vector<SystemDataSlice> systemDataSlices(const SystemDataReport& report) {
    std::vector<SystemDataCategory> sorted = report.categories;
    std::stable_sort(
        sorted.begin(), sorted.end(),
        [](const SystemDataCategory& a, const SystemDataCategory& b) { return a.sizeBytes > b.sizeBytes; });
    const double total = static_cast<double>(std::max<int64_t>(report.totalBytes(), 1));
    std::vector<SystemDataSlice> slices;
    slices.reserve(sorted.size() + 1);
    double running = 0;
    const auto append = [&](const SystemDataCategory& category, bool isRemainder) {
        const double end = running + static_cast<double>(category.sizeBytes) / total;
        slices.push_back({category, running, end, isRemainder});
        running = end;
    };
    for (const SystemDataCategory& category : sorted)
        append(category, false);
    append(report.remainder, true);
    return slices;
}

int64_t reclaimableBytes(const SystemDataReport& report) {
    int64_t sum = 0;
    for (const SystemDataCategory& category : report.categories)
        if (category.isReclaimable) sum += category.sizeBytes;
    return sum;
}

std::vector<SystemDataCategory> reclaimableCategories(const std::vector<SystemDataSlice>& slices) {
    std::vector<SystemDataCategory> categories;
    for (const SystemDataSlice& slice : slices)
        if (slice.category.isReclaimable) categories.push_back(slice.category);
    return categories;
}

int64_t totalSize(const std::vector<SystemDataCategory>& categories) {
    int64_t sum = 0;
    for (const SystemDataCategory& category : categories)
        sum += category.sizeBytes;
    return sum;
}

std::string systemDataSummary(const std::vector<SystemDataSlice>& slices) {
    const size_t n = slices.size();
    const size_t r = reclaimableCategories(slices).size();
    return std::to_string(n) + " item" + (n == 1 ? "" : "s") + ". " + std::to_string(r) +
           " can be reclaimed safely, " + std::to_string(n - r) + " left alone.";
}

SystemDataRowAction rowAction(const SystemDataCategory& category, bool isRemainder) {
    if (category.isReclaimable && category.reclaimAction) return SystemDataRowAction::reclaim;
    return isRemainder ? SystemDataRowAction::noAction : SystemDataRowAction::leaveAlone;
}

RingGeometry RingGeometry::fitting(double width, double height) {
    return {width / 2, height / 2, std::min(width, height) / 220};
}

RingPoint RingGeometry::point(double fraction, double radius) const {
    const double angle = 2 * std::numbers::pi * fraction;
    return {centerX + radius * std::sin(angle), centerY - radius * std::cos(angle)};
}

int wedgeSegmentCount(double span) {
    const double step = std::numbers::pi / 90;
    const double count = std::trunc(2 * std::numbers::pi * span / step);
    if (!(count >= 2)) return 1;
    return static_cast<int>(std::min(count, 180.0));
}

std::vector<RingPoint> wedgePolygon(const RingGeometry& ring, double startFraction, double endFraction) {
    if (!(startFraction < endFraction)) return {};
    const double span = std::min(endFraction - startFraction, 1.0);
    const double end = startFraction + span;
    const int n = wedgeSegmentCount(span);
    std::vector<RingPoint> points;
    points.reserve(static_cast<size_t>(2 * n + 2));
    for (int i = 0; i <= n; ++i)
        points.push_back(ring.point(startFraction + span * i / n, ring.outerRadius()));
    points.push_back(ring.point(end, ring.innerRadius()));
    for (int i = n - 1; i >= 0; --i)
        points.push_back(ring.point(startFraction + span * i / n, ring.innerRadius()));
    return points;
}

} // namespace quillmere
