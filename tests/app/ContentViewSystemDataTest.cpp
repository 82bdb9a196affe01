#include "app/ContentView.hpp"
#include "app/SystemDataAwaitingScanView.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/ScanState.hpp"
#include "systemdata/view/SystemDataView.hpp"
#include "ui/Transitions.hpp"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <set>

namespace quillmere {
namespace {

// A probe that waits until the test lets the run for a scan of that many bytes finish. Its
// report's used bytes are 1000 × (the run's number) + the scan's bytes.
struct GatedProbe {
    std::mutex lock;
    std::condition_variable changed;
    std::set<int64_t> released;
    bool releasedAll = false;
    std::atomic<int> started = 0;

    SystemDataReport run(const DiskScanResult& scan) {
        const int run = ++started;
        const int64_t bytes = scan.root.allocatedSize();
        std::unique_lock guard(lock);
        changed.wait(guard, [&] { return releasedAll || released.contains(bytes); });
        SystemDataReport report;
        report.volumeUsedBytes = 1000 * run + bytes;
        return report;
    }
    void release(int64_t bytes) {
        std::lock_guard guard(lock);
        released.insert(bytes);
        changed.notify_all();
    }
    void releaseAll() {
        std::lock_guard guard(lock);
        releasedAll = true;
        changed.notify_all();
    }
};

struct Window {
    QTemporaryDir folder;
    AppSettings settings{folder.filePath("settings.ini")};
    LaunchOptions options{{"quillmere", "--debug-skip-permission-gate", "--debug-section", "system-data"},
                          false};
    GatedProbe probe;
    ContentView view{options, settings,
                     ContentView::Host{[] { return std::vector<ScannableVolume>{}; }, SnapshotIO{},
                                       [] { return true; },
                                       [this](const DiskScanResult& scan) { return probe.run(scan); }}};

    void finishScan(int64_t bytes) {
        view.scanState().requestScan();
        const FolderPath root = FolderPath::root("/");
        view.scanState().finishScan(
            DiskScanResult{FileNode::folder(root, "/", std::nullopt,
                                            {FileNode::under(root, "f", NodeFields{.allocatedSize = bytes})}),
                           {},
                           0,
                           1},
            std::nullopt, "Disk");
    }
    bool isReading() { return transitions::isLayerShown(view.findChild<ReadingSystemDataView*>()); }
    SystemDataView* screen() { return view.findChild<SystemDataView*>(); }
    // Waits for a report whose used bytes satisfy `matches`.
    bool waitForReport(const std::function<bool(int64_t)>& matches) {
        const auto arrived = [&] {
            return view.systemDataReport() && matches(view.systemDataReport()->volumeUsedBytes);
        };
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (arrived()) loop.quit();
        });
        poll.start(5);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        return arrived();
    }
    bool waitForReport(int64_t used) {
        return waitForReport([used](int64_t value) { return value == used; });
    }
    // Whatever a test left waiting ends, so the window can close.
    ~Window() { probe.releaseAll(); }
};

TEST(ContentViewSystemData, ReadingSystemDataShowsBetweenAScansEndAndItsReport) {
    Window w;
    w.view.resize(980, 700);
    w.view.show();
    EXPECT_EQ(w.view.section(), AppSection::systemData);
    EXPECT_EQ(w.probe.started, 0); // no scan, no probe
    w.finishScan(7);
    EXPECT_TRUE(w.isReading());
    EXPECT_TRUE(!w.screen() || !transitions::isLayerShown(w.screen()));
    w.probe.release(7);
    ASSERT_TRUE(w.waitForReport(1007));
    ASSERT_TRUE(w.screen());
    EXPECT_TRUE(transitions::isLayerShown(w.screen()));
    EXPECT_FALSE(w.isReading());
    EXPECT_EQ(w.screen()->report().volumeUsedBytes, 1007);

    // A new scan keeps the old report on screen until the new one arrives.
    w.view.scanState().requestScan();
    EXPECT_TRUE(transitions::isLayerShown(w.screen()));
}

TEST(ContentViewSystemData, AReclaimStoresItsRequestAndTheReprobeRunsTheProbeAgain) {
    Window w;
    w.finishScan(1);
    w.probe.release(1);
    ASSERT_TRUE(w.waitForReport(1001));
    int presented = 0;
    QObject::connect(&w.view, &ContentView::systemDataReclaimRequested, [&] { ++presented; });
    SystemDataCategory caches;
    caches.id = "user-caches";
    w.view.requestSystemDataReclaim({caches});
    ASSERT_TRUE(w.view.systemDataReclaimRequest());
    EXPECT_EQ(presented, 1);
    EXPECT_FALSE(w.view.systemDataReclaimRequest()->id.isNull());
    EXPECT_EQ(w.view.systemDataReclaimRequest()->categories.at(0).id, "user-caches");
    const QUuid first = w.view.systemDataReclaimRequest()->id;
    w.view.requestSystemDataReclaim({caches});
    EXPECT_NE(w.view.systemDataReclaimRequest()->id, first);

    w.view.finishSystemDataReclaim();
    EXPECT_FALSE(w.view.systemDataReclaimRequest());
    EXPECT_EQ(w.view.systemDataReprobeToken(), 1);
    EXPECT_TRUE(w.waitForReport(2001));
}

TEST(ContentViewSystemData, AnOlderProbeFinishingLateNeverReplacesANewerReport) {
    Window w;
    w.finishScan(1); // run 1: held back
    w.finishScan(2); // run 2
    // The newer run ends first, then the older one ends late.
    w.probe.release(2);
    ASSERT_TRUE(w.waitForReport([](int64_t used) { return used % 1000 == 2; }));
    w.probe.release(1);
    QEventLoop settle;
    QTimer::singleShot(200, &settle, &QEventLoop::quit);
    settle.exec();
    EXPECT_EQ(w.view.systemDataReport()->volumeUsedBytes % 1000, 2);
}

} // namespace
} // namespace quillmere
