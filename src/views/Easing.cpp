#include "views/Easing.hpp"

#include <algorithm>
#include <cmath>

namespace quillmere::views {
namespace {

constexpr double kX1 = 0.42;
constexpr double kX2 = 0.58;
constexpr double kY1 = 0.0;
constexpr double kY2 = 1.0;

double bezier(double u, double p1, double p2) {
    const double v = 1 - u;
    return 3 * v * v * u * p1 + 3 * v * u * u * p2 + u * u * u;
}

double bezierSlope(double u, double p1, double p2) {
    const double v = 1 - u;
    return 3 * v * v * p1 + 6 * v * u * (p2 - p1) + 3 * u * u * (1 - p2);
}

} // namespace

double easeInOut(double t) {
    t = std::clamp(t, 0.0, 1.0);
    // x(u) is monotonic on [0, 1]: a few Newton steps, then bisection where the slope is flat.
    double u = t;
    for (int i = 0; i < 8; ++i) {
        const double error = bezier(u, kX1, kX2) - t;
        if (std::abs(error) < 1e-12) return bezier(u, kY1, kY2);
        const double slope = bezierSlope(u, kX1, kX2);
        if (std::abs(slope) < 1e-9) break;
        u = std::clamp(u - error / slope, 0.0, 1.0);
    }
    double low = 0, high = 1;
    u = t;
    for (int i = 0; i < 60; ++i) {
        const double x = bezier(u, kX1, kX2);
        if (std::abs(x - t) < 1e-12) break;
        (x < t ? low : high) = u;
        u = (low + high) / 2;
    }
    return bezier(u, kY1, kY2);
}

} // namespace quillmere::views
