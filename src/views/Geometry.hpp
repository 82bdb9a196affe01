#pragma once

namespace quillmere::views {

// A point or offset in a view's local coordinates (origin top left, y down), in points.
struct PointD {
    double x = 0;
    double y = 0;
    bool operator==(const PointD&) const = default;
};

struct SizeD {
    double width = 0;
    double height = 0;
    bool operator==(const SizeD&) const = default;
};

} // namespace quillmere::views
