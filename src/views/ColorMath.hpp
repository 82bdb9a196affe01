#pragma once

namespace quillmere::views {

struct Rgb {
    double red = 0;
    double green = 0;
    double blue = 0;
    bool operator==(const Rgb&) const = default;
};

// A hue in degrees, which may be negative or beyond a turn, brought into [0, 360): the
// floating remainder keeps the dividend's sign, so −8 becomes 352.
double normalizedHueDegrees(double hueDegrees);

// The standard HSV-to-RGB conversion; hue as a fraction of a turn in [0, 1], saturation and
// value in [0, 1].
Rgb hsvToRgb(double hueFraction, double saturation, double value);

// Rec. 709 luma of an RGB colour.
double luma709(const Rgb& color);

// Text on a coloured area (an arc, a tile) is dark when the area's luma is above 0.55.
bool prefersDarkText(double hueDegrees, double saturation, double brightness);

} // namespace quillmere::views
