#include "InsightBench.hpp"

#include "LongestGap.hpp"
#include "Rng.hpp"
#include "Timing.hpp"
#include "base/PathText.hpp"
#include "views/InsightModel.hpp"
#include "views/widgets/InsightViews.hpp"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <time.h>
#include <vector>

namespace quillmere::bench {
namespace {

using Clock = std::chrono::steady_clock;

// The median processor time of `runs` runs on this thread: on a shared, loaded machine the
// wall time also counts the waits for a processor.
double cpuMedian(int runs, const std::function<void()>& work) {
    const auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
    };
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = now();
        work();
        times.push_back(now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

constexpr const char* kExtensions[] = {"mov", "jpg", "mp3", "iso", "zip", "pkg", "pdf", "dat", "txt", "c"};

// 100 top folders of 100 folders of 100 files (about 1,010,000 nodes) with ten kinds, sizes over
// five orders of magnitude and dates over twenty years; the last top folder sits under a chain
// of 40 folders, the deep folder.
struct BenchTree {
    FileNode root;
    std::string deepPath;
};

BenchTree makeTree() {
    Rng rng(42);
    const auto next = [&] { return rng.next() >> 33; };
    const auto topFolder = [&](const FolderPath& path, const std::string& name) {
        std::vector<FileNode> middles;
        for (int m = 0; m < 100; ++m) {
            const FolderPath middlePath = path.child("m" + std::to_string(m));
            std::vector<FileNode> files;
            files.reserve(100);
            for (int f = 0; f < 100; ++f) {
                const auto roll = next();
                const int64_t size = 4096 * static_cast<int64_t>(1 + roll % 100000 / (1 + (roll >> 8) % 97));
                const Date date = 1.0e9 + static_cast<double>(next() % 630'000'000);
                files.push_back(FileNode::under(
                    middlePath, "f" + std::to_string(f) + "." + kExtensions[roll % 10],
                    NodeFields{.allocatedSize = size, .fileCount = 1, .modificationDate = date}));
            }
            middles.push_back(
                FileNode::folder(middlePath, "m" + std::to_string(m), std::nullopt, std::move(files)));
        }
        return FileNode::folder(path, name, std::nullopt, std::move(middles));
    };
    const FolderPath rootPath = FolderPath::root("/bench");
    std::vector<FileNode> top;
    for (int t = 0; t < 99; ++t)
        top.push_back(topFolder(rootPath.child("t" + std::to_string(t)), "t" + std::to_string(t)));
    // The chain is built from its innermost folder outwards.
    std::vector<FolderPath> chain{rootPath.child("d0")};
    for (int d = 1; d < 40; ++d)
        chain.push_back(chain.back().child("d" + std::to_string(d)));
    FileNode inner = topFolder(chain.back().child("deep"), "deep");
    const std::string deepPath = inner.path();
    for (int d = 39; d >= 0; --d)
        inner =
            FileNode::folder(chain[static_cast<size_t>(d)], "d" + std::to_string(d), std::nullopt, {inner});
    top.push_back(inner);
    return {FileNode::folder(rootPath, "bench", std::nullopt, std::move(top)), deepPath};
}

// The longest gap between ticks of a 1 ms timer on the main thread while `start` runs from the
// event loop and until `done` holds, the screen painted at the end.
double longestStall(const std::function<void()>& start, const std::function<bool()>& done) {
    LongestGap longest;
    QTimer ticks;
    ticks.setInterval(1);
    QObject::connect(&ticks, &QTimer::timeout, [&] { longest.beat(); });
    ticks.start();
    QTimer::singleShot(0, [&] { start(); });
    const auto until = Clock::now() + std::chrono::seconds(60);
    QCoreApplication::processEvents();
    while (!done() && Clock::now() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
    longest.beat();
    return milliseconds(longest.gap());
}

void paint(QWidget& screen) {
    QImage image(screen.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    screen.render(&painter);
}

InsightInputs inputsOf(const FileNode& folder) {
    return {folder, std::string(folder.name()), false, std::nullopt};
}

template <class Screen>
void screenStalls(const char* name, const FileNode& root, const FileNode& deep,
                  const std::function<Screen*(const FileNode&)>& make,
                  const std::function<bool(Screen&)>& ready) {
    Screen* screen = nullptr;
    const auto open = [&](const FileNode& folder) {
        return longestStall(
            [&] {
                screen = make(folder);
                screen->resize(980, 700);
                paint(*screen);
            },
            [&] { return screen && ready(*screen); });
    };
    const double opening = open(root);
    paint(*screen);
    // A deletion: the tree is rebuilt without one top folder and handed to the same screen.
    const FileNode smaller = root.rebuilt({root.children().begin() + 1, root.children().end()});
    const int64_t before = root.allocatedSize();
    const double deletion = longestStall([&] { screen->setInputs(inputsOf(smaller)); },
                                         [&] { return ready(*screen) && before != smaller.allocatedSize(); });
    insightPool().waitForDone();
    QCoreApplication::processEvents();
    paint(*screen);
    // Navigating: the host makes a new screen for the other folder.
    delete screen;
    screen = nullptr;
    const double navigating = open(deep);
    insightPool().waitForDone();
    QCoreApplication::processEvents();
    delete screen;
    std::printf("%-16s longest main-thread stall: opening %6.1f ms, deletion %6.1f ms, navigating %6.1f ms  "
                "(target 50 ms)\n",
                name, opening, deletion, navigating);
}

} // namespace

void runInsightBench() {
    std::printf("Building the insight tree...\n");
    const BenchTree tree = makeTree();
    const FileNode& root = tree.root;
    const FileNode deep = *root.find(tree.deepPath);
    const Date now = 1.65e9;
    std::printf("Tree: %lld files, %lld folders; deep folder %s (%lld files)\n\n",
                static_cast<long long>(root.fileCount()), static_cast<long long>(root.folderCount()),
                tree.deepPath.c_str(), static_cast<long long>(deep.fileCount()));

    for (const auto& [name, folder] :
         {std::pair<const char*, FileNode>{"root", root}, {"deep folder", deep}}) {
        std::printf("-- %s --\n", name);
        const auto row = [](const char* label, const std::function<void()>& work) {
            const double wall = measure(5, work).median;
            std::printf("%-28s %9.1f ms wall %9.1f ms processor\n", label, wall, cpuMedian(5, work));
        };
        row("largest items (100)", [&] { views::insight::largestItems(folder); });
        row("kinds (8 per kind)", [&] { views::insight::kindBreakdown(folder); });
        row("age breakdown", [&] { views::insight::ageBreakdown(folder, now); });
        row("untouched (1 year, 100)", [&] { views::insight::untouchedItems(folder, now, 1); });
    }
    std::printf("\n");

    const InsightActions actions{{}, {}, [](const std::string&) { return false; }, [now] { return now; }, {}};
    screenStalls<LargestItemsView>(
        "largest items", root, deep,
        [&](const FileNode& f) { return new LargestItemsView(inputsOf(f), actions); },
        [](LargestItemsView& s) { return s.task().deliveredCount() == s.task().startedCount(); });
    screenStalls<ByKindView>(
        "kinds", root, deep, [&](const FileNode& f) { return new ByKindView(inputsOf(f), actions); },
        [](ByKindView& s) { return s.task().deliveredCount() == s.task().startedCount(); });
    screenStalls<UntouchedView>(
        "untouched", root, deep,
        [&](const FileNode& f) { return new UntouchedView(inputsOf(f), 1, actions); },
        [](UntouchedView& s) {
            return s.ageTask().deliveredCount() == s.ageTask().startedCount() &&
                   s.listTask().deliveredCount() == s.listTask().startedCount();
        });
}

} // namespace quillmere::bench
