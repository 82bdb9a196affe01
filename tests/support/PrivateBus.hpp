#pragma once

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quillmere::test {

// A dbus-daemon of our own, so a test neither needs nor disturbs a desktop session.
class PrivateBus : public ::testing::Test {
protected:
    void SetUp() override {
        // A configuration of our own, so the test needs no session configuration installed.
        ASSERT_TRUE(folder_.isValid());
        QFile config(folder_.filePath("bus.conf"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(
            QString("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                    "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                    "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>")
                .arg(folder_.path())
                .toUtf8());
        config.close();
        daemon_.start("dbus-daemon", {"--config-file=" + config.fileName(), "--nofork", "--print-address"});
        ASSERT_TRUE(daemon_.waitForStarted(5000)) << "dbus-daemon is not installed";
        ASSERT_TRUE(daemon_.waitForReadyRead(5000)) << daemon_.readAllStandardError().toStdString();
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

    QTemporaryDir folder_;
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

} // namespace quillmere::test
