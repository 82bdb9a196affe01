#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace quillmere::test {

// A dbus-daemon of our own, so a test neither needs nor disturbs a desktop session.
class PrivateBus : public ::testing::Test {
protected:
    void SetUp() override {
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        ASSERT_TRUE(daemon_.waitForStarted(5000)) << "dbus-daemon is not installed";
        ASSERT_TRUE(daemon_.waitForReadyRead(5000));
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        ASSERT_FALSE(address_.isEmpty());
    }

    void TearDown() override {
        for (const QString& name : names_)
            QDBusConnection::disconnectFromBus(name);
        daemon_.terminate();
        daemon_.waitForFinished(5000);
    }

    QDBusConnection connect(const QString& name) {
        names_ << name;
        return QDBusConnection::connectToBus(address_, name);
    }

    QProcess daemon_;
    QString address_;
    QStringList names_;
};

} // namespace quillmere::test
