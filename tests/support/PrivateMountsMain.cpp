// Test entry for tests that mount file systems: the process first moves into a mount namespace
// of its own, so that no other process on the machine meets what the tests mount (a stopped
// FUSE daemon would hang whoever looked). Then as QtTestMain: widgets render offscreen and
// settings go to a throw-away folder.
#include "support/StalledMount.hpp"

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Before any thread starts: threads keep the namespace they were started in.
    if (const std::string problem = quillmere::testing::enterPrivateMountNamespace(); !problem.empty())
        std::fprintf(stderr, "Tests that mount will be skipped: %s\n", problem.c_str());
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
