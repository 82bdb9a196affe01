#pragma once

#include "views/Easing.hpp"

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>

class QDBusPendingCallWatcher;

namespace quillmere {

// Whether the desktop asks applications to keep still, as the desktop portal publishes it
// ("enable-animations" off). Read once, without waiting, when it is made, then kept up to
// date from the portal's change signal; until the first answer (and without a portal)
// animations stay on. Every reader gets the cached value, so asking never blocks.
class ReduceMotionSetting : public QObject {
    Q_OBJECT
public:
    explicit ReduceMotionSetting(const QDBusConnection& bus, QObject* parent = nullptr);

    // The one the interface reads, over the session bus.
    static ReduceMotionSetting& shared();

    bool isOn() const { return isOn_; }

signals:
    void changed(bool isOn);

private slots:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void apply(const QVariant& enableAnimations);
    void replyArrived(QDBusPendingCallWatcher* watcher);

    QDBusConnection bus_;
    bool isOn_ = false;
    // A change signal that arrives before the first read's answer is newer than that answer.
    bool sawChange_ = false;
};

bool prefersReducedMotion();

// Navigation, the details panel and the padding beside it ease in and out over this long.
inline constexpr int kNavigationMs = views::kNavigationAnimationMs;

// Milliseconds for an animation: `normal`, or 0 while reduce motion is on.
int motionDuration(int normal);

} // namespace quillmere
