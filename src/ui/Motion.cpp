#include "ui/Motion.hpp"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace quillmere {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.gnome.desktop.interface");
const QString kKey = QStringLiteral("enable-animations");

// The portal wraps the value in one or two variants depending on its version.
QVariant unwrapped(QVariant value) {
    for (int depth = 0; depth < 4 && value.userType() == qMetaTypeId<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

ReduceMotionSetting::ReduceMotionSetting(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {
    if (!bus_.isConnected()) return;
    // The slot's argument type must be known by name before the signal can be matched to it.
    qRegisterMetaType<QDBusVariant>();
    bus_.connect(kPortalService, kPortalPath, kSettingsInterface, QStringLiteral("SettingChanged"), this,
                 SLOT(settingChanged(QString, QString, QDBusVariant)));
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kSettingsInterface,
                                                       QStringLiteral("Read"));
    call << kGroup << kKey;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &ReduceMotionSetting::replyArrived);
}

ReduceMotionSetting& ReduceMotionSetting::shared() {
    static ReduceMotionSetting* setting = new ReduceMotionSetting(QDBusConnection::sessionBus());
    return *setting;
}

void ReduceMotionSetting::replyArrived(QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    const QDBusMessage reply = watcher->reply();
    if (sawChange_ || reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
    apply(reply.arguments().first());
}

void ReduceMotionSetting::settingChanged(const QString& group, const QString& key,
                                         const QDBusVariant& value) {
    if (group != kGroup || key != kKey) return;
    sawChange_ = true;
    apply(QVariant::fromValue(value));
}

void ReduceMotionSetting::apply(const QVariant& enableAnimations) {
    const QVariant value = unwrapped(enableAnimations);
    const bool isOn = value.typeId() == QMetaType::Bool && !value.toBool();
    if (isOn == isOn_) return;
    isOn_ = isOn;
    emit changed(isOn_);
}

bool prefersReducedMotion() {
    return ReduceMotionSetting::shared().isOn();
}

int motionDuration(int normal) {
    return prefersReducedMotion() ? 0 : normal;
}

} // namespace quillmere
