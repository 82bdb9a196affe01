// The window beside a real FUSE mount whose daemon was stopped: it comes up at once and lists
// the other volumes, Stop during a scan of the stalled mount itself gives the window back, and
// the access audit never waits on the main thread.
#include "app/CenterView.hpp"
#include "app/ContentView.hpp"
#include "app/ScanScreens.hpp"
#include "app/VolumePickerView.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/ScanState.hpp"
#include "support/Gate.hpp"
#include "support/HelperProcess.hpp"
#include "support/StalledMount.hpp"

#include <QTest>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace quillmere::testing {
namespace {

namespace fs = std::filesystem;

class StalledWindow : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(mountPoint);
        std::string reason;
        mount = StalledMount::make(mountPoint, reason);
        if (!mount) GTEST_SKIP() << reason;
        settings.setHasCompletedPermissionGate(true);
    }

    ContentView::Host host() {
        ContentView::Host host;
        host.listVolumes = [] { return ScannableVolume::mountedVolumes(); };
        host.snapshotIO = SnapshotIO{[](ScanSnapshot) {}, [] { return std::optional<ScanSnapshot>(); }};
        host.hasFullDiskAccess = [] { return true; };
        host.probeSystemData = [](const DiskScanResult&) { return SystemDataReport{}; };
        host.openUrl = [](const QUrl&) {};
        return host;
    }

    bool lists(const ContentView& view, const std::string& url) {
        const auto volumes = view.pickerVolumes();
        return std::ranges::any_of(volumes, [&](const ScannableVolume& v) { return v.url == url; });
    }

    TemporaryFolder folder;
    std::string mountPoint = folder.path() + "/stalled";
    std::unique_ptr<StalledMount> mount;
    AppSettings settings{QString::fromStdString(folder.path() + "/Quillmere.conf")};
    LaunchOptions options{{"quillmere"}, false};
};

TEST_F(StalledWindow, TheWindowComesUpAtOnceAndListsEveryOtherVolume) {
    mount->stall();
    ContentView view(options, settings, host());
    view.resize(980, 700);
    view.show();
    ASSERT_TRUE(view.picker());
    // The list comes in while the window is up; the stopped mount is not in it, "/" is.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.pickerVolumes().empty(); }, 30000));
    EXPECT_FALSE(lists(view, mountPoint));
    EXPECT_TRUE(lists(view, "/"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view.picker()->tiles().isEmpty(); }));
}

TEST_F(StalledWindow, StopDuringAScanOfTheStalledMountGivesTheWindowBack) {
    ContentView view(options, settings, host());
    view.resize(980, 700);
    view.show();
    mount->stall();
    view.startScan(
        ScannableVolume{mountPoint, "Stalled", std::string("uuid-stalled"), 16 << 20, 0, false, false, true});
    ASSERT_TRUE(view.centerView());
    ASSERT_TRUE(view.scanState().isScanning());
    view.centerView()->stopScan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.scanState().isScanning(); }, 30000));
    EXPECT_FALSE(view.scanState().finishedScan());
    EXPECT_TRUE(qobject_cast<ReadyToScanView*>(view.centerView()->currentPage()));
}

TEST_F(StalledWindow, TheAccessAuditReadsTheStalledVolumeOffTheMainThread) {
    ContentView view(options, settings, host());
    view.show();
    // Scanned while the daemon answers: the audit reads the volume's capacity.
    view.startScan(
        ScannableVolume{mountPoint, "Stalled", std::string("uuid-stalled"), 16 << 20, 0, false, false, true});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.scanState().isScanning(); }, 30000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.accessAudit().has_value(); }, 30000));
    const int64_t used = view.accessAudit()->volumeUsedBytes;
    EXPECT_GT(used, 0);

    mount->stall();
    view.reprobeAccess();
    // Back at once: the audit shown is still the last one while the capacity is read...
    ASSERT_TRUE(view.accessAudit());
    EXPECT_EQ(view.accessAudit()->volumeUsedBytes, used);
    // ...and a volume that does not answer counts as unreadable.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return view.accessAudit() && view.accessAudit()->volumeUsedBytes == 0; }, 30000));
}

} // namespace
} // namespace quillmere::testing
