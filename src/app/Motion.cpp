#include "app/Motion.hpp"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>

namespace quillmere {

bool prefersReducedMotion() {
    // The desktop portal publishes the GNOME-style "enable-animations" setting to sandboxed
    // and unsandboxed programs alike; without a portal animations stay on.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                                       "org.freedesktop.portal.Settings", "Read");
    call << QString("org.gnome.desktop.interface") << QString("enable-animations");
    const QDBusMessage reply = bus.call(call, QDBus::Block, 200);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    QVariant value = reply.arguments().first();
    // The portal wraps the value in one or two variants depending on its version.
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value.typeId() == QMetaType::Bool && !value.toBool();
}

int motionDuration(int normal) {
    return prefersReducedMotion() ? 0 : normal;
}

} // namespace quillmere
