#include "app/DiskViewSlot.hpp"

#include "app/ui/Animation.hpp"
#include "app/ui/ScaleFadeEffect.hpp"
#include "views/Easing.hpp"

#include <QVariantAnimation>

namespace quillmere {

DiskViewSlot::DiskViewSlot(QWidget* parent)
    : QWidget(parent), motionDuration_([](int normal) { return normal; }) {}

void DiskViewSlot::present(const QString& identity, bool padded, const std::function<QWidget*()>& make,
                           const std::function<void(QWidget*)>& update) {
    if (view_ && !forgotten_ && identity == identity_) {
        update(view_);
        return;
    }
    const int duration = motionDuration_(views::kNavigationAnimationMs);
    if (QWidget* old = view_) {
        // The old view leaves while the new one enters; it takes no more input and goes
        // later (it may be the one whose click led here).
        old->setAttribute(Qt::WA_TransparentForMouseEvents);
        QPointer<QWidget> leaving(old);
        animateScaleFade(old, false, duration, [leaving] {
            if (leaving) leaving->deleteLater();
        });
    }
    forgotten_ = false;
    identity_ = identity;
    padded_ = padded;
    view_ = make();
    view_->setParent(this);
    place();
    view_->show();
    view_->raise();
    animateScaleFade(view_, true, duration);
    setPadding(padded_ ? inset_ : 0);
}

void DiskViewSlot::forget() {
    forgotten_ = true;
}

void DiskViewSlot::setDetailsPanelInset(double inset) {
    if (inset == inset_) return;
    inset_ = inset;
    if (!padded_) {
        setPadding(0);
        return;
    }
    if (paddingAnimation_) paddingAnimation_->stop();
    const int duration = motionDuration_(views::kNavigationAnimationMs);
    if (duration <= 0) {
        setPadding(inset);
        return;
    }
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(padding_);
    animation->setEndValue(inset);
    animation->setDuration(duration);
    animation->setEasingCurve(easeInOutCurve());
    connect(animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setPadding(value.toDouble()); });
    paddingAnimation_ = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void DiskViewSlot::setPadding(double padding) {
    padding_ = padding;
    place();
}

void DiskViewSlot::place() {
    if (!view_) return;
    const int trailing = padded_ ? static_cast<int>(std::lround(padding_)) : 0;
    view_->setGeometry(0, 0, std::max(0, width() - trailing), height());
}

void DiskViewSlot::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place();
    // The leaving view, if any, keeps covering the whole slot.
    for (QObject* child : children())
        if (auto* widget = qobject_cast<QWidget*>(child); widget && widget != view_)
            widget->setGeometry(rect());
}

} // namespace quillmere
