#include "app/LaunchOptions.hpp"

#include "app/state/Modes.hpp"

#include <gtest/gtest.h>
#include <map>

namespace quillmere {
namespace {

LaunchOptions with(std::vector<std::string> arguments, bool testHost = false) {
    arguments.insert(arguments.begin(), "/usr/bin/quillmere");
    return LaunchOptions{arguments, testHost};
}

TEST(LaunchOptions, ScanDebugIsAWholeArgumentAndNeverForATestHost) {
    EXPECT_TRUE(with({"--scan-debug"}).wantsScanDebugReport());
    EXPECT_FALSE(with({"--scan-debugger"}).wantsScanDebugReport());
    EXPECT_FALSE(with({"--scan-debug"}, true).wantsScanDebugReport());
    EXPECT_TRUE(with({"--debug-start-scan"}).hasDevelopmentSwitch());
    EXPECT_FALSE(with({"-debug-x", "debug"}).hasDevelopmentSwitch());
}

TEST(LaunchOptions, AppearanceSwitchBeatsTheStoredSetting) {
    EXPECT_EQ(resolvedDarkAppearance(with({"--appearance", "dark"}), "light"), true);
    EXPECT_EQ(resolvedDarkAppearance(with({"--appearance", "Dark"}), "light"), false);
    EXPECT_EQ(resolvedDarkAppearance(with({"--appearance", "system"}), "dark"), true);
    EXPECT_EQ(resolvedDarkAppearance(with({"--appearance"}), "system"), std::nullopt);
    EXPECT_EQ(resolvedDarkAppearance(with({"--appearance", "light", "--appearance", "dark"}), "dark"), false);
    EXPECT_EQ(resolvedDarkAppearance(with({}), "sepia"), std::nullopt);
}

TEST(LaunchOptions, SectionFromTheDevelopmentSwitch) {
    EXPECT_EQ(with({"--debug-section", "system-data"}).launchSection(), AppSection::systemData);
    EXPECT_EQ(with({"--debug-section", "applications"}).launchSection(), AppSection::applications);
    EXPECT_EQ(with({"--debug-section"}).launchSection(), AppSection::macintoshHD);
    EXPECT_EQ(with({"--debug-section", "disk"}).launchSection(), AppSection::macintoshHD);
}

} // namespace
TEST(LaunchOptions, AWindowNeedsADisplayOrAChosenPlatform) {
    std::map<std::string, std::string> env;
    const auto lookup = [&](const char* name) -> std::optional<std::string> {
        const auto found = env.find(name);
        return found == env.end() ? std::nullopt : std::optional(found->second);
    };
    const LaunchOptions plain{{"quillmere"}, false};
    EXPECT_FALSE(hasGraphicalSession(plain, lookup));
    env["DISPLAY"] = "";
    EXPECT_FALSE(hasGraphicalSession(plain, lookup)); // set but empty names nothing
    env["DISPLAY"] = ":0";
    EXPECT_TRUE(hasGraphicalSession(plain, lookup));
    env = {{"WAYLAND_DISPLAY", "wayland-0"}};
    EXPECT_TRUE(hasGraphicalSession(plain, lookup));
    env = {{"QT_QPA_PLATFORM", "offscreen"}};
    EXPECT_TRUE(hasGraphicalSession(plain, lookup));
    env.clear();
    EXPECT_TRUE(hasGraphicalSession(LaunchOptions{{"quillmere", "-platform", "vnc"}, false}, lookup));
}

} // namespace quillmere
