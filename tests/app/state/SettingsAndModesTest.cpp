#include "app/state/AppSettings.hpp"

#include <QFile>
#include <QLockFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace quillmere {
namespace {

TEST(Modes, TextsGroupsAndTabs) {
    for (DiskViewMode mode : allDiskViewModes)
        EXPECT_EQ(diskViewModeFromText(textValue(mode)), mode);
    EXPECT_EQ(textValue(DiskViewMode::largestItems), "largestItems");
    for (std::string_view unknown : {"", "Treemap", "list ", "rings"})
        EXPECT_EQ(diskViewModeOrSunburst(unknown), DiskViewMode::sunburst) << unknown;
    EXPECT_EQ(mapModes(), (std::vector{DiskViewMode::sunburst, DiskViewMode::treemap, DiskViewMode::list}));
    EXPECT_EQ(insightModes(),
              (std::vector{DiskViewMode::largestItems, DiskViewMode::byKind, DiskViewMode::untouched}));
    EXPECT_EQ(tabTitle(AppSection::macintoshHD), "Disk");
    EXPECT_EQ(tabTitle(AppSection::systemData), "System Data");
    EXPECT_EQ(tabTitle(AppSection::applications), "Applications");
}

TEST(AppSettings, DefaultsFallbacksAndChangeSignalsAcrossStores) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Quillmere.conf");
    // A text that names no mode, found in the file when it is opened.
    QSettings(path, QSettings::IniFormat).setValue("diskViewMode", "Bykind");
    AppSettings window(path), pane(path);
    EXPECT_EQ(window.appearance(), "system");
    EXPECT_EQ(window.diskViewMode(), DiskViewMode::sunburst);
    EXPECT_FALSE(window.scansOnLaunch());
    EXPECT_TRUE(window.showsCapacityGauge());
    EXPECT_FALSE(window.hasCompletedPermissionGate());
    EXPECT_EQ(window.untouchedYears(), 1);

    QSignalSpy gate(&window, &AppSettings::hasCompletedPermissionGateChanged);
    QSignalSpy mode(&window, &AppSettings::diskViewModeChanged);
    QSignalSpy modeText(&window, &AppSettings::diskViewModeTextChanged);
    pane.setHasCompletedPermissionGate(false); // the default already
    pane.setHasCompletedPermissionGate(true);
    pane.setHasCompletedPermissionGate(true);
    pane.setDiskViewMode(DiskViewMode::sunburst); // what the unknown text already read as
    EXPECT_EQ(gate.count(), 1);
    EXPECT_EQ(mode.count(), 0);
    EXPECT_EQ(modeText.count(), 1);
    EXPECT_TRUE(AppSettings(path).hasCompletedPermissionGate());

    AppSettings user;
    EXPECT_TRUE(user.fileName().endsWith("/Quillmere/Quillmere.conf")) << user.fileName().toStdString();
}

TEST(AppSettings, AWriteNeverWaitsForTheFileAndNoneIsLost) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Quillmere.conf");
    const auto fileText = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    {
        AppSettings window(path), pane(path);
        // Another writer holds the file: the store's write must not wait for it.
        QLockFile other(path + ".lock");
        ASSERT_TRUE(other.lock());
        window.setAppearance("dark");
        window.setUntouchedYears(3);
        window.setAppearance("light");
        EXPECT_EQ(pane.appearance(), "light");
        EXPECT_EQ(AppSettings(path).untouchedYears(), 3);
        EXPECT_FALSE(fileText().contains("appearance")) << fileText().toStdString();
        other.unlock();
        pane.waitUntilWritten();
        EXPECT_TRUE(fileText().contains("appearance=light")) << fileText().toStdString();
        EXPECT_TRUE(fileText().contains("untouchedYears=3"));

        // The last store to go waits for what is still queued: a value set while the writer is
        // busy with the one before, which it is once it has opened the held lock file to see
        // whose it is.
        ASSERT_TRUE(other.lock());
        const int watch = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, QFile::encodeName(path + ".lock").constData(), IN_OPEN), 0);
        pane.setScansOnLaunch(true);
        pollfd opened{.fd = watch, .events = POLLIN, .revents = 0};
        ASSERT_EQ(poll(&opened, 1, 60'000), 1) << "the writer never looked at the held lock";
        ::close(watch);
        pane.setUntouchedYears(5);
        other.unlock();
    }
    EXPECT_TRUE(fileText().contains("scansOnLaunch=true")) << fileText().toStdString();
    EXPECT_TRUE(fileText().contains("untouchedYears=5")) << fileText().toStdString();
    EXPECT_TRUE(QSettings(path, QSettings::IniFormat).value("scansOnLaunch").toBool());
    EXPECT_EQ(AppSettings(path).appearance(), "light");
}

} // namespace
} // namespace quillmere
