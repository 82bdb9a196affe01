#include "ui/ScaleFadeEffect.hpp"

#include "ui/Animation.hpp"

#include <QPainter>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

namespace quillmere {

ScaleFadeEffect::ScaleFadeEffect(QWidget* widget) : QGraphicsEffect(widget), widget_(widget) {}

void ScaleFadeEffect::setProgress(qreal progress) {
    progress_ = progress;
    update();
}

void ScaleFadeEffect::draw(QPainter* painter) {
    // The ends cost no offscreen copy: a transparent widget draws nothing, and a whole one is
    // drawn as it is. A replaced view's first frame is both, and it comes with the click. The
    // animation has moved on a hair by then; nearer an end than half a 256th of the way, a blend
    // would differ from that end by one level of 255 at most (and the scale, from 0.96, by under
    // a tenth of a pixel at the edges of a 2,000-pixel view).
    constexpr qreal kEnd = 0.5 / 256;
    if (progress_ < kEnd) return;
    if (progress_ > 1 - kEnd) {
        drawSource(painter);
        return;
    }
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    const QImage& picture = heldStill_ ? picture_.drawOnce(*widget_, ratio) : picture_.draw(*widget_, ratio);
    if (picture.isNull()) return;
    const qreal scale = fromScale_ + (1 - fromScale_) * progress_;
    const QRectF area(QPointF(0, 0), picture.deviceIndependentSize());
    painter->save();
    painter->setOpacity(progress_);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->translate(area.center());
    painter->scale(scale, scale);
    painter->translate(-area.center());
    painter->drawImage(QPointF(0, 0), picture);
    painter->restore();
}

void animateScaleFade(QWidget* widget, bool entering, int durationMs, std::function<void()> finished) {
    if (durationMs <= 0) {
        widget->setGraphicsEffect(nullptr);
        if (finished) finished();
        return;
    }
    auto* effect = new ScaleFadeEffect(widget);
    effect->setHeldStill(!entering);
    effect->setProgress(entering ? 0 : 1);
    widget->setGraphicsEffect(effect);
    QPointer<ScaleFadeEffect> guard(effect);
    auto* animation = startAnimation(widget, entering ? 0.0 : 1.0, entering ? 1.0 : 0.0, durationMs,
                                     easeInOutCurve(), [guard](const QVariant& value) {
                                         if (guard) guard->setProgress(value.toDouble());
                                     });
    QObject::connect(animation, &QVariantAnimation::finished, widget, [widget, guard, finished] {
        if (guard && widget->graphicsEffect() == guard) widget->setGraphicsEffect(nullptr);
        if (finished) finished();
    });
}

} // namespace quillmere
