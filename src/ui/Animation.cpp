#include "ui/Animation.hpp"

#include "views/Easing.hpp"

#include <QVariantAnimation>

namespace quillmere {
namespace {
qreal easeInOutFunction(qreal t) {
    return views::easeInOut(t);
}
} // namespace

QEasingCurve easeInOutCurve() {
    QEasingCurve curve;
    curve.setCustomType(&easeInOutFunction);
    return curve;
}

QVariantAnimation* startAnimation(QObject* owner, const QVariant& from, const QVariant& to, int durationMs,
                                  const QEasingCurve& curve, std::function<void(const QVariant&)> onValue) {
    auto* animation = new QVariantAnimation(owner);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->setDuration(durationMs);
    animation->setEasingCurve(curve);
    QObject::connect(animation, &QVariantAnimation::valueChanged, owner, std::move(onValue));
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return animation;
}

} // namespace quillmere
