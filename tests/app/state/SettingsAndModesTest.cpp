#include "app/state/AppSettings.hpp"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
    QSettings(path, QSettings::IniFormat).setValue("diskViewMode", "Bykind");
    pane.setDiskViewMode(DiskViewMode::sunburst); // what the unknown text already read as
    EXPECT_EQ(gate.count(), 1);
    EXPECT_EQ(mode.count(), 0);
    EXPECT_EQ(modeText.count(), 1);
    EXPECT_TRUE(AppSettings(path).hasCompletedPermissionGate());

    AppSettings user;
    EXPECT_TRUE(user.fileName().endsWith("/Quillmere/Quillmere.conf")) << user.fileName().toStdString();
}

} // namespace
} // namespace quillmere
