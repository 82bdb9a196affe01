#include "base/Format.hpp"
#include "views/SunburstLayout.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quillmere::views {
namespace {

constexpr double kMinimumLabelDegrees = 24;
// The box may touch the ring's edges within this many reference units.
constexpr double kRadialTolerance = 0.01;
constexpr double kAngularTolerance = 1e-9;

struct Vec {
    double x;
    double y;
};

bool insideArc(Vec q, const RingBand& band, double start, double end) {
    const double radius = std::hypot(q.x, q.y);
    if (radius < band.inner - kRadialTolerance || radius > band.outer + kRadialTolerance) return false;
    double angle = std::atan2(q.x, -q.y);
    if (angle < 0) angle += 2 * std::numbers::pi;
    const double f = angle / (2 * std::numbers::pi);
    return start - kAngularTolerance <= f && f <= end + kAngularTolerance;
}

bool allInside(const std::array<Vec, 4>& corners, const RingBand& band, double start, double end) {
    return std::all_of(corners.begin(), corners.end(), [&](Vec q) { return insideArc(q, band, start, end); });
}

} // namespace

std::optional<SunburstLabel> SunburstLayout::makeLabel(const std::string& name, int64_t size, int ring,
                                                       double start, double end,
                                                       const TextMeasurer& measure) {
    if (ring < 0 || ring >= kRingCount || !(start < end) || (end - start) * 360 < kMinimumLabelDegrees)
        return std::nullopt;
    SunburstLabel label;
    label.nameText = name;
    label.sizeText = formatByteCount(std::max<int64_t>(size, 0));
    label.nameFontSize = std::max(11.0 - ring, 6.0);
    label.sizeFontSize = std::max(10.0 - ring, 6.0);
    label.nameSize = measure(label.nameText, label.nameFontSize, FontWeight::semibold);
    label.sizeSize = measure(label.sizeText, label.sizeFontSize, FontWeight::regular);

    const double w = std::max(label.nameSize.width, label.sizeSize.width) + 3;
    const double h = label.nameSize.height + label.sizeSize.height + 3;
    const RingBand& band = kRings[ring];
    const double mid = (start + end) / 2;
    const double a = 2 * std::numbers::pi * mid;
    const double radius = band.middle();
    const Vec p{radius * std::sin(a), -radius * std::cos(a)};
    label.midFraction = mid;
    label.midRadius = radius;

    const std::array<Vec, 4> upright{{{p.x - w / 2, p.y - h / 2},
                                      {p.x + w / 2, p.y - h / 2},
                                      {p.x - w / 2, p.y + h / 2},
                                      {p.x + w / 2, p.y + h / 2}}};
    if (allInside(upright, band, start, end)) {
        label.rotation = 0;
        return label;
    }
    // Along the arc: the width follows the tangent at the middle.
    const Vec along{std::cos(a) * w / 2, std::sin(a) * w / 2};
    const Vec across{-std::sin(a) * h / 2, std::cos(a) * h / 2};
    const std::array<Vec, 4> turned{{{p.x + along.x + across.x, p.y + along.y + across.y},
                                     {p.x + along.x - across.x, p.y + along.y - across.y},
                                     {p.x - along.x + across.x, p.y - along.y + across.y},
                                     {p.x - along.x - across.x, p.y - along.y - across.y}}};
    if (!allInside(turned, band, start, end)) return std::nullopt;
    // The tangent taken into [−π/2, π/2), so text never stands upside down.
    label.rotation = std::fmod(a + std::numbers::pi / 2, std::numbers::pi) - std::numbers::pi / 2;
    return label;
}

} // namespace quillmere::views
