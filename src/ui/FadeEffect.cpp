#include "ui/FadeEffect.hpp"

#include <QPainter>
#include <QWidget>
#include <algorithm>

namespace quillmere {

FadeEffect::FadeEffect(QWidget* widget) : QGraphicsEffect(widget), widget_(widget) {}

void FadeEffect::setOpacity(qreal opacity) {
    opacity = std::clamp(opacity, 0.0, 1.0);
    if (opacity == opacity_) return;
    opacity_ = opacity;
    // At either end nothing is drawn offscreen: an effect kept on a widget after its fade (to
    // fade it again later) holds no picture meanwhile.
    if (opacity_ == 0 || opacity_ == 1) picture_.release();
    update();
}

void FadeEffect::draw(QPainter* painter) {
    // The ends cost no offscreen picture.
    if (opacity_ <= 0) return;
    if (opacity_ >= 1) {
        drawSource(painter);
        return;
    }
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    const QImage& picture = picture_.draw(*widget_, ratio);
    if (picture.isNull()) return;
    painter->save();
    painter->setOpacity(opacity_);
    painter->drawImage(QPointF(0, 0), picture);
    painter->restore();
}

} // namespace quillmere
