#include "app/ContentView.hpp"

#include "app/CenterView.hpp"
#include "app/InspectorView.hpp"
#include "app/InspectorWidgets.hpp"
#include "app/MainTopBar.hpp"
#include "app/MainWindow.hpp"
#include "app/ScanScreens.hpp"
#include "app/SystemDataAwaitingScanView.hpp"
#include "app/VolumePickerView.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"
#include "ui/BackgroundWork.hpp"
#include "ui/SegmentedPills.hpp"
#include "ui/Theme.hpp"
#include "views/widgets/InsightViews.hpp"

#include <QAbstractAnimation>
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

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

// Stops the scan a launch started and waits until its walk has ended (a walk holds the
// cancellation it was started with until then): a walk of the real disk must not run on past
// the test, into the process's exit.
void endScanOf(ContentView& view) {
    const std::shared_ptr<ScanCancellation> cancellation = view.scanState().cancellation();
    cancellation->cancel();
    const auto heldByTheStateAndHere = 2;
    EXPECT_TRUE(QTest::qWaitFor([&] { return cancellation.use_count() <= heldByTheStateAndHere; }, 30000));
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
    endScanOf(first);
    endScanOf(second);
}

TEST(ContentViewLaunch, StartScanOnAFirstLaunchScansTheStartupDisk) {
    Launch first({"--debug-skip-permission-gate", "--debug-start-scan"});
    std::swap(first.volumes[0], first.volumes[1]); // the startup disk is not the first listed
    ContentView view(first.options, first.settings, first.host());
    first.launch(view);
    ASSERT_TRUE(view.selectedVolume());
    EXPECT_EQ(view.selectedVolume()->url, "/");
    EXPECT_EQ(view.scanState().rescanToken(), 1);
    EXPECT_TRUE(view.scanState().isScanning());

    // A saved scan of a disk no longer listed leaves the choice to the switch as well.
    Launch gone({"--debug-skip-permission-gate", "--debug-start-scan"});
    gone.saved = snapshotOf("uuid-gone");
    ContentView other(gone.options, gone.settings, gone.host());
    gone.launch(other);
    ASSERT_TRUE(other.selectedVolume());
    EXPECT_EQ(other.selectedVolume()->url, "/");
    EXPECT_EQ(other.scanState().rescanToken(), 1);

    // Without the switch a first launch waits for the user.
    Launch plain({"--debug-skip-permission-gate"});
    ContentView idle(plain.options, plain.settings, plain.host());
    plain.launch(idle);
    EXPECT_FALSE(idle.selectedVolume());
    EXPECT_EQ(idle.scanState().rescanToken(), 0);
    endScanOf(view);
    endScanOf(other);
}

TEST(ContentViewLaunch, SectionSwitchAndNoVolumesFallBackToTheStartupVolume) {
    Launch setup({"--debug-section", "applications"});
    setup.volumes.clear();
    ContentView view(setup.options, setup.settings, setup.host());
    EXPECT_EQ(view.section(), AppSection::applications);
    // The volumes are listed off the main thread: nothing is offered until they are in.
    EXPECT_TRUE(view.pickerVolumes().empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.pickerVolumes().empty(); }));
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
    waitForBackgroundWork();
    ScanState::waitForSnapshotWork();
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

// Showing a screen under the pointer waits on the display server; the walk is asked for
// before the scan screen first shows, so it never waits with it.
TEST(ContentViewScan, TheScanScreenShowsWithItsScanAlreadyAskedFor) {
    struct ShowWatch : QObject {
        ScanState* state = nullptr;
        std::vector<bool> scanningAtShow;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show && qobject_cast<CenterView*>(watched))
                scanningAtShow.push_back(state->isScanning());
            return false;
        }
    };
    Launch setup({"--debug-skip-permission-gate"});
    ContentView view(setup.options, setup.settings, setup.host());
    view.show();
    ShowWatch watch;
    watch.state = &view.scanState();
    qApp->installEventFilter(&watch);
    for (int round = 0; round < 2; ++round) {
        view.startScan(setup.volumes[1]);
        view.scanState().cancellation()->cancel();
        waitForScanEnd(view.scanState());
        view.chooseAnotherDisk();
    }
    qApp->removeEventFilter(&watch);
    EXPECT_EQ(watch.scanningAtShow, std::vector<bool>({true, true}));
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

    // The inspector's own row opens it: the column is rebuilt while the row is being clicked.
    view.selection().setSelectedNode(usrFolder);
    const auto rows = view.inspector()->contentsRows();
    ASSERT_EQ(rows.size(), 1);
    rows.front()->click();
    QApplication::processEvents();
    const auto chain = view.history().currentPath();
    ASSERT_EQ(chain.size(), 3u);
    EXPECT_EQ(chain[1].path(), "/usr");
    EXPECT_EQ(chain[2].path(), "/usr/lib");
    EXPECT_FALSE(view.selection().selectedNode());
    EXPECT_FALSE(view.isInspectorPresented());

    // Delete presents the confirmation sheet; cancelling it removes nothing and the tree stays.
    view.selection().setSelectedNode(chain[2].children()[0]);
    view.inspector()->deleteSelection();
    EXPECT_TRUE(view.isDeleteConfirmationPresented());
    ASSERT_NE(view.deleteSheet(), nullptr);
    static_cast<QDialog*>(view.deleteSheet())->reject();
    QApplication::processEvents();
    EXPECT_FALSE(view.isDeleteConfirmationPresented());
    EXPECT_EQ(view.history().currentPath().back().children().size(), 1u);
}

// Spins the event loop until `done` holds (animations run their course); the limit only keeps
// a broken run from hanging.
bool eventually(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, 20000);
}

// Whether an animation of `widget` or of anything inside it is still running.
bool anyAnimationRuns(const QWidget& widget) {
    const auto animations = widget.findChildren<QAbstractAnimation*>();
    return std::ranges::any_of(animations, [](const QAbstractAnimation* animation) {
        return animation->state() == QAbstractAnimation::Running;
    });
}

QRect inWindow(const QWidget* widget) {
    return QRect(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
}

// A development run that shows the saved scan in the list view, as the window draws it.
struct ShownTree {
    Launch setup{{"--debug-skip-permission-gate", "--debug-section", "disk"}};
    std::unique_ptr<ContentView> view;

    explicit ShownTree(DiskViewMode mode) {
        setup.saved = snapshotOf("uuid-root");
        setup.settings.setDiskViewMode(mode);
        view = std::make_unique<ContentView>(setup.options, setup.settings, setup.host());
        setup.launch(*view);
        view->resize(1200, 800);
        view->show();
    }
};

TEST(ContentViewLayout, TheInspectorLiesBesideTheViewNotOverIt) {
    ShownTree shown(DiskViewMode::list);
    CenterView* center = shown.view->centerView();
    ASSERT_TRUE(center);
    // The list is padded inside the disk-view slot, which keeps the page's whole width.
    ASSERT_TRUE(
        eventually([&] { return center->diskView() && center->diskView()->width() == center->width(); }));
    const QWidget* page = center->diskView();
    // The panel itself, without the room its shadow takes around it.
    const auto panelLeft = [&] {
        const InspectorView* inspector = shown.view->inspector();
        return inspector->mapTo(inspector->window(), inspector->panelRect().topLeft().toPoint()).x();
    };

    shown.view->selection().setSelectedNode(shown.view->history().currentPath().front().children()[1]);
    EXPECT_TRUE(shown.view->isInspectorPresented());
    // The panel comes in from beyond the trailing edge, faded, and ends in place drawn directly.
    EXPECT_GT(panelLeft(), 1200 - 16 - 302);
    EXPECT_TRUE(shown.view->inspector()->graphicsEffect());
    EXPECT_DOUBLE_EQ(center->detailsPanelInset(), 334);
    ASSERT_TRUE(eventually([&] { return panelLeft() == 1200 - 16 - 302; }));
    ASSERT_TRUE(eventually([&] { return page->width() == center->width() - 334; }));
    ASSERT_TRUE(eventually([&] { return !shown.view->inspector()->graphicsEffect(); }));
    EXPECT_LT(inWindow(page).right(), panelLeft());
    EXPECT_TRUE(shown.view->inspector()->isVisible());

    // Clearing the selection closes the panel, and the view takes the whole width again.
    shown.view->selection().setSelectedNode(std::nullopt);
    ASSERT_TRUE(eventually([&] { return page->width() == center->width(); }));
    ASSERT_TRUE(eventually([&] { return !shown.view->inspector()->isVisible(); }));

    // The rings place themselves beside the panel: their page keeps the whole width.
    ShownTree rings(DiskViewMode::sunburst);
    rings.view->selection().setSelectedNode(rings.view->history().currentPath().front().children()[1]);
    CenterView* ringsCenter = rings.view->centerView();
    EXPECT_DOUBLE_EQ(ringsCenter->detailsPanelInset(), 334);
    // Every motion the selection set off has ended: a padding would have run its course.
    ASSERT_TRUE(eventually([&] { return !anyAnimationRuns(*rings.view); }));
    EXPECT_EQ(ringsCenter->currentPage()->width(), ringsCenter->width());
}

TEST(ContentViewLayout, AtTheSmallestWindowEveryBarLiesInsideAndTitlesAreWhole) {
    Launch setup({"--debug-skip-permission-gate"});
    setup.saved = snapshotOf("uuid-root");
    MainWindow window(setup.options, setup.settings);
    window.resize(window.minimumSizeHint().boundedTo(QSize(1, 1))); // as small as it goes
    window.show();
    ContentView& content = window.content();
    EXPECT_GE(content.width(), 760);
    EXPECT_GE(content.height(), 560);
    EXPECT_GE(window.height(), 560 + window.menuBar()->height());

    // A tree shown with a node selected: tabs, switcher, three buttons and the path bar.
    setup.volumes.pop_back();
    ContentView view(setup.options, setup.settings, setup.host());
    setup.launch(view);
    view.resize(view.minimumSize());
    view.show();
    view.selection().setSelectedNode(view.history().currentPath().front().children()[1]);
    ASSERT_TRUE(view.pathBar()->isVisible());
    const QRect whole = view.rect();
    EXPECT_TRUE(whole.contains(inWindow(view.topBar())));
    EXPECT_TRUE(whole.contains(inWindow(view.pathBar())));
    EXPECT_GT(view.pathBar()->height(), 0);

    auto* bar = static_cast<MainTopBar*>(view.topBar());
    for (AppSection section : {AppSection::macintoshHD, AppSection::systemData, AppSection::applications}) {
        const QAbstractButton* tab = bar->tabs()->tab(section);
        EXPECT_GE(tab->width(), tab->sizeHint().width()) << tab->text().toStdString();
    }
    EXPECT_FALSE(bar->tabs()->isIconOnly());
    for (QWidget* button :
         {static_cast<QWidget*>(bar->settingsButton()), static_cast<QWidget*>(bar->rescanButton())})
        EXPECT_TRUE(whole.contains(inWindow(button)));
}

TEST(ContentViewSystemData, WaitsOnTheScanWithItsFiguresAndStartsOneBeforeAny) {
    Launch setup({"--debug-skip-permission-gate", "--debug-section", "system-data"});
    setup.volumes.pop_back(); // the startup disk alone: the picker starts it at once
    ContentView view(setup.options, setup.settings, setup.host());
    view.resize(980, 700);
    view.show();
    SystemDataAwaitingScanView* waiting = view.systemDataAwaiting();
    ASSERT_TRUE(eventually([&] { return waiting->isVisible(); }));
    // Before any scan: the start action, and no volume chosen yet.
    EXPECT_EQ(waiting->title(), "Nothing scanned yet");
    EXPECT_TRUE(waiting->scanButton()->isVisible());
    EXPECT_EQ(waiting->scanButton()->text(), "Scan " + QString::fromStdString(view.history().volumeName()));
    waiting->scanButton()->click();
    EXPECT_EQ(view.section(), AppSection::macintoshHD);
    EXPECT_EQ(view.scanState().rescanToken(), 0); // no volume chosen: only the section changes

    // During a scan: no button, and the files read so far once figures come in.
    view.setSection(AppSection::systemData);
    view.scanState().requestScan();
    EXPECT_EQ(waiting->title(), "Waiting on the scan");
    EXPECT_FALSE(waiting->scanButton()->isVisible());
    EXPECT_TRUE(waiting->sentence().endsWith("has been walked."));
    view.scanState().setProgress(ScanProgress{4096, 12345, "/a", {}});
    EXPECT_TRUE(waiting->sentence().endsWith(" has been walked. 12,345 files read so far."))
        << waiting->sentence().toStdString();

    // After the scan: "Reading system data…" with its indicator until a report arrives.
    const FolderPath root = FolderPath::root("/");
    view.scanState().finishScan(DiskScanResult{FileNode::folder(root, "/", std::nullopt, {}), {}, 0, 0.1},
                                std::nullopt, "Disk");
    ASSERT_TRUE(eventually([&] { return view.systemDataReading()->isVisible() && !waiting->isVisible(); }));
    EXPECT_TRUE(view.systemDataReading()->isTurning());
}

TEST(ContentViewLayout, SectionsFadeInOverTheScanScreenWhichFadesOutAndTooltipsFollowTheAppearance) {
    ShownTree shown(DiskViewMode::list);
    CenterView* center = shown.view->centerView();
    ASSERT_TRUE(eventually([&] { return center->isVisible() && !center->graphicsEffect(); }));
    shown.view->setSection(AppSection::systemData);
    QWidget* reading = shown.view->systemDataAwaiting(); // a saved scan only: nothing scanned yet
    // Both change over a fade: the section on its way in, the scan screen on its way out and
    // taking no clicks meanwhile.
    EXPECT_TRUE(reading->isVisible() && reading->graphicsEffect());
    EXPECT_TRUE(center->testAttribute(Qt::WA_TransparentForMouseEvents));
    ASSERT_TRUE(eventually([&] { return !center->isVisible() && !reading->graphicsEffect(); }));
    EXPECT_FALSE(center->testAttribute(Qt::WA_TransparentForMouseEvents));
    // Asked back half-way, a layer turns round where it is.
    shown.view->setSection(AppSection::macintoshHD);
    shown.view->setSection(AppSection::systemData);
    EXPECT_TRUE(reading->isVisible());
    ASSERT_TRUE(eventually([&] { return !reading->graphicsEffect(); }));
    EXPECT_TRUE(reading->isVisible());

    for (const char* scheme : {"dark", "light"}) {
        Launch setup({"--appearance", scheme});
        MainWindow window(setup.options, setup.settings, setup.host());
        const bool dark = std::string(scheme) == "dark";
        EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase),
                  Theme::qtPalette(dark).color(QPalette::ToolTipBase))
            << scheme;
        EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipText),
                  Theme::qtPalette(dark).color(QPalette::ToolTipText));
    }
}

TEST(ContentViewSystemData, TheStartActionScansTheChosenVolume) {
    Launch setup({"--debug-skip-permission-gate"});
    ContentView view(setup.options, setup.settings, setup.host());
    view.show();
    view.startScan(setup.volumes[1]);
    view.chooseAnotherDisk();
    view.startScan(setup.volumes[1]);
    view.scanState().cancellation()->cancel();
    waitForScanEnd(view.scanState());
    view.scanState().discardScan();
    view.setSection(AppSection::systemData);
    ASSERT_TRUE(view.systemDataAwaiting()->scanButton()->isVisible());
    const int64_t before = view.scanState().rescanToken();
    view.systemDataAwaiting()->scanButton()->click();
    EXPECT_EQ(view.section(), AppSection::macintoshHD);
    EXPECT_EQ(view.scanState().rescanToken(), before + 1);
    EXPECT_EQ(view.selectedVolume()->url, "/media/x");
    view.scanState().cancellation()->cancel();
    waitForScanEnd(view.scanState());
}

TEST(ContentViewFocus, TheFirstTileShowsItsFocusFromTheStartAndTabMovesOn) {
    Launch setup({"--debug-skip-permission-gate"});
    ContentView view(setup.options, setup.settings, setup.host());
    view.resize(980, 700);
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    VolumePickerView* picker = view.picker();
    ASSERT_TRUE(picker);
    ASSERT_TRUE(eventually([&] { return picker->tiles().size() == 2; }));
    VolumeTile* first = picker->tiles()[0];
    ASSERT_TRUE(eventually([&] { return first->hasFocus(); }))
        << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "none");
    EXPECT_TRUE(first->showsFocusRing());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(picker->tiles()[1]->hasFocus());
    EXPECT_TRUE(picker->tiles()[1]->showsFocusRing());

    // Coming back to the application reads the volumes again; the tiles that stay keep focus.
    VolumeTile* second = picker->tiles()[1];
    setup.volumes.push_back(
        ScannableVolume{"/media/y", "Card", std::string("uuid-y"), 100, 10, false, true, false});
    view.reprobeAccess();
    EXPECT_EQ(view.picker(), picker);
    ASSERT_TRUE(eventually([&] { return picker->tiles().size() == 3; }));
    EXPECT_EQ(picker->tiles()[1], second);
    EXPECT_TRUE(second->hasFocus());
}

TEST(ContentViewInsights, TheSavedScanNoticeShowsExactlyWhileTheTreeIsTheSnapshot) {
    ShownTree shown(DiskViewMode::largestItems);
    CenterView* center = shown.view->centerView();
    ASSERT_TRUE(center);
    auto* screen = qobject_cast<LargestItemsView*>(center->diskView());
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->showsSavedScanNotice());
    EXPECT_EQ(screen->subtitleText(), "The biggest files and bundles anywhere beneath Disk, largest first.");

    DiskScanResult result;
    result.root = shown.view->history().currentPath().front();
    shown.view->scanState().finishScan(result, std::nullopt, "Disk");
    EXPECT_EQ(qobject_cast<LargestItemsView*>(center->diskView()), screen);
    EXPECT_FALSE(screen->showsSavedScanNotice());

    // The threshold chosen on the untouched screen is the stored setting.
    shown.setup.settings.setDiskViewMode(DiskViewMode::untouched);
    auto* untouched = qobject_cast<UntouchedView*>(center->diskView());
    ASSERT_TRUE(untouched);
    untouched->yearPills()->activate(2);
    EXPECT_EQ(shown.setup.settings.untouchedYears(), 5);
    EXPECT_EQ(untouched->years(), 5);
    shown.setup.settings.setUntouchedYears(2);
    EXPECT_EQ(untouched->years(), 2);
}

} // namespace
} // namespace quillmere
