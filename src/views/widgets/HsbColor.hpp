#pragma once

#include "views/ColorMath.hpp"

#include <QColor>
#include <algorithm>

namespace quillmere {

// The colour of a hue in degrees (any turn) with saturation and brightness clamped to [0, 1],
// as the disk views' tiles and arcs are tinted.
inline QColor hsbColor(double hueDegrees, double saturation, double brightness) {
    return QColor::fromHsvF(static_cast<float>(views::normalizedHueDegrees(hueDegrees) / 360.0),
                            static_cast<float>(std::clamp(saturation, 0.0, 1.0)),
                            static_cast<float>(std::clamp(brightness, 0.0, 1.0)));
}

} // namespace quillmere
