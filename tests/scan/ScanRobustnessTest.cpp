// The engine on trees and machines no ordinary fixture has: failures inside the walk,
// folders cut short, deep chains, wide roots, consumers that do not read, and names that
// differ only in their Unicode form.
#include "ScanTestSupport.hpp"
#include "scan/ScanAccumulator.hpp"
#include "scan/ScanReport.hpp"
#include "scan/SmallItemFolding.hpp"

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <tbb/global_control.h>
#include <thread>
#include <unistd.h>

namespace quillmere {
namespace {

using testing::childNamed;
using testing::expectConsistentTree;
using testing::FakeHost;
using testing::finishedCount;
using testing::makeFolder;
using testing::openDescriptorCount;
using testing::openDescriptorCountSettlingAt;
using testing::progressOf;
using testing::readAll;
using testing::ScratchFolder;
using testing::writeFile;

const std::string kNoHome = "/nonexistent-home";

std::set<std::string> deniedUrls(const DiskScanResult& result) {
    std::set<std::string> urls;
    for (const DeniedPath& denied : result.deniedPaths)
        urls.insert(denied.url);
    return urls;
}

const DiskScanResult& lastResult(const std::vector<ScanEvent>& events) {
    static const DiskScanResult none;
    return events.empty() || !std::holds_alternative<DiskScanResult>(events.back())
               ? none
               : std::get<DiskScanResult>(events.back());
}

// Reads a scan's stream on another thread; nothing when it does not end within a minute (the
// reader is then left behind, so a hanging engine fails the test instead of blocking it).
std::optional<std::vector<ScanEvent>> readWithin(ScanEventStream stream) {
    auto task = std::make_shared<std::packaged_task<std::vector<ScanEvent>()>>(
        [stream = std::make_shared<ScanEventStream>(std::move(stream))] {
            return readAll(std::move(*stream));
        });
    std::future<std::vector<ScanEvent>> done = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) return std::nullopt;
    return done.get();
}

// Builds a chain of `levels` folders named "d" with one file at its end, through descriptors:
// its paths are far longer than PATH_MAX. With `sideFolders`, each level also holds an empty
// folder "e", so that a walker always has a second thing to do at every level.
void makeChain(const std::string& root, int levels, bool sideFolders = false) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
        if (sideFolders) {
            ASSERT_EQ(::mkdirat(fd, "e", 0755), 0);
        }
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    const int file = ::openat(fd, "file", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::write(file, std::string(4096, 'q').data(), 4096), 4096);
    ::close(file);
    ::close(fd);
}

// A chain of 40 folders with a file at its end and 200 files in its thirteenth level, whose
// path is returned: a single walker goes deep enough to close that level's descriptor.
std::string makeDeepChainWithAWideLevel(const ScratchFolder& root) {
    std::string level = root / "c";
    std::string wide;
    for (int i = 0; i < 40; ++i) {
        level += "/l" + std::to_string(i);
        if (i == 12) wide = level;
    }
    writeFile(level + "/end", 4096);
    for (int i = 0; i < 200; ++i)
        writeFile(wide + "/f" + std::to_string(i), 4096);
    return wide;
}

// A tree with work for several walkers: two top folders of subfolders of files.
void makeBusyTree(const ScratchFolder& root) {
    for (const char* top : {"a", "b"})
        for (int sub = 0; sub < 6; ++sub)
            for (int file = 0; file < 5; ++file)
                writeFile(root /
                              (std::string(top) + "/s" + std::to_string(sub) + "/f" + std::to_string(file)),
                          4096);
    writeFile(root / "a/s3/boom/inner", 4096);
}

TEST(ScanFailures, AThrowingHostEndsTheScanOnceWithWhatWasBuiltAndTheFolderDenied) {
    ScratchFolder root;
    makeBusyTree(root);
    const std::string boomFolder = root / "a/s3/boom";
    for (const char* call : {"stat", "list", "open", "extents"}) {
        SCOPED_TRACE(call);
        FakeHost host;
        host.blocks = {{"inner", 16384}}; // large enough to be probed for shared extents
        const std::string call_ = call;
        host.onCall = [call_](std::string_view what, const std::string& name) {
            const bool target =
                call_ == "open" ? name == "boom" : name == (call_ == "list" ? "boom" : "inner");
            if (what == call_ && target) throw std::runtime_error("injected");
        };
        const size_t descriptorsBefore = openDescriptorCount();
        const std::optional<std::vector<ScanEvent>> events =
            readWithin(DiskScanner(3, host).scan(root.path(), nullptr, true, kNoHome));
        ASSERT_TRUE(events);
        EXPECT_EQ(finishedCount(*events), 1);
        const DiskScanResult& result = lastResult(*events);
        expectConsistentTree(result.root);
        // Everything outside the failed folder was walked.
        EXPECT_EQ(childNamed(result.root, "b")->fileCount(), 30);
        EXPECT_EQ(childNamed(result.root, "a")->folderCount(), call_ == "open" ? 7 : 8);
        EXPECT_GE(result.root.fileCount(), call_ == "open" ? 55 : 60);
        // The folder being walked when the host threw is denied: "boom" itself when opening
        // it threw, otherwise the folder whose listing or entry failed.
        EXPECT_TRUE(deniedUrls(result).contains(call_ == "open" ? root / "a/s3" : boomFolder))
            << ::testing::PrintToString(deniedUrls(result));
        EXPECT_EQ(openDescriptorCountSettlingAt(descriptorsBefore), descriptorsBefore);
    }
}

// The first link of a file met registers it as a possible owner of its bytes, then asks about
// its clones: when that question fails, the link stays in the tree, and the file's bytes are
// counted once, by whichever link owns them.
TEST(ScanFailures, AHardLinkWhoseClonesCannotBeAskedAboutStaysAndItsBytesCountOnce) {
    ScratchFolder root;
    writeFile(root / "a/x", 8 << 20);
    std::filesystem::create_directories(root / "b");
    ASSERT_EQ(::link((root / "a/x").c_str(), (root / "b/y").c_str()), 0);
    struct stat info {};
    ASSERT_EQ(::stat((root / "a/x").c_str(), &info), 0);
    FakeHost host;
    std::atomic<bool> thrown{false};
    host.onCall = [&](std::string_view what, const std::string&) {
        if (what == "extents" && !thrown.exchange(true)) throw std::runtime_error("injected");
    };
    const std::optional<DiskScanResult> result = DiskScanner(200, host).scanToEnd(root.path(), true, kNoHome);
    ASSERT_TRUE(result);
    ASSERT_TRUE(thrown);
    expectConsistentTree(result->root);
    EXPECT_EQ(result->root.fileCount(), 2);
    EXPECT_EQ(childNamed(result->root, "a")->allocatedSize() + childNamed(result->root, "b")->allocatedSize(),
              static_cast<int64_t>(info.st_blocks) * 512);
}

TEST(ScanFailures, AHostThrowingAtTheRootStillEndsTheStream) {
    ScratchFolder root;
    makeBusyTree(root);
    for (const char* call : {"root", "fstat"}) {
        FakeHost host;
        const std::string call_ = call;
        host.onCall = [call_](std::string_view what, const std::string&) {
            if (what == call_) throw std::runtime_error("injected");
        };
        const std::optional<std::vector<ScanEvent>> events =
            readWithin(DiskScanner(200, host).scan(root.path(), nullptr, true, kNoHome));
        ASSERT_TRUE(events) << call;
        EXPECT_LE(finishedCount(*events), 1) << call;
    }
    // Listing the root fails: the root is denied and the scan still finishes.
    FakeHost host;
    host.onCall = [&](std::string_view what, const std::string& name) {
        if (what == "list" && name == std::string(lastPathComponent(root.path())))
            throw std::runtime_error("injected");
    };
    const std::optional<std::vector<ScanEvent>> events =
        readWithin(DiskScanner(200, host).scan(root.path(), nullptr, true, kNoHome));
    ASSERT_TRUE(events);
    ASSERT_EQ(finishedCount(*events), 1);
    EXPECT_TRUE(deniedUrls(lastResult(*events)).contains(root.path()));
}

TEST(ScanFailures, DescriptorsAreAllClosedAfterNormalAndCancelledScans) {
    ScratchFolder root;
    makeBusyTree(root);
    makeChain(root / "a", 40);
    const size_t before = openDescriptorCount();
    EXPECT_TRUE(DiskScanner().scanToEnd(root.path(), true, kNoHome));
    EXPECT_EQ(openDescriptorCountSettlingAt(before), before);

    auto cancellation = std::make_shared<ScanCancellation>();
    FakeHost host;
    host.onStat = [&](const std::string& name) {
        if (name == "f2") cancellation->cancel();
    };
    const std::optional<std::vector<ScanEvent>> events =
        readWithin(DiskScanner(1, host).scan(root.path(), cancellation, true, kNoHome));
    ASSERT_TRUE(events);
    EXPECT_EQ(finishedCount(*events), 1);
    EXPECT_EQ(openDescriptorCountSettlingAt(before), before);
}

TEST(ScanCutShort, AFolderWhoseListingFailsLaterIsDeniedWithWhatWasRead) {
    ScratchFolder root;
    for (int i = 0; i < 5; ++i)
        writeFile(root / ("top/half/f" + std::to_string(i)), 4096);
    writeFile(root / "top/gone/f", 4096);
    writeFile(root / "top/kept", 4096);
    FakeHost host;
    host.laterListError = {{"half", EIO}, {"gone", ENOENT}};
    const DiskScanResult result = *DiskScanner(200, host).scanToEnd(root.path(), true, kNoHome);
    // Failing after the first chunk: denied, with the entries already read kept.
    const std::optional<FileNode> half = result.root.find(root / "top/half");
    ASSERT_TRUE(half);
    EXPECT_EQ(half->fileCount(), 5);
    // A folder that vanished while it was listed is skipped like a vanished entry.
    EXPECT_EQ(deniedUrls(result), (std::set<std::string>{root / "top/half"}));
    EXPECT_EQ(result.root.fileCount(), 7);
}

TEST(ScanCutShort, AClosedAncestorThatCannotBeReopenedLeavesItsFolderDenied) {
    // One processor gives eight child walks; the ninth level on is one walker deep enough to
    // close its shallow folders' descriptors and reopen them when it climbs back.
    ScratchFolder root;
    const std::string reopened = makeDeepChainWithAWideLevel(root);
    FakeHost host;
    host.processors = 1;
    host.reopenError = {{"l12", EACCES}};
    host.openError = {{"..", EACCES}}; // climbing back through ".." fails too
    const size_t before = openDescriptorCount();
    const DiskScanResult result = *DiskScanner(200, host).scanToEnd(root.path(), true, kNoHome);
    EXPECT_EQ(openDescriptorCountSettlingAt(before), before);
    const std::optional<FileNode> node = result.root.find(reopened);
    ASSERT_TRUE(node);
    if (node->fileCount() == 201) GTEST_SKIP() << "l13 was listed last, so nothing needed reopening";
    EXPECT_TRUE(deniedUrls(result).contains(reopened)) << ::testing::PrintToString(deniedUrls(result));
    EXPECT_GE(node->fileCount(), 1); // the chain below and what was sized before are kept
    expectConsistentTree(result.root);
}

TEST(ScanCutShort, AClosedAncestorIsReachedAgainThroughDotDot) {
    ScratchFolder root;
    const std::string reopened = makeDeepChainWithAWideLevel(root);
    FakeHost host;
    host.processors = 1;
    host.reopenError = {{"l12", EACCES}}; // by name it could not be reached again
    const size_t before = openDescriptorCount();
    const DiskScanResult result = *DiskScanner(200, host).scanToEnd(root.path(), true, kNoHome);
    EXPECT_EQ(openDescriptorCountSettlingAt(before), before);
    EXPECT_TRUE(result.deniedPaths.empty());
    EXPECT_EQ(result.root.fileCount(), 201);
}

TEST(ScanRootFacts, ARootReachedThroughASymbolicLinkUsesTheDeviceOfItsTarget) {
    ScratchFolder root;
    writeFile(root / "real/sub/f", 4096);
    std::filesystem::create_symlink(root / "real", root / "link");
    FakeHost host;
    host.onOtherDevice = {"link"}; // the link itself lies on another file system
    const DiskScanResult result = *DiskScanner(200, host).scanToEnd(root / "link", true, kNoHome);
    EXPECT_EQ(result.root.fileCount(), 1);
    EXPECT_EQ(result.root.folderCount(), 2);
}

TEST(ScanRootFacts, DeniedEstimatesComeThroughTheHost) {
    ScratchFolder root;
    writeFile(root / "locked/f", 4096);
    FakeHost host;
    host.listError = {{"locked", EACCES}};
    host.blocks = {{"locked", 77}};
    const DiskScanResult result = *DiskScanner(200, host).scanToEnd(root.path(), true, kNoHome);
    ASSERT_EQ(result.deniedPaths.size(), 1u);
    EXPECT_EQ(result.deniedPaths[0].estimatedBytes, 77 * 512);
}

TEST(ScanSharing, HardLinkIdentityIncludesTheDevice) {
    ScratchFolder root;
    writeFile(root / "one/x", 4096);
    writeFile(root / "two/y", 4096);
    std::filesystem::create_hard_link(root / "one/x", root / "one/x2");
    std::filesystem::create_hard_link(root / "two/y", root / "two/y2");
    FakeHost host;
    // x and y claim one inode number, y on another device: two different files.
    host.inodes = {{"x", 4242}, {"y", 4242}, {"x2", 1}, {"y2", 2}};
    host.onOtherDevice = {"y"};
    const DiskScanResult result = *DiskScanner(200, host).scanToEnd(root.path(), true, kNoHome);
    for (const char* path : {"one/x", "two/y"}) {
        const std::optional<FileNode> node = result.root.find(root / path);
        ASSERT_TRUE(node) << path;
        EXPECT_FALSE(node->isSharedElsewhere()) << path;
    }
}

TEST(ScanShapes, AChainFiftyThousandLevelsDeepScansWithOneFile) {
    const ScratchFolder root(testing::fastTemporaryFolder());
    makeChain(root.path(), 50'000);
    const size_t before = openDescriptorCount();
    const std::optional<DiskScanResult> result = DiskScanner().scanToEnd(root.path(), true, kNoHome);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->root.fileCount(), 1);
    EXPECT_EQ(result->root.folderCount(), 50'001);
    EXPECT_GT(result->root.allocatedSize(), 0);
    EXPECT_EQ(openDescriptorCountSettlingAt(before), before);
}

// `count` empty files "f0", "f1", … in `folder`.
void makeEmptyFiles(const std::string& folder, int count) {
    std::filesystem::create_directories(folder);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < count; ++i) {
        const int file =
            ::openat(fd, ("f" + std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(file, 0);
        ::close(file);
    }
    ::close(fd);
}

TEST(ScanShapes, AHalfMillionEntryFolderIsSharedOutAndCountedWhole) {
    const ScratchFolder root(testing::fastTemporaryFolder());
    makeEmptyFiles(root / "wide", 500'000);
    writeFile(root / "wide/sub/f", 4096);
    const size_t before = openDescriptorCount();
    const std::optional<DiskScanResult> result = DiskScanner().scanToEnd(root.path(), true, kNoHome);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->root.fileCount(), 500'001);
    EXPECT_EQ(result->root.folderCount(), 3);
    EXPECT_EQ(result->root.allocatedSize(), testing::allocatedBytes(root / "wide/sub/f"));
    EXPECT_TRUE(result->deniedPaths.empty());
    EXPECT_EQ(openDescriptorCountSettlingAt(before), before);
}

TEST(ScanShapes, AHalfMillionEntryRootIsCountedWhole) {
    const ScratchFolder root(testing::fastTemporaryFolder());
    makeEmptyFiles(root.path(), 500'000);
    writeFile(root / "sub/f", 4096);
    const std::optional<std::vector<ScanEvent>> events =
        readWithin(DiskScanner(200).scan(root.path(), nullptr, true, kNoHome));
    ASSERT_TRUE(events);
    ASSERT_EQ(finishedCount(*events), 1);
    const DiskScanResult& result = lastResult(*events);
    EXPECT_EQ(result.root.fileCount(), 500'001);
    EXPECT_EQ(result.root.folderCount(), 2);
    const std::vector<ScanProgress> progress = progressOf(*events);
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(
        std::is_sorted(progress.begin(), progress.end(), [](const ScanProgress& a, const ScanProgress& b) {
            return a.filesScanned < b.filesScanned;
        }));
    EXPECT_LE(progress.back().filesScanned, 500'001);
}

TEST(ScanOnOneThread, AScanEndsWithTheTaskPoolLimitedToOneThread) {
    ScratchFolder root;
    makeBusyTree(root);
    const tbb::global_control one(tbb::global_control::max_allowed_parallelism, 1);
    FakeHost host;
    host.processors = 1;
    const std::optional<std::vector<ScanEvent>> events =
        readWithin(DiskScanner(200, host).scan(root.path(), nullptr, true, kNoHome));
    ASSERT_TRUE(events) << "the scan never ended";
    ASSERT_EQ(finishedCount(*events), 1);
    EXPECT_EQ(lastResult(*events).root.fileCount(), 61);
}

TEST(ScanOnOneThread, FoldersLeftBeforeTheirSubfoldersEndAreBuiltWhenTheLastEnds) {
    // The task pool has one thread while the scan believes in eight: a subfolder walked apart
    // runs only once the walker that started it has ended, so every such folder is left
    // waiting and built by the walk that ends last.
    ScratchFolder busy;
    makeBusyTree(busy);
    const std::optional<DiskScanResult> everyThread = DiskScanner().scanToEnd(busy.path(), true, kNoHome);
    ASSERT_TRUE(everyThread);
    const ScratchFolder chain(testing::fastTemporaryFolder());
    makeChain(chain.path(), 50'000, true);

    const tbb::global_control one(tbb::global_control::max_allowed_parallelism, 1);
    FakeHost host;
    host.processors = 8;
    const std::optional<DiskScanResult> oneThread =
        DiskScanner(200, host).scanToEnd(busy.path(), true, kNoHome);
    ASSERT_TRUE(oneThread);
    EXPECT_EQ(testing::fieldsByPath(oneThread->root), testing::fieldsByPath(everyThread->root));
    // Fifty thousand folders each left waiting for the one below: built in turn, never by
    // recursion.
    const std::optional<DiskScanResult> deep = DiskScanner(200, host).scanToEnd(chain.path(), true, kNoHome);
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->root.fileCount(), 1);
    EXPECT_EQ(deep->root.folderCount(), 100'001);
    EXPECT_GT(deep->root.allocatedSize(), 0);
}

// Closing the window mid-scan ends the process while the walk still runs: the exit destroys
// the statics, and the walk keeps calling the system's host all the same.
TEST(ScanOnExit, AWalkStillRunningWhenTheProcessExitsDoesNotBreakTheExit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // What the walk still holds as the process ends is not memory lost: the child started
    // below does not look for leaks.
    const char* const options = std::getenv("ASAN_OPTIONS");
    const std::string saved = options ? options : "";
    ::setenv("ASAN_OPTIONS", (saved + (saved.empty() ? "" : ":") + "detect_leaks=0").c_str(), 1);
    EXPECT_EXIT(
        {
            // Registered before the system's host is made, so it runs after that is destroyed:
            // the walk goes on for another hundred files meanwhile.
            static ScanEventStream* walk = nullptr;
            std::atexit([] {
                for (int file = 0; file < 100 && walk->next(); ++file) {
                }
            });
            walk = new ScanEventStream(DiskScanner(1).scan("/usr", nullptr, true, kNoHome));
            (void)walk->next(); // the walk has begun
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    options ? ::setenv("ASAN_OPTIONS", saved.c_str(), 1) : ::unsetenv("ASAN_OPTIONS");
}

TEST(ScanEvents, AStalledConsumerFindsABoundedQueueEndingInTheResult) {
    ScratchFolder root;
    for (int i = 0; i < 2000; ++i)
        writeFile(root / ("d/f" + std::to_string(i)), 1);
    const auto cancellation = std::make_shared<ScanCancellation>();
    ScanEventStream stream = DiskScanner(1).scan(root.path(), cancellation, true, kNoHome);
    // Nobody reads until the scan is over: its body lets go of the cancellation as it ends,
    // after its last event.
    ASSERT_TRUE(testing::eventually([&] { return cancellation.use_count() == 1; }));
    const std::vector<ScanEvent> events = readAll(std::move(stream));
    EXPECT_LE(events.size(), ScanEventChannel::kCapacity + 1);
    ASSERT_EQ(finishedCount(events), 1);
    ASSERT_TRUE(std::holds_alternative<DiskScanResult>(events.back()));
    const std::vector<ScanProgress> progress = progressOf(events);
    ASSERT_FALSE(progress.empty());
    // The newest progress survives: the last one counts every file.
    EXPECT_EQ(progress.back().filesScanned, 2000);
}

TEST(ScanEvents, NothingIsAcceptedAfterFinish) {
    ScanEventChannel channel;
    EXPECT_TRUE(channel.yield(ScanProgress{.filesScanned = 1}));
    channel.finish();
    EXPECT_FALSE(channel.yield(ScanProgress{.filesScanned = 2}));
    EXPECT_FALSE(channel.yield(DiskScanResult{}));
    std::optional<ScanEvent> first = channel.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(std::get<ScanProgress>(*first).filesScanned, 1);
    EXPECT_FALSE(channel.next());
}

// Whether the thread `tid` of this process is asleep (waiting on something).
bool isAsleep(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t name = line.rfind(')');
    return name != std::string::npos && name + 2 < line.size() && line[name + 2] == 'S';
}

// Progress wakes a waiting reader only now and then; what it was not woken for still reaches
// it, also when the walk yields nothing more for a long while, and a result wakes it at once.
TEST(ScanEvents, ProgressLeftUnannouncedStillReachesAWaitingReader) {
    ScanEventChannel channel;
    std::atomic<int> read = 0;
    std::atomic<int64_t> lastFiles = 0;
    std::atomic<pid_t> readerTid = 0;
    std::thread reader([&] {
        readerTid = ::gettid();
        while (std::optional<ScanEvent> event = channel.next()) {
            if (const auto* progress = std::get_if<ScanProgress>(&*event)) lastFiles = progress->filesScanned;
            ++read;
        }
    });
    const auto waiting = [&](int events) {
        return testing::eventually([&] { return read == events && readerTid != 0 && isAsleep(readerTid); });
    };
    const bool waitedFirst = waiting(0);
    ASSERT_TRUE(channel.yield(ScanProgress{.filesScanned = 1}));
    const bool wokenForFirst = waiting(1);
    // Soon after the first, this one does not wake the sleeping reader; it finds it anyway.
    ASSERT_TRUE(channel.yield(ScanProgress{.filesScanned = 2}));
    const bool reachedUnannounced = waiting(2);
    EXPECT_EQ(lastFiles, 2);
    ASSERT_TRUE(channel.yield(DiskScanResult{}));
    const bool reachedResult = waiting(3);
    channel.finish();
    reader.join();
    EXPECT_TRUE(waitedFirst && wokenForFirst);
    EXPECT_TRUE(reachedUnannounced);
    EXPECT_TRUE(reachedResult);
}

TEST(ScanBudget, PermitsComeBackForASecondWave) {
    ConcurrencyBudget budget(ConcurrencyBudget::unitsFor(1));
    for (int wave = 0; wave < 2; ++wave) {
        std::vector<ConcurrencyBudget::Permit> permits;
        while (std::optional<ConcurrencyBudget::Permit> permit = budget.tryAcquire())
            permits.push_back(std::move(*permit));
        EXPECT_EQ(permits.size(), 8u) << "wave " << wave;
        // A moved-from permit gives nothing back twice.
        ConcurrencyBudget::Permit moved = std::move(permits.back());
        permits.pop_back();
    }
    EXPECT_EQ(budget.remaining(), 8);

    // Walkers asking at once are never given more permits than there are units.
    ConcurrencyBudget few(3);
    std::atomic<int> held{0};
    std::atomic<int> mostHeld{0};
    std::vector<std::thread> walkers;
    for (int t = 0; t < 8; ++t)
        walkers.emplace_back([&] {
            for (int i = 0; i < 20'000; ++i) {
                std::optional<ConcurrencyBudget::Permit> permit = few.tryAcquire();
                if (!permit) continue;
                const int now = held.fetch_add(1) + 1;
                int most = mostHeld.load();
                while (now > most && !mostHeld.compare_exchange_weak(most, now)) {
                }
                held.fetch_sub(1);
            }
        });
    for (std::thread& walker : walkers)
        walker.join();
    EXPECT_LE(mostHeld.load(), 3);
    EXPECT_EQ(few.remaining(), 3);
}

TEST(SmallItemFolding, AChildExactlyAtTheThresholdStays) {
    // 0.2 % of 1,000 is 2: the child of 2 stays, the two of 1 fold.
    const std::vector<int64_t> sizes{996, 2, 1, 1};
    const bool counted[] = {true, true, true, true};
    EXPECT_EQ(childrenToFold(sizes, counted), (std::vector<bool>{false, false, true, true}));
}

TEST(ScanNames, NamesDifferingOnlyInUnicodeFormStayApart) {
    ScratchFolder root;
    const std::string composed = "caf\xC3\xA9";    // é as one code point
    const std::string decomposed = "cafe\xCC\x81"; // e and a combining acute accent
    writeFile(root / ("d/" + composed), 4096);
    writeFile(root / ("d/" + decomposed), 8192);
    writeFile(root / ("d/" + decomposed + "-only"), 4096);
    const DiskScanResult result = *DiskScanner().scanToEnd(root.path(), true, kNoHome);
    const FileNode& tree = result.root;
    const std::optional<FileNode> c = tree.find(root / ("d/" + composed));
    const std::optional<FileNode> n = tree.find(root / ("d/" + decomposed));
    ASSERT_TRUE(c && n);
    EXPECT_EQ(c->name(), composed);
    EXPECT_EQ(n->name(), decomposed);
    // With no exact match, the canonical form still finds it.
    const std::optional<FileNode> only = tree.find(root / ("d/caf\xC3\xA9-only"));
    ASSERT_TRUE(only);
    EXPECT_EQ(only->name(), decomposed + "-only");

    // Removing one removes only that one.
    const std::optional<FileNode> removed = tree.removing(PathSet{root / ("d/" + decomposed)});
    ASSERT_TRUE(removed);
    EXPECT_TRUE(removed->find(root / ("d/" + composed)));
    EXPECT_EQ(removed->fileCount(), 2);

    // Replacing one leaves its twin in place.
    const std::optional<FileNode> folder = tree.find(root / "d");
    ASSERT_TRUE(folder);
    const FileNode replacement =
        FileNode::under(folder->ownFolderPath(), composed, NodeFields{.allocatedSize = 1, .fileCount = 1});
    const std::optional<FileNode> replaced = tree.replacingSubtree(root / "d", replacement);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->fileCount(), 3);
    EXPECT_EQ(replaced->find(root / ("d/" + composed))->allocatedSize(), 1);
    EXPECT_EQ(replaced->find(root / ("d/" + decomposed))->allocatedSize(), n->allocatedSize());
}

TEST(ScanReportText, ControlCharactersInNamesAreEscapedSoEachEntryIsOneLine) {
    EXPECT_EQ(escapedForLine("plain name"), "plain name");
    EXPECT_EQ(escapedForLine("a\nb\tc\x1b[0m\x7f"), "a\\nb\\tc\\x1b[0m\\x7f");
    ScratchFolder root;
    writeFile(root / "two\nlines", 4096);
    std::ostringstream out;
    runScanDebugReport(root.path(), out, true, DiskScanner(1));
    EXPECT_NE(out.str().find("two\\nlines"), std::string::npos);
    EXPECT_EQ(out.str().find("two\nlines"), std::string::npos);
}

} // namespace
} // namespace quillmere
