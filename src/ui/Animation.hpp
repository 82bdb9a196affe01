#pragma once

#include <QEasingCurve>
#include <QVariant>
#include <functional>

class QObject;
class QVariantAnimation;

namespace quillmere {

// The disk views' ease-in-out curve for Qt animations (the cubic Bézier 0.42, 0, 0.58, 1).
QEasingCurve easeInOutCurve();

// Starts an animation owned by `owner` from `from` to `to` over `durationMs` on `curve`, handing
// each value to `onValue` while `owner` lives; it deletes itself once it stops.
QVariantAnimation* startAnimation(QObject* owner, const QVariant& from, const QVariant& to, int durationMs,
                                  const QEasingCurve& curve, std::function<void(const QVariant&)> onValue);

} // namespace quillmere
