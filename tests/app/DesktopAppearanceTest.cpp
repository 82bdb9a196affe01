// The main window's colours with the appearance "system": the desktop's colour preference from
// the settings portal, followed while the application runs.
#include "app/MainWindow.hpp"
#include "app/state/AppSettings.hpp"
#include "support/FakeSettingsPortal.hpp"
#include "support/PrivateBus.hpp"
#include "ui/DesktopSettings.hpp"
#include "ui/Theme.hpp"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using test::FakeSettingsPortal;
using test::kColorSchemeKey;

class DesktopAppearance : public test::PrivateBus {
protected:
    ContentView::Host host(platform::DesktopSettings& desktop) {
        ContentView::Host host;
        host.listVolumes = [] { return std::vector<ScannableVolume>{}; };
        host.snapshotIO = SnapshotIO{[](ScanSnapshot) {}, [] { return std::optional<ScanSnapshot>(); }};
        host.hasFullDiskAccess = [] { return true; };
        host.openUrl = [](const QUrl&) {};
        host.desktopSettings = &desktop;
        return host;
    }
    void change(unsigned scheme) {
        FakeSettingsPortal::sendChange(portalBus_, kColorSchemeKey.first, kColorSchemeKey.second, scheme);
    }
    void serve(unsigned scheme) {
        portal_.values[kColorSchemeKey] = scheme;
        portalBus_ = connect("portal");
        ASSERT_TRUE(portal_.serveOn(portalBus_));
    }

    QTemporaryDir folder_;
    FakeSettingsPortal portal_;
    QDBusConnection portalBus_{QString()};
};

bool isDark(const QWidget& window) {
    return Theme::isDark(window.palette());
}

TEST_F(DesktopAppearance, ADarkDesktopTurnsTheWindowDarkAndItsChangesFollowWithoutARestart) {
    serve(1);
    platform::DesktopSettings desktop(connect("app"));
    AppSettings settings(folder_.filePath("Quillmere.conf"));
    const LaunchOptions options{{"quillmere"}, false};
    MainWindow window(options, settings, host(desktop));
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return isDark(window); }, 30000));
    EXPECT_TRUE(isDark(window.content()));
    window.openAbout();
    window.openSettings();
    EXPECT_TRUE(isDark(*window.aboutWindow()));
    EXPECT_TRUE(isDark(*window.settingsWindow()));

    change(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !isDark(window); }, 30000));
    EXPECT_FALSE(isDark(*window.settingsWindow()));

    // A chosen appearance wins over the desktop's, and "system" follows it again.
    change(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return isDark(window); }, 30000));
    settings.setAppearance("light");
    EXPECT_FALSE(isDark(window));
    QSignalSpy schemes(&desktop, &platform::DesktopSettings::colorSchemeChanged);
    change(2);
    change(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return schemes.size() == 2; }, 30000));
    EXPECT_FALSE(isDark(window));
    settings.setAppearance("system");
    EXPECT_TRUE(isDark(window));
}

} // namespace
} // namespace quillmere
