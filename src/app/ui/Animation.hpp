#pragma once

#include <QEasingCurve>

namespace quillmere {

// The disk views' ease-in-out curve for Qt animations (the cubic Bézier 0.42, 0, 0.58, 1).
QEasingCurve easeInOutCurve();

} // namespace quillmere
