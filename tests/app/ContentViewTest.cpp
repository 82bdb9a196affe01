#include "app/ContentView.hpp"

#include "app/CenterView.hpp"
#include "app/InspectorView.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

namespace fs = std::filesystem;

// A window over a made-up disk: one or two volumes, an optional saved scan, no file written.
struct Launch {
    QTemporaryDir folder;
    AppSettings settings{folder.filePath("settings.ini")};
    LaunchOptions options;
    std::vector<ScannableVolume> volumes;
    std::optional<ScanSnapshot> saved;
    std::atomic<int> saves = 0; // the saver runs on a worker thread

    explicit Launch(std::vector<std::string> arguments) : options{std::move(arguments), false} {
        options.arguments.insert(options.arguments.begin(), "quillmere");
        volumes.push_back(
            ScannableVolume{"/", "Disk", std::string("uuid-root"), 1000, 500, true, false, true});
        volumes.push_back(
            ScannableVolume{"/media/x", "Stick", std::string("uuid-x"), 100, 50, false, true, false});
    }

    ContentView::Host host() {
        return ContentView::Host{[this] { return volumes; },
                                 SnapshotIO{[this](ScanSnapshot) { ++saves; }, [this] { return saved; }},
                                 [] { return true; }};
    }

    // Runs the launch task to its end on the event loop.
    void launch(ContentView& view) {
        QEventLoop loop;
        QObject::connect(&view, &ContentView::launchTaskFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        view.runLaunchTask();
        loop.exec();
    }
};

ScanSnapshot snapshotOf(const std::string& uuid) {
    const FolderPath root = FolderPath::root("/");
    std::vector<FileNode> children{
        FileNode::under(root, "small", NodeFields{.allocatedSize = 10, .fileCount = 1}),
        FileNode::under(root, "big", NodeFields{.allocatedSize = 900, .fileCount = 1}),
        FileNode::under(root, "twin", NodeFields{.allocatedSize = 900, .fileCount = 1}),
        FileNode::under(root, "9 more items",
                        NodeFields{.allocatedSize = 5000, .isAggregate = true, .fileCount = 9})};
    return ScanSnapshot{FileNode::folder(root, "/", std::nullopt, std::move(children)), uuid, "Disk", 0};
}

TEST(ContentViewLaunch, ANormalLaunchShowsThePickerEvenWithASavedScan) {
    Launch setup({});
    setup.saved = snapshotOf("uuid-root");
    ContentView view(setup.options, setup.settings, setup.host());
    setup.launch(view);
    EXPECT_FALSE(view.selectedVolume());
    EXPECT_EQ(view.scanState().rescanToken(), 0);
    EXPECT_TRUE(view.scanState().savedSnapshot());
    EXPECT_EQ(view.section(), AppSection::macintoshHD);
}

TEST(ContentViewLaunch, DevelopmentRunsShowTheSavedScanAndStartNothingThemselves) {
    Launch setup({"--debug-skip-permission-gate", "--debug-select-largest"});
    setup.saved = snapshotOf("uuid-root");
    setup.settings.setScansOnLaunch(true);
    ContentView view(setup.options, setup.settings, setup.host());
    setup.launch(view);
    ASSERT_TRUE(view.selectedVolume());
    EXPECT_EQ(view.selectedVolume()->url, "/");
    EXPECT_EQ(view.scanState().rescanToken(), 0);
    view.show(); // the scan screen looks at the saved scan when it is shown
    ASSERT_TRUE(view.centerView());
    EXPECT_EQ(view.history().currentPath().size(), 1u);
    // The largest child that is not an aggregate; the first of equal sizes wins.
    ASSERT_TRUE(view.selection().selectedNode());
    EXPECT_EQ(view.selection().selectedNode()->name(), "big");
}

TEST(ContentViewLaunch, StartScanBeatsSelectLargestAndScansOnLaunchNeedsTheSnapshotsVolume) {
    Launch both({"--debug-skip-permission-gate", "--debug-start-scan", "--debug-select-largest"});
    both.saved = snapshotOf("uuid-root");
    ContentView first(both.options, both.settings, both.host());
    both.launch(first);
    first.show();
    EXPECT_EQ(first.scanState().rescanToken(), 1);
    EXPECT_FALSE(first.selection().selectedNode());

    Launch onLaunch({});
    onLaunch.saved = snapshotOf("uuid-x");
    onLaunch.settings.setScansOnLaunch(true);
    ContentView second(onLaunch.options, onLaunch.settings, onLaunch.host());
    onLaunch.launch(second);
    ASSERT_TRUE(second.selectedVolume());
    EXPECT_EQ(second.selectedVolume()->url, "/media/x");
    EXPECT_EQ(second.scanState().rescanToken(), 1);

    Launch unknown({});
    unknown.saved = snapshotOf("uuid-gone");
    unknown.settings.setScansOnLaunch(true);
    ContentView third(unknown.options, unknown.settings, unknown.host());
    unknown.launch(third);
    EXPECT_FALSE(third.selectedVolume());
    EXPECT_EQ(third.scanState().rescanToken(), 0);
}

TEST(ContentViewLaunch, SectionSwitchAndNoVolumesFallBackToTheStartupVolume) {
    Launch setup({"--debug-section", "applications"});
    setup.volumes.clear();
    ContentView view(setup.options, setup.settings, setup.host());
    EXPECT_EQ(view.section(), AppSection::applications);
    ASSERT_EQ(view.pickerVolumes().size(), 1u);
    EXPECT_EQ(view.pickerVolumes()[0].url, "/");
}

// Waits until the scan screen is no longer scanning.
void waitForScanEnd(ScanState& state) {
    QEventLoop loop;
    QObject::connect(&state, &ScanState::isScanningChanged, &loop, [&] {
        if (!state.isScanning()) loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    if (state.isScanning()) loop.exec();
}

TEST(ContentViewScan, AScanEndsInTheTreeAndAVanishedVolumeEndsTheScanToo) {
    const fs::path dir = fs::temp_directory_path() / ("quillmere-window-" + std::to_string(::getpid()));
    fs::create_directories(dir / "a");
    std::ofstream(dir / "a" / "f") << "hello";
    Launch setup({"--debug-skip-permission-gate"});
    ContentView view(setup.options, setup.settings, setup.host());
    view.show();
    view.startScan(
        ScannableVolume{dir.string(), "Folder", std::string("uuid-folder"), 1 << 20, 0, false, false, true});
    waitForScanEnd(view.scanState());
    ASSERT_TRUE(view.scanState().finishedScan());
    EXPECT_EQ(view.history().currentPath().size(), 1u);
    EXPECT_EQ(view.history().volumeName(), "Folder");
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_EQ(setup.saves, 1);

    // The folder is gone before the walk starts: the stream ends without a result, and the
    // window leaves the scanning screen instead of waiting for ever.
    fs::remove_all(dir);
    view.chooseAnotherDisk();
    view.startScan(ScannableVolume{dir.string(), "Folder", std::nullopt, 1 << 20, 0, false, false, true});
    EXPECT_TRUE(view.scanState().isScanning());
    waitForScanEnd(view.scanState());
    EXPECT_FALSE(view.scanState().isScanning());
    EXPECT_TRUE(view.history().currentPath().empty());
}

TEST(ContentViewInspector, OpeningANodeDrillsDownAndClearsTheSelectionDeleteOnlySetsTheFlag) {
    Launch setup({"--debug-skip-permission-gate", "--debug-select-largest"});
    const FolderPath root = FolderPath::root("/");
    const FolderPath usr = root.child("usr");
    const FolderPath lib = usr.child("lib");
    FileNode libFolder =
        FileNode::folder(lib, "lib", std::nullopt,
                         {FileNode::under(lib, "a.so", NodeFields{.allocatedSize = 50, .fileCount = 1})});
    FileNode usrFolder = FileNode::folder(usr, "usr", std::nullopt, {libFolder});
    setup.saved =
        ScanSnapshot{FileNode::folder(root, "/", std::nullopt, {usrFolder}), "uuid-root", "Disk", 0};
    ContentView view(setup.options, setup.settings, setup.host());
    setup.launch(view);
    view.show();
    ASSERT_TRUE(view.selection().selectedNode());
    EXPECT_TRUE(view.isInspectorPresented());

    // Not below the folder shown, or the folder itself: nothing happens.
    view.openNode(FileNode::under(root, "elsewhere", NodeFields{.isDirectory = true}));
    view.openNode(view.history().currentPath().back());
    EXPECT_EQ(view.history().currentPath().size(), 1u);
    EXPECT_TRUE(view.selection().selectedNode());

    view.openNode(libFolder);
    const auto chain = view.history().currentPath();
    ASSERT_EQ(chain.size(), 3u);
    EXPECT_EQ(chain[1].path(), "/usr");
    EXPECT_EQ(chain[2].path(), "/usr/lib");
    EXPECT_FALSE(view.selection().selectedNode());
    EXPECT_FALSE(view.isInspectorPresented());

    // Delete presents the stand-in sheet; nothing is removed and the tree stays.
    view.selection().setSelectedNode(chain[2].children()[0]);
    view.inspector()->deleteSelection();
    EXPECT_TRUE(view.isDeleteConfirmationPresented());
    ASSERT_NE(view.deleteSheet(), nullptr);
    static_cast<QDialog*>(view.deleteSheet())->reject();
    QApplication::processEvents();
    EXPECT_FALSE(view.isDeleteConfirmationPresented());
    EXPECT_EQ(view.history().currentPath().back().children().size(), 1u);
}

} // namespace
} // namespace quillmere
