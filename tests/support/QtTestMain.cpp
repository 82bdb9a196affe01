// Test entry for code that needs a Qt application object: widgets render offscreen,
// settings go to a throw-away folder, and queued calls can be delivered.
#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quillmere");
    QApplication::setOrganizationName("Quillmere");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
