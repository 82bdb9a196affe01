#include "ui/Transitions.hpp"

#include "ui/FadeEffect.hpp"
#include "ui/Motion.hpp"

#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

namespace quillmere::transitions {
namespace {

constexpr const char* kFadeName = "quillmere-layer-fade";
constexpr const char* kLeavingProperty = "quillmere-layer-leaving";

QVariantAnimation* runningFade(QWidget* widget) {
    return widget->findChild<QVariantAnimation*>(kFadeName, Qt::FindDirectChildrenOnly);
}

double currentOpacity(QWidget* widget) {
    if (auto* effect = dynamic_cast<FadeEffect*>(widget->graphicsEffect())) return effect->opacity();
    return widget->isVisible() ? 1.0 : 0.0;
}

void finish(QWidget* widget, bool shown) {
    widget->setGraphicsEffect(nullptr); // drawn directly again
    widget->setProperty(kLeavingProperty, false);
    widget->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    widget->setVisible(shown);
}

void fade(QWidget* widget, double from, bool shown) {
    if (QVariantAnimation* old = runningFade(widget)) {
        old->stop();
        delete old;
    }
    const int duration = motionDuration(kFadeMs);
    if (duration == 0) {
        finish(widget, shown);
        return;
    }
    auto* effect = new FadeEffect(widget);
    const QPointer<FadeEffect> guard(effect);
    effect->setOpacity(from);
    widget->setGraphicsEffect(effect);
    widget->setProperty(kLeavingProperty, !shown);
    widget->setAttribute(Qt::WA_TransparentForMouseEvents, !shown);
    // Showing runs the widget's show handlers, which may change the screens and fade this very
    // widget again; that newer fade replaces our effect and wins.
    widget->show();
    if (!guard || widget->graphicsEffect() != effect) return;
    auto* animation = new QVariantAnimation(widget);
    animation->setObjectName(kFadeName);
    animation->setDuration(duration);
    animation->setStartValue(from);
    animation->setEndValue(shown ? 1.0 : 0.0);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    QObject::connect(animation, &QVariantAnimation::valueChanged, widget, [guard](const QVariant& value) {
        if (guard) guard->setOpacity(value.toDouble());
    });
    QObject::connect(animation, &QVariantAnimation::finished, widget, [widget, shown, animation] {
        animation->deleteLater();
        finish(widget, shown);
    });
    animation->start();
}

} // namespace

void fadeIn(QWidget* widget) {
    fade(widget, 0.0, true);
}

bool isLayerShown(const QWidget* widget) {
    return !widget->isHidden() && !widget->property(kLeavingProperty).toBool();
}

void setLayerShown(QWidget* widget, bool shown) {
    if (isLayerShown(widget) == shown) return;
    fade(widget, shown && widget->isHidden() ? 0.0 : currentOpacity(widget), shown);
}

} // namespace quillmere::transitions
