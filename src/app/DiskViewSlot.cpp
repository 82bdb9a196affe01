#include "app/DiskViewSlot.hpp"

#include "ui/Motion.hpp"
#include "ui/ScaleFadeEffect.hpp"

namespace quillmere {

DiskViewSlot::DiskViewSlot(QWidget* parent)
    : QWidget(parent), motionDuration_([](int normal) { return normal; }) {}

void DiskViewSlot::present(const QString& identity, const std::function<QWidget*()>& make,
                           const std::function<void(QWidget*)>& update) {
    if (view_ && !forgotten_ && identity == identity_) {
        update(view_);
        return;
    }
    const int duration = replacementAnimated_ ? motionDuration_(kNavigationMs) : 0;
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
    view_ = make();
    view_->setParent(this);
    view_->setGeometry(rect());
    view_->show();
    view_->raise();
    animateScaleFade(view_, true, duration);
}

void DiskViewSlot::forget() {
    forgotten_ = true;
}

void DiskViewSlot::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The leaving view, if any, keeps covering the whole slot too.
    for (QObject* child : children())
        if (auto* widget = qobject_cast<QWidget*>(child)) widget->setGeometry(rect());
}

} // namespace quillmere
