#pragma once

#include <QColor>

namespace quillmere {

// `color` drawn at `opacity` (0 to 1) of its own alpha, as a style's ".opacity(x)" reads.
inline QColor withOpacity(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

} // namespace quillmere
