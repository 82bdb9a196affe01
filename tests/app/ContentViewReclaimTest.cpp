#include "app/ContentView.hpp"
#include "app/InspectorView.hpp"
#include "app/MainWindow.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"
#include "platform/Mounts.hpp"
#include "reclaim/view/DeleteConfirmationSheet.hpp"
#include "reclaim/view/DeleteSteps.hpp"
#include "reclaim/view/ScrollingBox.hpp"
#include "reclaim/view/SheetControls.hpp"
#include "systemdata/ReclaimerTestSupport.hpp"
#include "systemdata/SystemDataProbe.hpp"
#include "ui/WrappingLabel.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <future>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using namespace testing;

bool waitUntil(const std::function<bool()>& done, int ms = 15000) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (!done()) loop.exec();
    return done();
}

// A window over a fixture volume with a home folder in it; removals go to the real Trash of
// the test's own data folder, and only the fixture home is protected.
struct ReclaimWindow {
    QTemporaryDir folder;
    std::string volume = FileNode::canonicalPath(folder.filePath("vol").toStdString());
    std::string home = volume + "/home/ann";
    std::string trash = qEnvironmentVariable("XDG_DATA_HOME").toStdString() + "/Trash";
    AppSettings settings{folder.filePath("settings.ini")};
    LaunchOptions options{{"quillmere", "--debug-skip-permission-gate"}, false};
    std::function<void(const std::string&)> beforeMove;
    std::unique_ptr<MainWindow> window;

    ReclaimWindow() {
        writeFile(home + "/.cache/app1/data.bin", 20000);
        writeFile(home + "/.cache/blob", 9000);
        writeFile(home + "/Work/big/x.bin", 50000);
        writeFile(home + "/Work/small.txt", 100);
        window = std::make_unique<MainWindow>(options, settings, host());
        window->show();
    }
    ~ReclaimWindow() { window.reset(); }

    ContentView::Host host() {
        ContentView::Host h{
            [this] {
                return std::vector<ScannableVolume>{
                    {volume, "Fixture", std::nullopt, 1 << 30, 1 << 29, true, false, true}};
            },
            SnapshotIO{[](ScanSnapshot) {}, [] { return std::optional<ScanSnapshot>(); }},
            [] { return true; },
            [this](const DiskScanResult& scan) {
                const auto locations = SystemDataLocations::make(
                    volume, home, [](const std::string&) { return std::optional<std::string>(); }, {},
                    [](const std::string&) { return false; });
                const SystemDataProbe probe(locations, SystemDataProbeServices::system());
                return probe.probe(scan.root.allocatedSize(), 1 << 30, scan.root, scan.deniedPaths);
            }};
        h.makeReclaimer = [this] {
            ReclaimerServices services = ReclaimerServices::current();
            auto files = std::make_shared<InjectedFileOperations>();
            files->beforeMove = beforeMove;
            services.files = files;
            services.protection = std::make_shared<const ProtectedLocations>(
                ProtectionRoots{.home = home}, [](const std::string&) { return false; });
            return Reclaimer(services);
        };
        return h;
    }

    ContentView& view() { return window->content(); }

    void scan() {
        view().startScan(view().pickerVolumes().front());
        ASSERT_TRUE(waitUntil([&] { return !view().scanState().isScanning(); }));
        ASSERT_TRUE(view().scanState().finishedScan());
    }
    FileNode node(const std::string& path) { return *view().scanState().finishedScan()->root.find(path); }

    DeleteConfirmationSheet* runSheet(QWidget* sheetWidget) {
        auto* sheet = qobject_cast<DeleteConfirmationSheet*>(sheetWidget);
        if (!sheet) return nullptr;
        sheet->confirm();
        return waitUntil([&] { return sheet->outcome().has_value(); }) ? sheet : nullptr;
    }
    const SystemDataCategory* userCaches() {
        const auto& report = view().systemDataReport();
        if (!report) return nullptr;
        for (const SystemDataCategory& category : report->categories)
            if (category.id == systemdata_ids::userCaches) return &category;
        return nullptr;
    }
};

TEST(ContentViewReclaim, DeletingASelectedFolderTrashesItAndEveryVisitFollowsTheNewRoot) {
    ReclaimWindow w;
    w.scan();
    ContentView& view = w.view();
    view.openNode(w.node(w.volume + "/home"));
    view.openNode(w.node(w.home));
    view.openNode(w.node(w.home + "/Work"));
    ASSERT_EQ(view.history().currentPath().back().path(), w.home + "/Work");
    const int64_t before = view.scanState().finishedScan()->root.allocatedSize();

    view.selection().setSelectedNode(w.node(w.home + "/Work/big"));
    view.inspector()->deleteSelection();
    ASSERT_TRUE(view.isDeleteConfirmationPresented());
    DeleteConfirmationSheet* sheet = w.runSheet(view.deleteSheet());
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(sheet->resultView()->failed());
    EXPECT_TRUE(sheet->outcome()->measuredFreedBytes.has_value()); // read where the folder was
    EXPECT_TRUE(exists(w.trash + "/files/big"));
    EXPECT_TRUE(exists(w.trash + "/info/big.trashinfo"));
    EXPECT_NE(fileText(w.trash + "/info/big.trashinfo").find("Path=" + w.home + "/Work/big"),
              std::string::npos);
    EXPECT_TRUE(view.selection().selectedNode()); // nothing reaches the window before Done

    sheet->resultView()->doneButton()->click();
    EXPECT_FALSE(view.selection().selectedNode());
    const FileNode root = view.scanState().finishedScan()->root;
    EXPECT_FALSE(root.find(w.home + "/Work/big"));
    EXPECT_LT(root.allocatedSize(), before);
    const auto chain = view.history().currentPath();
    ASSERT_EQ(chain.back().path(), w.home + "/Work");
    EXPECT_TRUE(chain.front().sharesNodeWith(root));
    EXPECT_FALSE(chain.back().find(w.home + "/Work/big"));
    EXPECT_TRUE(waitUntil([&] { return !view.isDeleteConfirmationPresented(); }));
}

TEST(ContentViewReclaim, ReclaimingUserCachesEmptiesTheFolderAndTheNextReportShowsZero) {
    ReclaimWindow w;
    w.scan();
    ContentView& view = w.view();
    ASSERT_TRUE(waitUntil([&] { return w.userCaches() != nullptr; }));
    const SystemDataCategory caches = *w.userCaches();
    ASSERT_GT(caches.sizeBytes, 0);
    ASSERT_TRUE(caches.reclaimAction);

    view.requestSystemDataReclaim({caches});
    DeleteConfirmationSheet* sheet = w.runSheet(view.systemDataReclaimSheet());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->content().title, "Reclaim \u201cUser caches\u201d?");
    EXPECT_FALSE(sheet->resultView()->failed());
    EXPECT_TRUE(exists(w.trash + "/files/app1"));
    EXPECT_TRUE(exists(w.trash + "/files/blob"));
    EXPECT_TRUE(exists(w.home + "/.cache"));
    EXPECT_EQ(view.systemDataReprobeToken(), 0);

    sheet->finishWithResult();
    EXPECT_EQ(view.systemDataReprobeToken(), 1);
    EXPECT_FALSE(view.systemDataReclaimRequest());
    EXPECT_FALSE(view.scanState().finishedScan()->root.find(w.home + "/.cache/app1"));
    ASSERT_TRUE(waitUntil([&] { return w.userCaches() && w.userCaches()->sizeBytes == 0; }));
}

TEST(ContentViewReclaim, CancelTouchesNothing) {
    ReclaimWindow w;
    w.scan();
    ContentView& view = w.view();
    ASSERT_TRUE(waitUntil([&] { return w.userCaches() != nullptr; }));
    view.requestSystemDataReclaim({*w.userCaches()});
    auto* sheet = qobject_cast<DeleteConfirmationSheet*>(view.systemDataReclaimSheet());
    ASSERT_TRUE(sheet);
    sheet->confirmView()->cancelButton()->click();
    EXPECT_FALSE(view.systemDataReclaimRequest());
    EXPECT_EQ(view.systemDataReprobeToken(), 0);
    EXPECT_TRUE(exists(w.home + "/.cache/blob"));

    view.selection().setSelectedNode(w.node(w.home + "/Work/big"));
    view.inspector()->deleteSelection();
    qobject_cast<DeleteConfirmationSheet*>(view.deleteSheet())->reject();
    EXPECT_TRUE(exists(w.home + "/Work/big/x.bin"));
    EXPECT_TRUE(view.scanState().finishedScan()->root.find(w.home + "/Work/big"));

    // Without a selection no sheet is presented at all.
    view.selection().setSelectedNode(std::nullopt);
    QApplication::processEvents();
    view.inspector()->deleteSelection();
    EXPECT_FALSE(view.isDeleteConfirmationPresented());
}

TEST(ContentViewReclaim, WhileWorkingNothingClosesAndAProtectedNodeIsRefused) {
    ReclaimWindow w;
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    bool first = true;
    w.beforeMove = [&](const std::string&) {
        if (!std::exchange(first, false)) return;
        entered.set_value();
        released.wait();
    };
    w.scan();
    ContentView& view = w.view();
    view.selection().setSelectedNode(w.node(w.home + "/Work/small.txt"));
    view.inspector()->deleteSelection();
    auto* sheet = qobject_cast<DeleteConfirmationSheet*>(view.deleteSheet());
    ASSERT_TRUE(sheet);
    sheet->confirm();
    entered.get_future().wait();
    EXPECT_TRUE(view.isReclaimRunning());
    for (const int key : {Qt::Key_Escape, Qt::Key_Return}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(sheet, &press);
    }
    sheet->close();
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(w.window->close()); // the main window stays while the removal runs
    EXPECT_TRUE(w.window->isVisible());
    release.set_value();
    ASSERT_TRUE(waitUntil([&] { return sheet->outcome().has_value(); }));
    EXPECT_FALSE(view.isReclaimRunning());
    sheet->finishWithResult();

    view.selection().setSelectedNode(w.node(w.home));
    view.inspector()->deleteSelection();
    sheet = w.runSheet(view.deleteSheet());
    ASSERT_TRUE(sheet);
    DeleteResultView* result = sheet->resultView();
    EXPECT_EQ(result->headline()->text(), "Couldn't move \u201cann\u201d to the Trash");
    ASSERT_TRUE(result->failures());
    const auto lines = result->failures()->content()->findChildren<WrappingLabel*>();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0]->text(), "ann: protected \u2014 Quillmere will never remove this");
    EXPECT_TRUE(exists(w.home + "/Work"));
    sheet->finishWithResult();
}

} // namespace
} // namespace quillmere
