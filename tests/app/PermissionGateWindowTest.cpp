#include "AccessScreenProbe.hpp"
#include "access/AccessAuditor.hpp"
#include "app/ContentView.hpp"
#include "app/VolumePickerView.hpp"
#include "app/access/PermissionGateView.hpp"
#include "app/state/AppSettings.hpp"
#include "ui/Transitions.hpp"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using testing::shownButton;
using testing::shownTexts;

// A first launch: no settings file yet, and Full Disk Access denied through the probe override.
struct FirstLaunch {
    QTemporaryDir folder;
    AppSettings settings{folder.filePath("Quillmere.conf")};
    LaunchOptions options{{"quillmere"}, false};
    std::vector<QUrl> opened;

    FirstLaunch() { qputenv(kFullDiskAccessProbeVariable, folder.filePath("missing").toUtf8()); }
    ~FirstLaunch() { qunsetenv(kFullDiskAccessProbeVariable); }

    ContentView::Host host() {
        ContentView::Host host = ContentView::Host::system();
        host.listVolumes = [] {
            return std::vector<ScannableVolume>{
                ScannableVolume{"/", "Disk", std::string("uuid-root"), 1000, 500, true, false, true}};
        };
        host.snapshotIO = SnapshotIO{[](ScanSnapshot) {}, [] { return std::optional<ScanSnapshot>(); }};
        host.openUrl = [this](const QUrl& url) { opened.push_back(url); };
        host.helperService = nullptr;
        return host;
    }
};

TEST(PermissionGateWindow, GrantOpensTheAddressAndContinuePassesTheGateForGood) {
    FirstLaunch launch;
    {
        ContentView view(launch.options, launch.settings, launch.host());
        PermissionGateView* gate = view.gate();
        ASSERT_TRUE(transitions::isLayerShown(gate));
        EXPECT_EQ(view.picker(), nullptr);
        EXPECT_TRUE(shownTexts(*gate).contains("You can grant access later in System Settings"));

        shownButton(*gate, "Grant Full Disk Access\u2026")->click();
        ASSERT_EQ(launch.opened.size(), 1u);
        EXPECT_EQ(launch.opened.front().toString().size(), 72);
        EXPECT_TRUE(transitions::isLayerShown(gate));
        EXPECT_FALSE(launch.settings.hasCompletedPermissionGate());
        EXPECT_FALSE(QFile(launch.settings.fileName()).exists());

        // Access granted meanwhile shows on the next activation.
        qputenv(kFullDiskAccessProbeVariable, launch.folder.path().toUtf8());
        view.reprobeAccess();
        EXPECT_TRUE(shownTexts(*gate).contains("Read access to your home folder is already granted"));
        EXPECT_EQ(shownButton(*gate, "Grant Full Disk Access\u2026"), nullptr);

        shownButton(*gate, "Continue")->click();
        EXPECT_TRUE(launch.settings.hasCompletedPermissionGate());
        EXPECT_FALSE(transitions::isLayerShown(gate));
    }
    AppSettings fresh(launch.settings.fileName());
    EXPECT_TRUE(fresh.hasCompletedPermissionGate());
    ContentView again(launch.options, fresh, launch.host());
    EXPECT_FALSE(transitions::isLayerShown(again.gate()));
    ASSERT_NE(again.picker(), nullptr);
}

} // namespace
} // namespace quillmere
