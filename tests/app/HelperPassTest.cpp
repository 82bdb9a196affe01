// A scan's end through the window with the real helper on a socket of the test's own: what
// the scan was denied is walked by the helper and grafted in before the result is stored.
#include "access/AccessAuditor.hpp"
#include "access/HelperServiceManager.hpp"
#include "app/ContentView.hpp"
#include "app/access/PrivilegedScanController.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "platform/HostSystem.hpp"
#include "support/HelperProcess.hpp"
#include "ui/BackgroundWork.hpp"

#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmere {
namespace {

namespace fs = std::filesystem;

// The real disk, except that folders of one name cannot be opened: the tests run as root,
// where nothing is ever denied.
class DenyingHost final : public platform::ScanHost {
public:
    explicit DenyingHost(std::string deniedName) : deniedName_(std::move(deniedName)) {}
    platform::Fd openDirectoryAt(int directoryFd, const char* name) override {
        if (fs::path(name).filename() == deniedName_) {
            errno = EACCES;
            return platform::Fd();
        }
        return ScanHost::openDirectoryAt(directoryFd, name);
    }

private:
    std::string deniedName_;
};

struct HelperPass {
    testing::TemporaryFolder folder;
    const std::string tree = folder.path() + "/tree";
    const std::string locked = tree + "/locked";
    const std::string socket = folder.path() + "/helper.sock";
    DenyingHost disk{"locked"};
    std::shared_ptr<FakeHelperServiceManager> service = std::make_shared<FakeHelperServiceManager>();
    AppSettings settings{QString::fromStdString(folder.path() + "/Quillmere.conf")};
    LaunchOptions options{{"quillmere"}, false};
    ScannableVolume volume{tree, "Tree", std::string("uuid-tree"), 1 << 30, 0, false, false, true};
    std::mutex savedLock;
    std::vector<ScanSnapshot> saved; // written on a worker thread

    HelperPass() {
        fs::create_directories(locked + "/deeper");
        fs::create_directories(tree + "/open");
        std::ofstream(tree + "/open/seen.bin") << std::string(5000, 'a');
        std::ofstream(locked + "/inside.bin") << std::string(40000, 'b');
        std::ofstream(locked + "/deeper/more.bin") << std::string(9000, 'c');
        settings.setHasCompletedPermissionGate(true);
    }

    ContentView::Host host() {
        ContentView::Host host;
        host.listVolumes = [this] { return std::vector<ScannableVolume>{volume}; };
        host.snapshotIO = SnapshotIO{[this](ScanSnapshot snapshot) {
                                         std::lock_guard guard(savedLock);
                                         saved.push_back(std::move(snapshot));
                                     },
                                     [] { return std::optional<ScanSnapshot>(); }};
        host.hasFullDiskAccess = [] { return false; };
        host.probeSystemData = [](const DiskScanResult&) { return SystemDataReport{}; };
        host.openUrl = [](const QUrl&) {};
        host.helperService = service;
        host.helperSocket = socket;
        host.helperUser = ::geteuid();
        host.scanHost = &disk;
        return host;
    }

    // Scans the tree and waits for the stored result, the helper's pass included.
    const DiskScanResult& scan(ContentView& view) {
        view.startScan(volume);
        QEventLoop loop;
        QObject::connect(&view.scanState(), &ScanState::isScanningChanged, &loop, [&] {
            if (!view.scanState().isScanning()) loop.quit();
        });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        if (view.scanState().isScanning()) loop.exec();
        EXPECT_FALSE(view.scanState().isScanning());
        waitForBackgroundWork();
        ScanState::waitForSnapshotWork();
        return *view.scanState().finishedScan();
    }

    ScanSnapshot lastSaved() {
        std::lock_guard guard(savedLock);
        return saved.back();
    }
};

int64_t allocated(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0);
    return static_cast<int64_t>(info.st_blocks) * 512;
}

std::vector<std::string> labels(const std::optional<AccessAudit>& audit) {
    std::vector<std::string> texts;
    if (audit)
        for (const AccessAuditLocation& location : audit->topDeniedLocations)
            texts.push_back(location.label);
    return texts;
}

TEST(HelperPass, AnEnabledHelperFillsTheDeniedFolderOneAwaitingApprovalLeavesTheResultAlone) {
    HelperPass pass;
    testing::HelperProcess helper(
        {testing::helperProgram(), "--socket", pass.socket, "--socket-mode", "0666"});
    ASSERT_TRUE(helper.awaitReady());
    const std::string label = AccessAuditor::locationLabel(pass.locked, platform::homeDirectory());

    pass.service->setRawStatus(PrivilegedScanStatus::kRequiresApproval);
    ContentView view(pass.options, pass.settings, pass.host());
    view.show();
    ASSERT_EQ(view.privilegedScan()->status(), PrivilegedScanStatus::awaitingApproval());
    {
        const DiskScanResult& result = pass.scan(view);
        ASSERT_EQ(result.deniedPaths.size(), 1u);
        EXPECT_EQ(result.deniedPaths[0].url, pass.locked);
        const auto locked = result.root.find(pass.locked);
        ASSERT_TRUE(locked);
        EXPECT_TRUE(locked->children().empty());
        EXPECT_TRUE(pass.lastSaved().root.find(pass.locked)->children().empty());
        // The audit reads the volume's capacity off the main thread.
        ASSERT_TRUE(QTest::qWaitFor([&] { return view.accessAudit().has_value(); }));
        EXPECT_EQ(labels(view.accessAudit()), std::vector<std::string>{label});
    }

    // Approved meanwhile: the next activation learns it, and the next scan's end asks the helper.
    pass.service->setRawStatus(PrivilegedScanStatus::kEnabled);
    view.reprobeAccess();
    ASSERT_EQ(view.privilegedScan()->status(), PrivilegedScanStatus::on());
    const DiskScanResult& result = pass.scan(view);
    EXPECT_TRUE(result.deniedPaths.empty());
    EXPECT_EQ(result.deniedBytesEstimate, 0);
    const int64_t inside = allocated(pass.locked + "/inside.bin");
    const int64_t more = allocated(pass.locked + "/deeper/more.bin");
    for (const FileNode& root : {result.root, pass.lastSaved().root, view.history().currentPath().front()}) {
        const auto locked = root.find(pass.locked);
        ASSERT_TRUE(locked);
        ASSERT_TRUE(root.find(pass.locked + "/inside.bin"));
        EXPECT_EQ(root.find(pass.locked + "/inside.bin")->allocatedSize(), inside);
        ASSERT_TRUE(root.find(pass.locked + "/deeper/more.bin"));
        EXPECT_GE(locked->allocatedSize(), inside + more);
        EXPECT_GE(root.allocatedSize(), locked->allocatedSize() + allocated(pass.tree + "/open/seen.bin"));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.accessAudit().has_value(); }));
    EXPECT_TRUE(labels(view.accessAudit()).empty());
}

} // namespace
} // namespace quillmere
