// The real window under real input: scans a folder, then in the sunburst and in the treemap
// double-clicks into the folder's largest subfolder and into a wide subfolder, and climbs back
// each time by the path bar's first crumb. For each step it reports the longest gap between
// beats of a main-thread timer (what a user sees as a dropped frame), how much of that gap the
// main thread's processor and the whole machine stood still and whether memory ran slow
// (MachinePauses: then nothing the program does could have run at its pace), and the time until
// the window stops repainting.
//
// The clicks go to the window's QWindow, through the same path as the window system's own
// events, so Qt pairs them into a double click as it does a user's.
//
// Usage (the window needs a display; xcb under Xvfb is what it is meant for):
//   xvfb-run -a -s '-screen 0 1600x1000x24' env QT_QPA_PLATFORM=xcb window-bench TREE [--wide NAME]
// QT_SCALE_FACTOR=2 runs it at 2x. NAME is a direct subfolder of TREE (make-shape links makes
// one of 100,000 hard links).
#include "LongestGap.hpp"
#include "MachinePauses.hpp"
#include "app/BottomPathBar.hpp"
#include "app/CenterView.hpp"
#include "app/ContentView.hpp"
#include "app/MainWindow.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "platform/Thread.hpp"
#include "scan/DiskScanner.hpp"
#include "ui/PaintingThreads.hpp"
#include "views/SunburstGeometry.hpp"
#include "views/widgets/SunburstView.hpp"
#include "views/widgets/TreemapView.hpp"

#include <QApplication>
#include <QEventLoop>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

namespace quillmere {
namespace {

// Two frames at 60 Hz: the most a gap may take.
constexpr double kTwoFramesMs = 33;

// Beats of a 2 ms timer, and the last time anything in the window painted.
class Watch : public QObject {
public:
    using Clock = bench::LongestGap::Clock;

    explicit Watch(QWidget& window) : window_(window) {
        beat_.setInterval(2);
        beat_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&beat_, &QTimer::timeout, [this] { longest_.beat(); });
        restart();
        beat_.start();
        qApp->installEventFilter(this);
    }

    void restart() {
        longest_.restart();
        lastPaint_ = longest_.started();
    }
    double longestGapMs() const { return bench::milliseconds(longest_.gap()); }
    // When the longest gap began, after the step began.
    double longestGapAtMs() const { return bench::milliseconds(longest_.begin() - longest_.started()); }
    // How long the whole machine stood still during the longest gap.
    double stillInLongestGapMs(const bench::MachinePauses& pauses) const {
        return bench::milliseconds(pauses.stillDuring(longest_.begin(), longest_.end()));
    }
    // How long the processor the main thread ran on stood still during the longest gap.
    double processorStillInLongestGapMs(const bench::MachinePauses& pauses) const {
        return bench::milliseconds(longest_.processorStill(pauses));
    }
    // The longest any processor stood still during the longest gap.
    double anyProcessorStillInLongestGapMs(const bench::MachinePauses& pauses) const {
        return bench::milliseconds(pauses.anyProcessorStillDuring(longest_.begin(), longest_.end()));
    }
    bench::MachinePauses::MemoryProbes memoryInLongestGap(const bench::MachinePauses& pauses) const {
        return pauses.memoryDuring(longest_.begin(), longest_.end());
    }
    // How long the main thread ran during the longest gap, and how long it was ready to run
    // but waited for a processor.
    double ranInLongestGapMs() const { return bench::milliseconds(longest_.times().running); }
    double queuedInLongestGapMs() const { return bench::milliseconds(longest_.times().queued); }
    double settledAfterMs() const { return bench::milliseconds(lastPaint_ - longest_.started()); }

    // Runs the event loop until `done` holds and then nothing has painted for a quarter second.
    bool settle(const std::function<bool()>& done) {
        const Clock::time_point begun = Clock::now();
        while (Clock::now() - begun < std::chrono::seconds(60)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            // As the application's event loop does: a loop of processEvents never deletes what
            // deleteLater let go. The view a mode switch replaced stayed beneath the new ones until
            // the bench ended, and was painted in each of their frames.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            if (done() && Clock::now() - lastPaint_ > std::chrono::milliseconds(250)) return true;
        }
        return false;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint || event->type() == QEvent::UpdateRequest) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && (widget == &window_ || window_.isAncestorOf(widget))) lastPaint_ = Clock::now();
        }
        return false;
    }

private:
    QWidget& window_;
    bench::LongestGap longest_; // made on the main thread
    QTimer beat_;
    Clock::time_point lastPaint_;
};

// For the launch race: prints when the map is first drawn with a finished scan's result, on
// the wall clock (microseconds since the epoch, as bash's EPOCHREALTIME counts them), so the
// race can tell the walk and first drawing apart from whatever the window does after them.
class FinishedMapWatch : public QObject {
public:
    explicit FinishedMapWatch(ScanState& scan) {
        QObject::connect(&scan, &ScanState::isScanningChanged, this, [this, &scan] {
            if (!scan.isScanning()) finished_ = true;
        });
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (finished_ && event->type() == QEvent::Paint &&
            (dynamic_cast<SunburstView*>(watched) || dynamic_cast<TreemapView*>(watched))) {
            timespec now{};
            ::clock_gettime(CLOCK_REALTIME, &now);
            std::printf("map drawn %lld\n",
                        static_cast<long long>(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000);
            std::fflush(stdout);
            qApp->removeEventFilter(this);
            finished_ = false;
        }
        return false;
    }

private:
    bool finished_ = false;
};

// Where on screen the view shows `folder`, in the view's own coordinates.
std::optional<QPoint> pointOf(QWidget* view, const FileNode& folder) {
    if (auto* treemap = dynamic_cast<TreemapView*>(view)) {
        for (const auto& tile : treemap->tiles())
            if (tile.node && tile.node->sharesNodeWith(folder))
                return QPointF(tile.rect.x + tile.rect.width / 2, tile.rect.y + tile.rect.height / 2)
                    .toPoint();
        return std::nullopt;
    }
    if (auto* sunburst = dynamic_cast<SunburstView*>(view)) {
        const double side = std::min(sunburst->width(), sunburst->height());
        for (const auto& segment : sunburst->inputs().layout.segments)
            if (segment.ring == 0 && segment.node && segment.node->sharesNodeWith(folder))
                if (const auto anchor = views::anchorPoint(segment, {side, side}))
                    return sunburst->toWidget(*anchor).toPoint();
    }
    return std::nullopt;
}

bool isDrawing(QWidget* view) {
    if (auto* sunburst = dynamic_cast<SunburstView*>(view)) return sunburst->isWorkingInBackground();
    auto* treemap = dynamic_cast<TreemapView*>(view);
    return treemap && treemap->isDrawingLayer();
}

} // namespace
} // namespace quillmere

int main(int argc, char** argv) {
    using namespace quillmere;
    if (argc < 2) {
        std::fprintf(stderr, "Usage: window-bench TREE [--wide NAME] [--scan-only]\n");
        return 2;
    }
    const std::string tree = argv[1];
    std::optional<std::string> wideName;
    for (int i = 2; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--wide") == 0) wideName = argv[i + 1];
    // The launch race (launch-race.sh) times the process from its start until it goes quiet.
    bool scanOnly = false;
    for (int i = 2; i < argc; ++i)
        scanOnly = scanOnly || std::strcmp(argv[i], "--scan-only") == 0;

    // As the application does: the scan's workers start while Qt does.
    (void)platform::startDetachedThread([] { DiskScanner::startWorkers(); }, 1 << 20);
    QApplication app(argc, argv);
    quillmere::limitPaintingThreads();
    QTemporaryDir folder;
    AppSettings settings(folder.filePath("settings.ini"));
    const LaunchOptions options{{"window-bench", "--debug-skip-permission-gate"}, false};
    const ScannableVolume volume{tree, "Folder", std::nullopt, 1LL << 40, 0, false, false, true};
    ContentView::Host host{[&] { return std::vector{volume}; },
                           {[](ScanSnapshot) {}, [] { return std::optional<ScanSnapshot>(); }},
                           [] { return true; }};
    MainWindow window(options, settings, host);
    window.resize(QSize(980, 700 + window.menuBar()->sizeHint().height()));
    window.move(0, 0);
    window.show();
    window.activateWindow();
    // Watched from inside the event loop: QTest's wait sleeps 10 ms between looks, with the
    // window's events unhandled meanwhile, and a user's click never waits for that.
    {
        QEventLoop exposure;
        QTimer look;
        look.setInterval(1);
        QObject::connect(&look, &QTimer::timeout, &exposure, [&] {
            if (window.windowHandle() && window.windowHandle()->isExposed()) exposure.quit();
        });
        look.start();
        QTimer::singleShot(10'000, &exposure, &QEventLoop::quit);
        exposure.exec();
    }
    if (!window.windowHandle() || !window.windowHandle()->isExposed()) {
        std::fprintf(stderr, "window-bench: the window was never shown\n");
        return 1;
    }
    ContentView& content = window.content();
    if (scanOnly) {
        // Nothing of the bench's own runs beside the window: the race watches it from outside
        // and ends it once it has gone quiet.
        FinishedMapWatch mapWatch(content.scanState());
        content.startScan(volume);
        QTimer::singleShot(120'000, &app, &QApplication::quit);
        return app.exec();
    }
    const bench::MachinePauses pauses;
    Watch watch(window);
    std::printf("platform %s, device pixel ratio %.1f, tree %s\n",
                qPrintable(QGuiApplication::platformName()), window.devicePixelRatioF(), tree.c_str());

    const auto current = [&] { return content.history().currentPath(); };
    const auto diskView = [&]() -> QWidget* {
        return content.centerView() ? content.centerView()->diskView() : nullptr;
    };
    // Steps whose longest gap was over two frames, and of those, the ones still over once the
    // time the main thread's processor or the whole machine stood still is taken out.
    int overTarget = 0;
    int overTargetLessStill = 0;
    int overTargetLessAnyStill = 0; // taking out instead the longest any processor stood still
    const auto report = [&](const char* step, bool settled) {
        const double gap = watch.longestGapMs();
        const double still = watch.stillInLongestGapMs(pauses);
        const double processorStill = watch.processorStillInLongestGapMs(pauses);
        const double anyProcessorStill = watch.anyProcessorStillInLongestGapMs(pauses);
        const bench::MachinePauses::MemoryProbes memory = watch.memoryInLongestGap(pauses);
        std::printf(
            "%-44s longest main-thread gap %7.1f ms  settled after %7.1f ms\n"
            "%-44s   (that gap from %.0f ms: the main thread ran %.1f ms of it and waited %.1f ms for a "
            "processor; its processor stood still %.1f ms of it, some processor %.1f ms, the whole machine "
            "%.1f ms; %d of %d memory probes in it were over ten times slower than usual)%s\n",
            step, gap, watch.settledAfterMs(), "", watch.longestGapAtMs(), watch.ranInLongestGapMs(),
            watch.queuedInLongestGapMs(), processorStill, anyProcessorStill, still, memory.slow, memory.taken,
            settled ? "" : "  (never settled)");
        std::fflush(stdout);
        if (gap > kTwoFramesMs) {
            ++overTarget;
            if (gap - std::max(still, processorStill) > kTwoFramesMs) ++overTargetLessStill;
            if (gap - std::max(still, anyProcessorStill) > kTwoFramesMs) ++overTargetLessAnyStill;
        }
    };

    Watch::Clock::time_point scanStart;
    double scanEndedMs = -1;
    QObject::connect(&content.scanState(), &ScanState::isScanningChanged, &app, [&] {
        if (!content.scanState().isScanning() && scanEndedMs < 0)
            scanEndedMs = std::chrono::duration<double, std::milli>(Watch::Clock::now() - scanStart).count();
    });
    // The scan starts as a user's click would: on a window that has finished drawing itself.
    watch.settle([] { return true; });
    watch.restart();
    scanStart = Watch::Clock::now();
    content.startScan(volume);
    const bool scanned = watch.settle([&] {
        return !content.scanState().isScanning() && !current().empty() && diskView() &&
               !isDrawing(diskView());
    });
    report("scan and first map", scanned);
    std::printf("%-44s the scan's result arrived after %.0f ms\n", "", scanEndedMs);
    if (!scanned) return 1;

    const FileNode root = current().front();
    std::optional<FileNode> largest;
    std::optional<FileNode> wide;
    for (const FileNode& child : root.children()) {
        if (!child.isDirectory()) continue;
        if (!largest || child.allocatedSize() > largest->allocatedSize()) largest = child;
        if (wideName && child.name() == *wideName) wide = child;
    }
    if (wideName && !wide)
        std::fprintf(stderr, "window-bench: no folder %s in the tree\n", wideName->c_str());

    int failures = 0;
    for (const DiskViewMode mode : {DiskViewMode::sunburst, DiskViewMode::treemap}) {
        const char* modeName = mode == DiskViewMode::sunburst ? "sunburst" : "treemap";
        // The switch draws the other view's first picture of the folder, on the main thread
        // as far as the view does not hand it to a worker: a step of its own.
        const bool switching = settings.diskViewMode() != mode;
        watch.restart();
        settings.setDiskViewMode(mode);
        const bool shown = watch.settle([&] { return diskView() && !isDrawing(diskView()); });
        if (switching) report((std::string(modeName) + ": switched to").c_str(), shown);
        for (const auto& target : {largest, wide}) {
            if (!target) continue;
            const std::string label = std::string(modeName) + ": into " + std::string(target->name());
            const std::optional<QPoint> at = pointOf(diskView(), *target);
            if (!at) {
                std::printf("%-44s not shown in the view\n", label.c_str());
                ++failures;
                continue;
            }
            watch.restart();
            // Through the window, as the window system delivers them: press, release, press, release.
            QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, diskView()->mapTo(&window, *at));
            report(label.c_str(), watch.settle([&] {
                const auto path = current();
                return path.size() == 2 && path.back().sharesNodeWith(*target) && !isDrawing(diskView());
            }));

            BreadcrumbView* crumbs = nullptr;
            if (auto* bar = qobject_cast<BottomPathBar*>(content.pathBar())) crumbs = bar->breadcrumb();
            if (!crumbs || crumbs->nameRects().isEmpty()) {
                std::printf("%-44s no path bar\n", "back");
                ++failures;
                continue;
            }
            watch.restart();
            QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                              crumbs->mapTo(&window, crumbs->nameRects().front().center().toPoint()));
            report((std::string(modeName) + ": back by the path bar").c_str(),
                   watch.settle([&] { return current().size() == 1 && !isDrawing(diskView()); }));
        }
    }
    const bench::MachinePauses::Summary stops = pauses.pausesSince(std::chrono::milliseconds(10));
    std::printf(
        "the whole machine stood still %d times for 10 ms or more while the bench ran, at most %.1f ms\n",
        stops.count, std::chrono::duration<double, std::milli>(stops.longest).count());
    std::printf(
        "steps with a gap over %.0f ms: %d; over it still once the time the main thread's processor or "
        "the whole machine stood still is taken out: %d; once the longest any processor stood still is taken "
        "out: %d\n",
        kTwoFramesMs, overTarget, overTargetLessStill, overTargetLessAnyStill);
    return failures == 0 ? 0 : 1;
}
