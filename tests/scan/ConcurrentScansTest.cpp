#include "ScanTestSupport.hpp"

#include <set>
#include <thread>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#include "scan/TaskGroup.hpp"
#else
#include <tbb/parallel_for.h>
#endif

namespace quillmere {
namespace {

using testing::FakeHost;
using testing::ScratchFolder;
using testing::writeFile;

struct Totals {
    int64_t bytes = 0;
    int64_t files = 0;
    int64_t folders = 1;
    int64_t shared = 0;
    bool operator==(const Totals&) const = default;
};

Totals totalsOf(const FileNode& root) {
    return {root.allocatedSize(), root.fileCount(), root.folderCount(), root.sharedBytesTotal()};
}

// Sizes a tree the slow, obvious way: every non-folder once, each inode's blocks once.
Totals measure(const std::string& root) {
    Totals totals;
    std::set<std::pair<dev_t, ino_t>> seen;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const struct stat info = testing::lstatOf(entry.path());
        if (S_ISDIR(info.st_mode)) {
            ++totals.folders;
            continue;
        }
        ++totals.files;
        const int64_t size = static_cast<int64_t>(info.st_blocks) * 512;
        (seen.insert({info.st_dev, info.st_ino}).second ? totals.bytes : totals.shared) += size;
    }
    return totals;
}

// A small tree whose shape depends on `variant`: several folders with subfolders, a hard
// link across two folders and a symbolic link.
void buildTree(const std::string& root, int variant) {
    for (int folder = 0; folder < 3 + variant; ++folder) {
        const std::string base = root + "/d" + std::to_string(folder);
        for (int file = 0; file < 4; ++file)
            writeFile(base + "/f" + std::to_string(file), 1000 * (file + folder + variant + 1));
        for (int sub = 0; sub < 2; ++sub)
            writeFile(base + "/s" + std::to_string(sub) + "/g", 5000 + 3000 * variant);
    }
    std::filesystem::create_hard_link(root + "/d0/f0", root + "/d1/link");
    std::filesystem::create_directory_symlink("d0", root + "/to-d0");
    writeFile(root + "/top", 3000);
}

template <class Body> void runConcurrently(int count, const Body& body) {
#if defined(__SANITIZE_THREAD__)
    // Debian's oneTBB is not instrumented for the thread sanitizer, which would report its own
    // task hand-overs; the engine's task group is what this build runs its walks on anyway.
    TaskGroup group;
    for (int i = 0; i < count; ++i)
        group.run([&body, i] { body(i); });
    group.wait();
#else
    tbb::parallel_for(0, count, [&](int i) { body(i); });
#endif
}

TEST(ConcurrentScans, ThreeHundredScansAtOnceAllComeOutRight) {
    constexpr int kTrees = 6;
    constexpr int kScans = 300;
    constexpr int kStreamed = 24;
    ScratchFolder scratch;
    std::vector<std::string> roots;
    std::vector<Totals> expected;
    for (int variant = 0; variant < kTrees; ++variant) {
        roots.push_back(scratch / ("tree" + std::to_string(variant)));
        buildTree(roots.back(), variant);
        expected.push_back(measure(roots.back()));
    }

    // Half the scans spend their budget at once, so inline and child walks mix.
    FakeHost tightHost;
    tightHost.processors = 1;
    const DiskScanner roomy(3);
    const DiskScanner tight(1, tightHost);

    std::mutex lock;
    std::vector<std::optional<Totals>> results(kScans);
    std::vector<int> finishedEvents(kScans, -1);
    std::vector<bool> nonDecreasing(kScans, true);

    // Streamed scans are read from plain threads while the others run on the workers.
    std::vector<std::thread> readers;
    for (int i = 0; i < kStreamed; ++i) {
        readers.emplace_back([&, i] {
            const DiskScanner& scanner = i % 2 ? tight : roomy;
            const std::vector<ScanEvent> events = testing::readAll(scanner.scan(
                roots[i % kTrees], std::make_shared<ScanCancellation>(), true, "/nonexistent-home"));
            bool ordered = true;
            int64_t last = 0;
            for (const ScanProgress& progress : testing::progressOf(events)) {
                ordered = ordered && progress.filesScanned >= last;
                last = progress.filesScanned;
            }
            std::optional<Totals> totals;
            if (!events.empty() && std::holds_alternative<DiskScanResult>(events.back())) {
                const FileNode& root = std::get<DiskScanResult>(events.back()).root;
                testing::expectConsistentTree(root);
                totals = totalsOf(root);
            }
            std::lock_guard guard(lock);
            results[i] = totals;
            finishedEvents[i] = testing::finishedCount(events);
            nonDecreasing[i] = ordered;
        });
    }
    runConcurrently(kScans - kStreamed, [&](int index) {
        const int i = index + kStreamed;
        const DiskScanner& scanner = i % 2 ? tight : roomy;
        const std::optional<DiskScanResult> result =
            scanner.scanToEnd(roots[i % kTrees], true, "/nonexistent-home");
        std::lock_guard guard(lock);
        if (result) results[i] = totalsOf(result->root);
    });
    for (std::thread& reader : readers)
        reader.join();

    std::lock_guard guard(lock);
    for (int i = 0; i < kScans; ++i) {
        ASSERT_TRUE(results[i]) << "scan " << i;
        EXPECT_EQ(*results[i], expected[i % kTrees]) << "scan " << i;
        if (i < kStreamed) {
            EXPECT_EQ(finishedEvents[i], 1) << "scan " << i;
            EXPECT_TRUE(nonDecreasing[i]) << "scan " << i;
        }
    }
}

} // namespace
} // namespace quillmere
