// Times the sunburst on a large tree: layout, full paint, hover repaint and a transition frame
// at 1× and 2× in a 980 × 700 view, and the main thread's longest stall while the window takes
// the tree in, drills into it and replaces it by a smaller one; then the treemap, the list and
// the inspector on the same tree (DiskViewsBench.cpp).
//   QT_QPA_PLATFORM=offscreen view-bench [--nodes N] [--insights]
// The tree is built in memory, deterministically: shaped like a folded scan of bench/make-tree's
// disk (source trees of small folders whose small files are folded into aggregates, three
// folders of 50,000 entries, deep chains, a few large images), plus a folder of 100,000 hard-link
// children, which folding never pools.
#include "DiskViewsBench.hpp"
#include "InsightBench.hpp"
#include "LongestGap.hpp"
#include "MachinePauses.hpp"
#include "Rng.hpp"
#include "Timing.hpp"
#include "app/CenterView.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"
#include "ui/PaintingThreads.hpp"
#include "ui/ReferenceText.hpp"
#include "ui/Theme.hpp"
#include "views/SunburstGeometry.hpp"
#include "views/widgets/SunburstPicture.hpp"
#include "views/widgets/SunburstView.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

using namespace quillmere;

namespace {

// Main-thread work when a new tree reaches the view, and the longest any other step may keep
// the screen from updating: two frames at 60 Hz.
constexpr double kTreeReplacedMs = 16;
constexpr double kTwoFramesMs = 33;

using bench::Rng;

struct Builder {
    Rng rng{42};
    int64_t nodes = 0;

    FileNode file(const FolderPath& parent, const std::string& name, int64_t size, bool shared = false) {
        ++nodes;
        return FileNode::under(parent, name,
                               {.allocatedSize = size,
                                .isSharedElsewhere = shared,
                                .fileCount = 1,
                                .sharedBytesTotal = shared ? size : 0,
                                .modificationDate = 1.6e9});
    }
    FileNode aggregate(const FolderPath& parent, int64_t count) {
        ++nodes;
        return FileNode::under(parent, std::to_string(count) + " small items",
                               {.allocatedSize = count * 4096, .isAggregate = true, .fileCount = count});
    }
    FileNode folder(const FolderPath& own, const std::string& name, std::vector<FileNode> children) {
        ++nodes;
        return FileNode::folder(own, name, 1.6e9, std::move(children));
    }

    // A source tree: small folders, each with a few files above the folding threshold and an
    // aggregate of the rest.
    FileNode sourceTree(const FolderPath& own, const std::string& name, int depth, int64_t budget) {
        std::vector<FileNode> children;
        const int files = int(rng.between(2, 12));
        for (int i = 0; i < files; ++i)
            children.push_back(file(own, "src" + std::to_string(i) + ".c", rng.between(8192, 400'000)));
        children.push_back(aggregate(own, rng.between(3, 60)));
        if (depth > 0) {
            const int folders = int(rng.between(2, 7));
            for (int i = 0; i < folders && nodes < budget; ++i) {
                const std::string child = "module" + std::to_string(i);
                children.push_back(sourceTree(own.child(child), child, depth - 1, budget));
            }
        }
        return folder(own, name, std::move(children));
    }

    FileNode wide(const FolderPath& own, const std::string& name, int count, bool hardLinks) {
        std::vector<FileNode> children;
        children.reserve(count);
        for (int i = 0; i < count; ++i)
            children.push_back(file(own, (hardLinks ? "link" : "entry") + std::to_string(i),
                                    hardLinks ? 4096 * rng.between(1, 16) : rng.between(8192, 65536)));
        return folder(own, name, std::move(children));
    }

    FileNode chain(const FolderPath& own, const std::string& name, int levels) {
        // Built from the bottom up, so nothing recurses.
        std::vector<FolderPath> paths{own};
        for (int i = 1; i < levels; ++i)
            paths.push_back(paths.back().child("level" + std::to_string(i)));
        FileNode node = folder(paths.back(), "level" + std::to_string(levels - 1),
                               {file(paths.back(), "bottom.txt", 8192)});
        for (int i = levels - 2; i >= 0; --i)
            node = folder(paths[i], i == 0 ? name : "level" + std::to_string(i), {node});
        return node;
    }

    FileNode tree(int64_t budget, const std::string& rootPath) {
        const FolderPath root = FolderPath::root(rootPath);
        std::vector<FileNode> top;
        const FolderPath data = root.child("data");
        top.push_back(folder(
            data, "data",
            {wide(data.child("links"), "links", 100'000, true), wide(data.child("a"), "a", 50'000, false),
             wide(data.child("b"), "b", 50'000, false), wide(data.child("c"), "c", 50'000, false)}));
        const FolderPath images = root.child("images");
        std::vector<FileNode> disks;
        for (int i = 0; i < 12; ++i)
            disks.push_back(file(images, "disk" + std::to_string(i) + ".img", rng.between(1, 32) << 30));
        top.push_back(folder(images, "images", std::move(disks)));
        const FolderPath deep = root.child("deep");
        top.push_back(folder(deep, "deep",
                             {chain(deep.child("c200"), "c200", 200), chain(deep.child("c300"), "c300", 300),
                              chain(deep.child("c400"), "c400", 400)}));
        const FolderPath src = root.child("src");
        std::vector<FileNode> projects;
        for (int i = 0; nodes < budget - 1; ++i) {
            const std::string name = "project" + std::to_string(i);
            projects.push_back(sourceTree(src.child(name), name, 6, budget));
        }
        top.push_back(folder(src, "src", std::move(projects)));
        return folder(root, rootPath, std::move(top));
    }
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

template <class F> double timeMs(F&& f) {
    QElapsedTimer timer;
    timer.start();
    f();
    return double(timer.nsecsElapsed()) / 1e6;
}

template <class F> double medianMs(int runs, F&& f) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(timeMs(f));
    return median(times);
}

SunburstInputs inputsOf(const views::SunburstLayout& layout, const FileNode& root) {
    SunburstInputs inputs;
    inputs.root = root;
    inputs.volumeName = "Bench";
    inputs.layout = layout;
    inputs.volumeTotalCapacityBytes = layout.totalCapacityBytes;
    return inputs;
}

void paint(SunburstView& view, QImage& image) {
    image.fill(Theme::light().bg1);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
}

void print(const char* what, double ms, double target = 0) {
    std::cout << "  " << what << ": " << ms << " ms";
    if (target > 0) std::cout << (ms <= target ? "  (target " : "  (OVER target ") << target << " ms)";
    std::cout << "\n";
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    quillmere::limitPaintingThreads();
    int64_t budget = 1'000'000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--nodes") == 0) budget = std::stoll(argv[i + 1]);
    // The insight screens alone, without the disk views before them.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--insights") == 0) {
            bench::runInsightBench();
            return 0;
        }

    Builder builder;
    FileNode tree;
    const double buildMs = timeMs([&] { tree = builder.tree(budget, "/bench"); });
    std::cout << "tree: " << builder.nodes << " nodes, built in " << buildMs << " ms\n";
    FileNode links = *tree.find("/bench/data/links");
    const auto measure = reference_text::measurer();

    views::SunburstLayout rootLayout;
    std::cout << "layout (three levels, text measured):\n";
    print("root",
          medianMs(5,
                   [&] {
                       rootLayout = views::makeSunburstLayout(tree, {"Bench", 4LL << 40, 1, false}, measure);
                   }),
          50);
    views::SunburstLayout linksLayout;
    print(
        "folder of 100,000 hard links",
        medianMs(5,
                 [&] {
                     linksLayout = views::makeSunburstLayout(links, {"Bench", 4LL << 40, 3, false}, measure);
                 }),
        50);
    std::cout << "  arcs: root " << rootLayout.segments.size() << ", hard-link folder "
              << linksLayout.segments.size() << "\n";

    {
        // A new process's first drawing loads fonts, starts the painting threads and maps its
        // first pictures, once: in the window that happens as its bars and the scan screen are
        // drawn, long before a map's view. Timed apart, in a view of another size, so that the
        // views below still blur their shadows anew.
        SunburstView first(inputsOf(rootLayout, tree), {});
        first.resize(640, 480);
        QImage image(QSize(640, 480), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        std::cout << "the process's first drawing (a view of 640 x 480 at 1x):\n";
        print("first paint", timeMs([&] { paint(first, image); }));
    }

    for (const qreal ratio : {1.0, 2.0}) {
        std::cout << "drawing at " << ratio << "x, 980 x 700:\n";
        // A new view's first paint, in five new views a point apart in height: each draws its
        // rings and hub anew and, at 1x, blurs the shadows for its size, so that one slow run
        // neither hides nor decides the figure.
        std::vector<double> firstPaints;
        for (int k = 0; k < 5; ++k) {
            const QSize size(980, 700 + k);
            SunburstView fresh(inputsOf(rootLayout, tree), {});
            fresh.resize(size);
            fresh.setReducedMotionSource([] { return false; });
            QImage canvas(size * ratio, QImage::Format_ARGB32_Premultiplied);
            canvas.setDevicePixelRatio(ratio);
            // Resident before the first paint, as a window's backing store is (see canvas()).
            canvas.fill(Qt::transparent);
            firstPaints.push_back(timeMs([&] { paint(fresh, canvas); }));
        }
        print("first paint of a new view (median of 5)", median(firstPaints), ratio == 1 ? 12 : 16);
        print("first paint of a new view, worst", *std::max_element(firstPaints.begin(), firstPaints.end()));

        SunburstView view(inputsOf(rootLayout, tree), {});
        view.resize(980, 700);
        view.setReducedMotionSource([] { return false; });
        QImage image(QSize(980, 700) * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        paint(view, image);
        // A full paint draws the rings anew; a hidden view draws them in place (on screen they
        // are drawn on a worker thread while the last picture stands in).
        print("full paint",
              medianMs(15,
                       [&] {
                           view.dropCachedPicture();
                           paint(view, image);
                       }),
              ratio == 1 ? 12 : 16);

        // On screen a worker prepares the arcs' glows and outlines once the rings' picture is
        // drawn, before the pointer comes to them; a hidden view does not, so the bench does.
        SunburstPictureInput prepared;
        prepared.arcs =
            std::make_shared<const std::vector<views::SunburstSegment>>(view.inputs().layout.segments);
        prepared.gauge = view.inputs().layout;
        prepared.gauge.segments.clear();
        prepared.placement = SunburstPicturePlacement::of(view.canvasRect(), ratio);
        prepareSunburstPictureHoverGlows(prepared);

        // The pointer moving between two arcs, the tooltip following it: the view repaints the
        // old and new arcs with their glow and tooltips over its picture of the rings.
        const views::SizeD canvas{view.canvasRect().width(), view.canvasRect().height()};
        const auto frame = views::SunburstFrame::of(canvas);
        int step = 0;
        const bench::Figures hovers = bench::measure(21, [&] {
            const double fraction = (step++ % 2) ? 0.15 : 0.62;
            view.handleHoverAt(frame.pointAt(fraction, 104));
            view.render(&image, QPoint(), view.lastHoverDamage(), QWidget::DrawChildren);
        });
        print("hover repaint (another arc, tooltip)", hovers.median, 8);
        print("hover repaint, worst", hovers.worst, 8);
        if (hovers.worst > 8)
            std::cout << "  (the worst: the main thread ran " << hovers.worstRan
                      << " ms and waited for a processor " << hovers.worstQueued << " ms of it)\n";
        view.handleHoverEnded();

        // A deletion: the largest top folder goes; frames along the transition.
        std::vector<FileNode> kept;
        for (const FileNode& child : tree.children())
            if (child.name() != "images") kept.push_back(child);
        const FileNode smaller = FileNode::folder(tree.ownFolderPath(), "/bench", 1.6e9, kept);
        view.setInputs(
            inputsOf(views::makeSunburstLayout(smaller, {"Bench", 4LL << 40, 1, false}, measure), smaller));
        double progress = 0.05;
        print("transition frame", medianMs(15, [&] {
                  view.setDeletionProgressForReview(progress);
                  progress += 0.06;
                  paint(view, image);
              }));
    }

    bench::benchDiskViews(tree, links);

    // The window: the tree taken in, drilled into down to the hard-link folder, then replaced by
    // a smaller tree; the longest gap between 5 ms timer ticks on the main thread.
    QTemporaryDir folder;
    AppSettings settings(folder.filePath("settings.ini"));
    NavigationHistory history;
    ScanState scanState(std::nullopt,
                        SnapshotIO{[](ScanSnapshot) {}, [] { return std::optional<ScanSnapshot>(); }});
    SelectionState selection;
    const LaunchOptions options{{"view-bench"}, false};
    const ScannableVolume volume{"/bench", "Bench", std::nullopt, 4LL << 40, 0, false, false, true};
    CenterView center(volume, history, scanState, selection, settings, options);
    center.resize(980, 700);
    center.show();
    // Whether a stall was the program's or the machine's: see MachinePauses.
    // Its threads wake a thousand times a second on every processor: only while the stalls are
    // timed, not while the insight screens are.
    auto watch = std::make_unique<bench::MachinePauses>();
    const bench::MachinePauses& pauses = *watch;
    bench::LongestGap longest;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] { longest.beat(); });
    probe.start();
    struct Stall {
        const char* name;
        double targetMs;
        double ms;
        double ranMs;            // of it, the main thread running
        double stillMs;          // of it, the whole machine standing still
        double processorStillMs; // of it, the main thread's processor standing still
        bench::MachinePauses::MemoryProbes memory;
    };
    std::vector<Stall> stalls;
    const auto phase = [&](const char* name, double targetMs, int afterMs, std::function<void()> step) {
        QTimer::singleShot(afterMs, &app, [&, name, targetMs, step] {
            longest.restart();
            QElapsedTimer own;
            own.start();
            step();
            std::cout << "  (" << name << ": the step itself took " << own.elapsed() << " ms)\n";
            QTimer::singleShot(600, &app, [&, name, targetMs] {
                stalls.push_back({name, targetMs, bench::milliseconds(longest.gap()),
                                  bench::milliseconds(longest.times().running),
                                  bench::milliseconds(pauses.stillDuring(longest.begin(), longest.end())),
                                  bench::milliseconds(longest.processorStill(pauses)),
                                  pauses.memoryDuring(longest.begin(), longest.end())});
            });
        });
    };
    phase("tree taken in", kTreeReplacedMs, 100, [&] { history.reset(tree, "Bench"); });
    phase("drilled into /bench/data", kTwoFramesMs, 1000,
          [&] { center.openFolder({*tree.find("/bench/data")}); });
    phase("drilled into the hard-link folder", kTwoFramesMs, 1900, [&] { center.openFolder({links}); });
    Builder small;
    const FileNode replacement = small.tree(20'000, "/bench");
    phase("replaced by a smaller tree", kTreeReplacedMs, 2800, [&] { history.reset(replacement, "Bench"); });
    // The window no longer holds the large tree; dropping the last reference frees a million
    // nodes on whichever thread does it.
    phase("the last reference to the large tree dropped", kTwoFramesMs, 3700, [&] {
        links = FileNode();
        tree = FileNode();
    });
    QTimer::singleShot(4700, &app, [&] { app.quit(); });
    app.exec();
    watch.reset();
    std::cout << "main-thread stalls (timer every 5 ms):\n";
    for (const Stall& stall : stalls) {
        print(stall.name, stall.ms, stall.targetMs);
        std::cout << "    (the main thread ran " << stall.ranMs << " ms of it; its processor stood still "
                  << stall.processorStillMs << " ms of it, the whole machine " << stall.stillMs << " ms; "
                  << stall.memory.slow << " of " << stall.memory.taken
                  << " memory probes in it were over ten times slower than usual)\n";
    }
    std::cout << std::endl;
    bench::runInsightBench();
    return 0;
}
