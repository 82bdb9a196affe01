#include "ui/Motion.hpp"

#include "support/PrivateBus.hpp"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

// A stand-in for the desktop portal's settings interface on a private bus.
class FakePortalSettings : public QDBusVirtualObject {
public:
    bool enableAnimations = false;
    int reads = 0;

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != "org.freedesktop.portal.Settings" || message.member() != "Read")
            return false;
        ++reads;
        const QList<QVariant> arguments = message.arguments();
        if (arguments.value(0).toString() != "org.gnome.desktop.interface" ||
            arguments.value(1).toString() != "enable-animations")
            return connection.send(message.createErrorReply(QDBusError::InvalidArgs, "no such key"));
        // Older portals wrap the value twice.
        return connection.send(message.createReply(
            QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(enableAnimations))))));
    }
};

namespace quillmere {
namespace {

class PrivateBus : public quillmere::test::PrivateBus {
protected:
    static void sendChange(QDBusConnection& bus, const QString& key, bool enableAnimations) {
        QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/portal/desktop",
                                                         "org.freedesktop.portal.Settings", "SettingChanged");
        signal << QString("org.gnome.desktop.interface") << key
               << QVariant::fromValue(QDBusVariant(enableAnimations));
        bus.send(signal);
    }
};

TEST_F(PrivateBus, ReadsThePortalOnceWithoutWaitingThenFollowsItsChanges) {
    QDBusConnection portalBus = connect("portal");
    ASSERT_TRUE(portalBus.isConnected());
    FakePortalSettings portal;
    ASSERT_TRUE(portalBus.registerVirtualObject("/org/freedesktop/portal/desktop", &portal));
    ASSERT_TRUE(portalBus.registerService("org.freedesktop.portal.Desktop"));

    ReduceMotionSetting setting(connect("app"));
    QSignalSpy changes(&setting, &ReduceMotionSetting::changed);
    // The answer has not come in yet: asking does not wait for it, and animations are on.
    EXPECT_FALSE(setting.isOn());
    ASSERT_TRUE(changes.wait(30000));
    EXPECT_TRUE(setting.isOn());
    EXPECT_EQ(portal.reads, 1);

    // Reading again costs no call to the portal.
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(setting.isOn());
    EXPECT_EQ(portal.reads, 1);

    sendChange(portalBus, "enable-animations", true);
    ASSERT_TRUE(changes.wait(30000));
    EXPECT_FALSE(setting.isOn());
    EXPECT_EQ(changes.size(), 2);

    // Another key of the same group changes nothing; the next change of ours arrives after it.
    sendChange(portalBus, "cursor-blink", false);
    sendChange(portalBus, "enable-animations", false);
    ASSERT_TRUE(changes.wait(30000));
    EXPECT_EQ(changes.size(), 3);
    EXPECT_TRUE(setting.isOn());
    EXPECT_EQ(portal.reads, 1);
}

TEST_F(PrivateBus, WithoutAPortalAnimationsStayOnAndNothingBlocks) {
    ReduceMotionSetting setting(connect("app"));
    QSignalSpy changes(&setting, &ReduceMotionSetting::changed);
    EXPECT_FALSE(setting.isOn());
    // The bus answers the read at once that nobody provides the portal; once that answer has
    // been handled, nothing has changed.
    auto* read = setting.findChild<QDBusPendingCallWatcher*>();
    ASSERT_NE(read, nullptr);
    QSignalSpy answered(read, &QDBusPendingCallWatcher::finished);
    ASSERT_TRUE(answered.wait(30000));
    EXPECT_EQ(changes.count(), 0);
    EXPECT_FALSE(setting.isOn());

    // Nor without any bus at all.
    ReduceMotionSetting unconnected(QDBusConnection("no such connection"));
    EXPECT_FALSE(unconnected.isOn());
}

} // namespace
} // namespace quillmere
