#include "app/ui/Animation.hpp"

#include "views/Easing.hpp"

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

} // namespace quillmere
