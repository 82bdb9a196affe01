#include "ui/DesktopSettings.hpp"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace quillmere::platform {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");

struct Key {
    QString group;
    QString key;
};
const Key& keyOf(int setting) {
    static const Key keys[] = {
        {QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("enable-animations")},
        {QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme")},
    };
    return keys[setting];
}

// ReadOne answers the value in one variant; the older Read wraps it in two.
QVariant unwrapped(QVariant value) {
    for (int depth = 0; depth < 4 && value.userType() == qMetaTypeId<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    return value;
}

// The portal's "color-scheme": 1 prefers dark, 2 prefers light, anything else no preference.
DesktopSettings::ColorScheme schemeOf(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::UInt:
    case QMetaType::Int:
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::Short:
    case QMetaType::ULongLong:
    case QMetaType::LongLong:
        break;
    default:
        return DesktopSettings::ColorScheme::noPreference;
    }
    const qlonglong number = value.toLongLong();
    if (number == 1) return DesktopSettings::ColorScheme::dark;
    if (number == 2) return DesktopSettings::ColorScheme::light;
    return DesktopSettings::ColorScheme::noPreference;
}

} // namespace

DesktopSettings::DesktopSettings(const QDBusConnection& bus, QObject* parent) : QObject(parent), bus_(bus) {
    if (!bus_.isConnected()) return;
    // The slot's argument type must be known by name before the signal can be matched to it.
    qRegisterMetaType<QDBusVariant>();
    bus_.connect(kPortalService, kPortalPath, kSettingsInterface, QStringLiteral("SettingChanged"), this,
                 SLOT(settingChanged(QString, QString, QDBusVariant)));
    for (int setting = 0; setting < settingCount; ++setting)
        read(static_cast<Setting>(setting), QStringLiteral("ReadOne"));
}

DesktopSettings& DesktopSettings::shared() {
    static DesktopSettings* settings = new DesktopSettings(QDBusConnection::sessionBus());
    return *settings;
}

void DesktopSettings::read(Setting setting, const QString& method) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kSettingsInterface, method);
    call << keyOf(setting).group << keyOf(setting).key;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, setting, method](QDBusPendingCallWatcher* finished) {
                replyArrived(setting, method, finished);
            });
}

void DesktopSettings::replyArrived(Setting setting, const QString& method, QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    const QDBusMessage reply = watcher->reply();
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (method == QStringLiteral("ReadOne") &&
            reply.errorName() == QDBusError::errorString(QDBusError::UnknownMethod))
            read(setting, QStringLiteral("Read"));
        return;
    }
    if (sawChange_[setting] || reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return;
    apply(setting, reply.arguments().first());
}

void DesktopSettings::settingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
    for (int setting = 0; setting < settingCount; ++setting) {
        if (group != keyOf(setting).group || key != keyOf(setting).key) continue;
        sawChange_[setting] = true;
        apply(static_cast<Setting>(setting), QVariant::fromValue(value));
    }
}

void DesktopSettings::apply(Setting setting, const QVariant& wrapped) {
    const QVariant value = unwrapped(wrapped);
    if (setting == motion) {
        const bool isOn = value.typeId() == QMetaType::Bool && !value.toBool();
        if (isOn == prefersReducedMotion_) return;
        prefersReducedMotion_ = isOn;
        emit reducedMotionChanged(isOn);
        return;
    }
    const ColorScheme scheme = schemeOf(value);
    if (scheme == colorScheme_) return;
    colorScheme_ = scheme;
    emit colorSchemeChanged(scheme);
}

} // namespace quillmere::platform
