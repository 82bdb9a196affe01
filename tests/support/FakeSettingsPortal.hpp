#pragma once

// A stand-in for the desktop portal's settings interface, registered on a private bus under
// the portal's own name: it answers ReadOne (unless told it is too old to know it) and Read,
// and sends SettingChanged on request.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMap>
#include <QPair>
#include <QStringList>
#include <QVariant>

namespace quillmere::test {

inline const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
inline const QString kSettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");

class FakeSettingsPortal : public QDBusVirtualObject {
public:
    using Key = QPair<QString, QString>;
    QMap<Key, QVariant> values;
    bool knowsReadOne = true;
    // Answers wait here, in order, until released: a change can then overtake them.
    bool holdsAnswers = false;
    QList<QDBusMessage> heldAnswers;
    QStringList calls; // "ReadOne color-scheme", "Read enable-animations", ...

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != kSettingsInterface) return false;
        const QString method = message.member();
        if (method != "Read" && method != "ReadOne") return false;
        const QList<QVariant> arguments = message.arguments();
        const Key key{arguments.value(0).toString(), arguments.value(1).toString()};
        calls << method + " " + key.second;
        if (method == "ReadOne" && !knowsReadOne)
            return connection.send(message.createErrorReply(QDBusError::UnknownMethod, "no ReadOne here"));
        if (!values.contains(key))
            return connection.send(
                message.createErrorReply("org.freedesktop.portal.Error.NotFound", "no such key"));
        // ReadOne answers the value in a variant; the older Read wraps that in another.
        QVariant answer = QVariant::fromValue(QDBusVariant(values.value(key)));
        if (method == "Read") answer = QVariant::fromValue(QDBusVariant(answer));
        if (holdsAnswers) {
            heldAnswers << message.createReply(answer);
            return true;
        }
        return connection.send(message.createReply(answer));
    }

    void releaseAnswers(QDBusConnection& bus) {
        for (const QDBusMessage& answer : heldAnswers)
            bus.send(answer);
        heldAnswers.clear();
    }

    int callCount(const QString& keyName) const {
        int count = 0;
        for (const QString& call : calls)
            count += call.endsWith(" " + keyName) ? 1 : 0;
        return count;
    }

    // Registers the portal on `bus`; false when the bus refuses.
    bool serveOn(QDBusConnection& bus) {
        return bus.registerVirtualObject(kPortalPath, this) &&
               bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }

    static void sendChange(QDBusConnection& bus, const QString& group, const QString& key,
                           const QVariant& value) {
        QDBusMessage signal = QDBusMessage::createSignal(kPortalPath, kSettingsInterface, "SettingChanged");
        signal << group << key << QVariant::fromValue(QDBusVariant(value));
        bus.send(signal);
    }
};

inline const FakeSettingsPortal::Key kAnimationsKey{QStringLiteral("org.gnome.desktop.interface"),
                                                    QStringLiteral("enable-animations")};
inline const FakeSettingsPortal::Key kColorSchemeKey{QStringLiteral("org.freedesktop.appearance"),
                                                     QStringLiteral("color-scheme")};

} // namespace quillmere::test
