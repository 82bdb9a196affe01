#include "views/ColorMath.hpp"

#include <cmath>

namespace quillmere::views {

double normalizedHueDegrees(double hueDegrees) {
    const double hue = std::fmod(std::fmod(hueDegrees, 360.0) + 360.0, 360.0);
    return hue;
}

Rgb hsvToRgb(double hueFraction, double saturation, double value) {
    if (saturation <= 0) return {value, value, value};
    const double scaled = hueFraction * 6.0;
    const double sectorFloor = std::floor(scaled);
    const double fraction = scaled - sectorFloor;
    const int sector = static_cast<int>(sectorFloor) % 6;
    const double p = value * (1 - saturation);
    const double q = value * (1 - saturation * fraction);
    const double t = value * (1 - saturation * (1 - fraction));
    switch (sector) {
    case 0:
        return {value, t, p};
    case 1:
        return {q, value, p};
    case 2:
        return {p, value, t};
    case 3:
        return {p, q, value};
    case 4:
        return {t, p, value};
    default:
        return {value, p, q};
    }
}

double luma709(const Rgb& color) {
    return 0.2126 * color.red + 0.7152 * color.green + 0.0722 * color.blue;
}

bool prefersDarkText(double hueDegrees, double saturation, double brightness) {
    return luma709(hsvToRgb(normalizedHueDegrees(hueDegrees) / 360.0, saturation, brightness)) > 0.55;
}

} // namespace quillmere::views
