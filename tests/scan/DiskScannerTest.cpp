#include "ScanTestSupport.hpp"
#include "TreeBuilders.hpp"
#include "base/Format.hpp"
#include "platform/DirectoryEntries.hpp"
#include "scan/ScanReport.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace quillmere {
namespace {

using testing::allocatedBytes;
using testing::childNamed;
using testing::childNames;
using testing::childNameSet;
using testing::expectChildless;
using testing::expectConsistentTree;
using testing::FakeHost;
using testing::finishedCount;
using testing::makeFolder;
using testing::progressOf;
using testing::readAll;
using testing::ScratchFolder;
using testing::writeFile;

const std::string kNoHome = "/nonexistent-home";

DiskScanResult scanned(const DiskScanner& scanner, const std::string& root, bool access = true,
                       const std::string& home = kNoHome) {
    std::optional<DiskScanResult> result = scanner.scanToEnd(root, access, home);
    EXPECT_TRUE(result) << root;
    return result ? std::move(*result) : DiskScanResult{};
}

const DiskScanResult& finishedOf(const std::vector<ScanEvent>& events) {
    static const DiskScanResult none;
    return events.empty() || !std::holds_alternative<DiskScanResult>(events.back())
               ? none
               : std::get<DiskScanResult>(events.back());
}

std::vector<int64_t> filesScannedOf(const std::vector<ScanEvent>& events) {
    std::vector<int64_t> files;
    for (const ScanProgress& progress : progressOf(events))
        files.push_back(progress.filesScanned);
    return files;
}

std::set<std::string> deniedUrls(const DiskScanResult& result) {
    std::set<std::string> urls;
    for (const DeniedPath& denied : result.deniedPaths)
        urls.insert(denied.url);
    return urls;
}

TEST(DiskScannerEvents, OneProgressEventPerLeafWithBatchOfOneThenOneFinished) {
    ScratchFolder root;
    writeFile(root / "top.bin", 8192);
    for (int i = 1; i <= 5; ++i)
        writeFile(root / ("a/f" + std::to_string(i)), 100);
    for (int i = 1; i <= 3; ++i)
        writeFile(root / ("a/b/g" + std::to_string(i)), 100);

    const std::vector<ScanEvent> events = readAll(DiskScanner(1).scan(root.path(), nullptr, true, kNoHome));
    ASSERT_TRUE(!events.empty() && std::holds_alternative<DiskScanResult>(events.back()));
    EXPECT_EQ(finishedCount(events), 1);
    const FileNode& tree = finishedOf(events).root;
    EXPECT_EQ(tree.name(), root.path());
    EXPECT_EQ(tree.path(), root.path());
    EXPECT_EQ(tree.fileCount(), 9);
    EXPECT_EQ(tree.folderCount(), 3);
    expectConsistentTree(tree);

    const std::vector<ScanProgress> progress = progressOf(events);
    ASSERT_EQ(progress.size(), 9u);
    for (size_t i = 0; i < progress.size(); ++i) {
        EXPECT_EQ(progress[i].filesScanned, static_cast<int64_t>(i + 1));
        EXPECT_GE(progress[i].bytesScanned, i > 0 ? progress[i - 1].bytesScanned : 0);
        const std::optional<FileNode> leaf = tree.find(progress[i].currentPath);
        EXPECT_TRUE(leaf && !leaf->isDirectory()) << progress[i].currentPath;
    }
    EXPECT_EQ(progress.back().bytesScanned, tree.allocatedSize());
    const FileNode* a = childNamed(tree, "a");
    ASSERT_NE(a, nullptr);
    const std::map<std::string, int64_t> topLevel{{"top.bin", allocatedBytes(root / "top.bin")},
                                                  {"a", a->allocatedSize()}};
    EXPECT_EQ(progress.back().topLevelTotals, topLevel);
}

TEST(DiskScannerEvents, WalkersReportInBatches) {
    ScratchFolder root;
    makeFolder(root / "many");
    for (int i = 0; i < 450; ++i)
        std::ofstream(root / ("many/f" + std::to_string(i)));

    // One walker sizes all 450: it hands in 200, 200 and a last 50 that closes no batch.
    const std::vector<ScanEvent> events = readAll(DiskScanner(200).scan(root.path(), nullptr, true, kNoHome));
    EXPECT_EQ(filesScannedOf(events), (std::vector<int64_t>{200, 400}));
    EXPECT_EQ(finishedCount(events), 1);
    EXPECT_EQ(finishedOf(events).root.fileCount(), 450);
    EXPECT_EQ(DiskScanner(0).progressBatchSize(), 1);

    // Walkers that never fill a batch still hand in what they counted when they end.
    ScratchFolder single;
    for (int i = 0; i < 10; ++i)
        writeFile(single / ("d" + std::to_string(i) + "/f"), 100);
    const std::vector<ScanEvent> flushed =
        readAll(DiskScanner(2).scan(single.path(), nullptr, true, kNoHome));
    EXPECT_EQ(filesScannedOf(flushed), (std::vector<int64_t>{2, 4, 6, 8, 10}));
    ASSERT_FALSE(progressOf(flushed).empty());
    EXPECT_EQ(progressOf(flushed).back().topLevelTotals.size(), 10u);
}

TEST(DiskScannerRoot, EmptyMissingAndUnexaminableRoots) {
    ScratchFolder root;
    const DiskScanner scanner;
    const std::vector<ScanEvent> events = readAll(scanner.scan(root.path() + "/", nullptr, true, kNoHome));
    ASSERT_EQ(events.size(), 1u);
    const DiskScanResult& empty = finishedOf(events);
    EXPECT_EQ(empty.root.path(), root.path());
    EXPECT_TRUE(empty.root.isDirectory());
    EXPECT_TRUE(empty.root.children().empty());
    EXPECT_EQ(empty.root.folderCount(), 1);
    EXPECT_EQ(empty.root.fileCount(), 0);
    EXPECT_EQ(empty.root.allocatedSize(), 0);
    EXPECT_TRUE(empty.deniedPaths.empty());
    EXPECT_EQ(empty.deniedBytesEstimate, 0);
    EXPECT_GE(empty.elapsedSeconds, 0);

    // A root that cannot be examined ends the stream with no event at all.
    EXPECT_TRUE(readAll(scanner.scan(root / "missing", nullptr, true, kNoHome)).empty());
    EXPECT_FALSE(scanner.scanToEnd(root / "missing", true, kNoHome));
    FakeHost host;
    host.statError[std::string(lastPathComponent(root.path()))] = EACCES;
    EXPECT_TRUE(readAll(DiskScanner(200, host).scan(root.path(), nullptr, true, kNoHome)).empty());
}

// Read `waitingRead` of the names of the folder `folder` waits until an entry whose name starts
// with `prefix` has been examined: by another walker, as the first one is still reading.
struct ReadGate {
    int waitingRead = 2;
    std::mutex lock;
    std::condition_variable examined;
    bool anyExamined = false;
    bool examinedBeforeWaitingRead = false;
    int reads = 0;

    void install(FakeHost& host, const std::string& folder, const std::string& prefix) {
        host.onCall = [this, folder, prefix](std::string_view call, const std::string& name) {
            std::unique_lock guard(lock);
            if (call == "stat" && name.starts_with(prefix)) {
                anyExamined = true;
                examined.notify_all();
            } else if (call == "list" && name == folder && ++reads == waitingRead) {
                // The timeout only keeps an engine that lists first and walks after from hanging.
                examinedBeforeWaitingRead =
                    examined.wait_for(guard, std::chrono::seconds(20), [&] { return anyExamined; });
            }
        };
    }
};

TEST(DiskScannerRoot, TheRootsFirstEntriesAreWalkedWhileTheRestAreStillBeingRead) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "needs a second thread";
    ScratchFolder root;
    // Names that take more than one read, and a folder among them.
    for (int i = 0; i < 3000; ++i)
        writeFile(root / ("entry-with-a-long-name-" + std::to_string(i)), 1);
    writeFile(root / "entry-folder/f", 4096);
    FakeHost host;
    ReadGate gate;
    gate.install(host, std::string(lastPathComponent(root.path())), "entry-");
    const DiskScanResult result = scanned(DiskScanner(200, host), root.path());

    EXPECT_GE(gate.reads, 2);
    EXPECT_TRUE(gate.examinedBeforeWaitingRead);
    expectConsistentTree(result.root);
    EXPECT_EQ(result.root.fileCount(), 3001);
    EXPECT_EQ(result.root.folderCount(), 2);
    EXPECT_EQ(result.root.allocatedSize(), 3000 * allocatedBytes(root / "entry-with-a-long-name-0") +
                                               allocatedBytes(root / "entry-folder/f"));
    EXPECT_TRUE(result.deniedPaths.empty());
}

TEST(DiskScannerRoot, SkipNamesApplyOnlyAtTheRoot) {
    ScratchFolder root;
    for (const char* path :
         {".vol/f", ".nofollow", ".resolve/f", "keep", "d/.vol/f", "d/.nofollow/f", "d/.resolve"})
        writeFile(root / path, 4096);
    const DiskScanResult result = scanned(DiskScanner(), root.path());
    EXPECT_EQ(childNameSet(result.root), (std::set<std::string>{"d", "keep"}));
    const FileNode* d = childNamed(result.root, "d");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(childNameSet(*d), (std::set<std::string>{".vol", ".nofollow", ".resolve"}));
    EXPECT_EQ(result.root.fileCount(), 4);
}

// Only the folders that must not be entered hold files, so every counted byte is a fault.
void expectViewsNotEntered(const std::string& given, const std::string& real) {
    for (const char* path : {"mnt/x", "a/mnt2/y", "a/bind/z", "bindtop/w", "System/Volumes/Data/v"})
        writeFile(real + "/" + path, 4096);
    FakeHost host;
    host.onOtherDevice = {"mnt", "mnt2"};
    host.mountTable = std::vector<platform::MountEntry>{
        testing::mountOf(real + "/a/bind", "/a/bind"), testing::mountOf(real + "/bindtop", "/a"),
        testing::mountOf("/elsewhere/bind"), testing::mountOf(real)};
    const DiskScanResult result = scanned(DiskScanner(200, host), given);
    const FileNode& tree = result.root;
    EXPECT_EQ(tree.fileCount(), 0);
    EXPECT_EQ(tree.allocatedSize(), 0);
    EXPECT_EQ(tree.folderCount(), 9);
    const FileNode* a = childNamed(tree, "a");
    ASSERT_NE(a, nullptr);
    expectChildless(childNamed(tree, "mnt"), "mnt");
    expectChildless(childNamed(*a, "mnt2"), "a/mnt2");
    expectChildless(childNamed(*a, "bind"), "a/bind");
    expectChildless(childNamed(tree, "bindtop"), "bindtop");
    const std::optional<FileNode> data = tree.find(tree.path() + "/System/Volumes/Data");
    ASSERT_TRUE(data);
    expectChildless(&*data, "System/Volumes/Data");
    const std::multiset<std::string> opened = host.openedFolders();
    EXPECT_EQ(opened.count("mnt") + opened.count("mnt2") + opened.count("Data"), 0u);
}

TEST(DiskScannerRoot, OtherDevicesAndDuplicateViewsStayChildless) {
    ScratchFolder root;
    expectViewsNotEntered(root.path(), root.path());
}

// A mount of the root's own device shows the scanned tree again only when the folder it
// mounts lies inside that tree; a bind of a folder from elsewhere is walked, as du -x counts it.
TEST(DiskScannerRoot, OnlyBindsOfFoldersInsideTheTreeAreDuplicateViews) {
    ScratchFolder root;
    writeFile(root / "inside/f", 4096);
    writeFile(root / "fromInside/f", 4096);
    writeFile(root / "fromElsewhere/g", 4096);
    FakeHost host;
    // The scanned folder is /data of its file system.
    host.mountTable = std::vector<platform::MountEntry>{
        testing::mountOf(root.path(), "/data"), testing::mountOf(root / "fromInside", "/data/inside"),
        testing::mountOf(root / "fromElsewhere", "/datastore/x")};
    const DiskScanResult result = scanned(DiskScanner(200, host), root.path());
    expectChildless(childNamed(result.root, "fromInside"), "fromInside");
    const FileNode* elsewhere = childNamed(result.root, "fromElsewhere");
    ASSERT_NE(elsewhere, nullptr);
    EXPECT_EQ(elsewhere->fileCount(), 1);
    EXPECT_EQ(result.root.fileCount(), 2);
}

// Another file system's mount point is known from the mount table alone and never examined,
// opened or listed: a file system that stopped answering would hold the walk there for ever.
// A mount over a file is a file, sized as one.
TEST(DiskScannerRoot, OtherFileSystemsMountPointsAreRecordedWithoutBeingTouched) {
    ScratchFolder root;
    writeFile(root / "keep/f", 4096);
    // What lies in a mount-point folder is hidden by the mount: counting it is a fault.
    writeFile(root / "top/hidden", 4096);
    writeFile(root / "keep/deep/hidden", 4096);
    writeFile(root / "keep/sameDisk/g", 4096);
    writeFile(root / "hosts", 100);
    const auto mount = [](const std::string& at, unsigned minor) {
        return platform::MountEntry{.major = 0,
                                    .minor = minor,
                                    .root = "/",
                                    .mountPoint = at,
                                    .fileSystemType = "fuse.x",
                                    .source = "x"};
    };
    FakeHost host;
    host.mountTable = std::vector<platform::MountEntry>{
        mount(root.path(), 7), mount(root / "top", 8), mount(root / "keep/deep", 9),
        mount(root / "hosts", 10), mount(root / "elsewhere/never", 11)};
    std::mutex touchedLock;
    std::vector<std::string> touched;
    host.onCall = [&](std::string_view call, const std::string& name) {
        std::lock_guard guard(touchedLock);
        if (name == "top" || name == "deep" || name == "hosts")
            touched.push_back(std::string(call) + " " + name);
    };
    const DiskScanResult result = scanned(DiskScanner(200, host), root.path());
    EXPECT_EQ(touched, std::vector<std::string>{"stat hosts"});
    expectChildless(childNamed(result.root, "top"), "top");
    const FileNode* keep = childNamed(result.root, "keep");
    ASSERT_NE(keep, nullptr);
    expectChildless(childNamed(*keep, "deep"), "keep/deep");
    EXPECT_FALSE(childNamed(*keep, "deep")->modificationDate()) << "nothing was read of it";
    ASSERT_NE(childNamed(result.root, "hosts"), nullptr);
    EXPECT_FALSE(childNamed(result.root, "hosts")->isDirectory());
    EXPECT_EQ(result.root.fileCount(), 3);
    EXPECT_EQ(result.root.allocatedSize(), allocatedBytes(root / "keep/f") +
                                               allocatedBytes(root / "keep/sameDisk/g") +
                                               allocatedBytes(root / "hosts"));
    EXPECT_TRUE(result.deniedPaths.empty());
}

TEST(DiskScannerRoot, DuplicateViewsAreFoundWhateverTheSpellingOfTheRoot) {
    ScratchFolder scratch;
    const std::string real = scratch / "real";
    makeFolder(real);
    std::filesystem::create_directory_symlink(real, scratch / "link");
    // The mount table names real paths; the root may be named otherwise.
    for (const std::string& given : {real + "/.", real + "//", scratch / "link"}) {
        SCOPED_TRACE(given);
        expectViewsNotEntered(given, real);
    }
}

TEST(DiskScannerPrivacy, ProtectedFoldersAreDeniedWithoutAccessAndWalkedWithIt) {
    ScratchFolder root;
    const std::string home = root / "home";
    const std::string documents = home + "/Documents";
    writeFile(documents + "/secret", 4096);
    writeFile(home + "/notes/Documents/inner", 4096);
    writeFile(root / "Lib.PhotosLibrary/photo", 4096);
    const DiskScanner scanner;

    const DiskScanResult without = scanned(scanner, root.path(), false, home);
    EXPECT_EQ(deniedUrls(without), (std::set<std::string>{documents, root / "Lib.PhotosLibrary"}));
    for (const DeniedPath& denied : without.deniedPaths) {
        EXPECT_EQ(denied.parent, deletingLastPathComponent(denied.url));
        EXPECT_EQ(denied.estimatedBytes, allocatedBytes(denied.url)) << denied.url;
    }
    EXPECT_EQ(without.deniedBytesEstimate,
              allocatedBytes(documents) + allocatedBytes(root / "Lib.PhotosLibrary"));
    EXPECT_EQ(without.root.fileCount(), 1);
    EXPECT_EQ(childNameSet(without.root), std::set<std::string>{"home"});
    ASSERT_NE(childNamed(without.root, "home"), nullptr);
    EXPECT_EQ(childNameSet(*childNamed(without.root, "home")), std::set<std::string>{"notes"});

    const DiskScanResult with = scanned(scanner, root.path(), true, home);
    EXPECT_TRUE(with.deniedPaths.empty());
    EXPECT_EQ(with.root.fileCount(), 3);
    EXPECT_TRUE(with.root.find(documents + "/secret"));

    // The same folder met as an entry of the scanned root, and as the root itself.
    const DiskScanResult fromHome = scanned(scanner, home, false, home);
    EXPECT_EQ(deniedUrls(fromHome), std::set<std::string>{documents});
    EXPECT_EQ(fromHome.root.fileCount(), 1);
    const std::vector<ScanEvent> events = readAll(scanner.scan(documents, nullptr, false, home));
    ASSERT_EQ(events.size(), 1u);
    const DiskScanResult& protectedRoot = finishedOf(events);
    EXPECT_TRUE(protectedRoot.root.children().empty());
    EXPECT_EQ(protectedRoot.root.folderCount(), 1);
    EXPECT_EQ(protectedRoot.deniedPaths,
              (std::vector<DeniedPath>{{documents, home, allocatedBytes(documents)}}));
    EXPECT_EQ(protectedRoot.deniedBytesEstimate, allocatedBytes(documents));
}

TEST(DiskScannerFailures, RefusedItemsAreDeniedVanishedOnesSkippedAndTheWalkGoesOn) {
    ScratchFolder root;
    for (const char* path : {"a/f1", "a/f2", "a/secret", "a/gone", "a/locked/x", "a/unlistable/y",
                             "a/later/z", "topLocked/w", "topSecret", "topGone"})
        writeFile(root / path, 4096);
    FakeHost host;
    host.openError = {{"locked", EACCES}, {"topLocked", EACCES}};
    host.statError = {{"secret", EACCES}, {"topSecret", EPERM}, {"gone", ENOENT}, {"topGone", ENOENT}};
    host.listError = {{"unlistable", EIO}};
    const DiskScanResult result = scanned(DiskScanner(200, host), root.path());

    EXPECT_EQ(deniedUrls(result),
              (std::set<std::string>{root / "a/secret", root / "a/locked", root / "a/unlistable",
                                     root / "topLocked", root / "topSecret"}));
    std::map<std::string, int64_t> estimates;
    for (const DeniedPath& denied : result.deniedPaths) {
        EXPECT_EQ(denied.parent, deletingLastPathComponent(denied.url));
        estimates[denied.url] = denied.estimatedBytes;
    }
    // A refused folder was examined before it was refused, so its own size is known.
    for (const std::string& folder : {root / "a/locked", root / "a/unlistable", root / "topLocked"})
        EXPECT_EQ(estimates[folder], allocatedBytes(folder)) << folder;
    int64_t sum = 0;
    for (const auto& [url, bytes] : estimates)
        sum += bytes;
    EXPECT_EQ(result.deniedBytesEstimate, sum);
    // Only f1, f2 and later/z were readable; a refused folder holds nothing.
    EXPECT_EQ(result.root.fileCount(), 3);
    EXPECT_EQ(result.root.allocatedSize(), 3 * allocatedBytes(root / "a/f1"));
    expectConsistentTree(result.root);
}

TEST(DiskScannerFolders, TheWalkedFoldersOwnBlocksAreCountedApartFromTheTree) {
    ScratchFolder root;
    for (const char* path : {"a/f", "a/b/g", "c/h", "locked/x", "unlistable/y", "other/z"})
        writeFile(root / path, 4096);
    for (int i = 0; i < 20; ++i)
        writeFile(root / ("many/s" + std::to_string(i) + "/f"), 0);
    FakeHost host;
    host.processors = 1; // 8 child walks; the other subfolders of "many" are walked inline
    host.blocks = {{"a", 8},           {"b", 16},      {"c", 24},  {"locked", 32},
                   {"unlistable", 64}, {"other", 128}, {"many", 2}};
    for (int i = 0; i < 20; ++i)
        host.blocks["s" + std::to_string(i)] = 1;
    host.openError = {{"locked", EACCES}};
    host.listError = {{"unlistable", EACCES}};
    host.onOtherDevice = {"other"};
    const DiskScanResult result = scanned(DiskScanner(200, host), root.path());

    // Refused folders are estimates instead, whether refused at opening or at listing; another
    // device's folder is not this volume's.
    EXPECT_EQ(result.folderBytes, allocatedBytes(root.path()) + (8 + 16 + 24 + 2 + 20) * 512);
    EXPECT_EQ(deniedUrls(result), (std::set<std::string>{root / "locked", root / "unlistable"}));
    EXPECT_EQ(result.deniedBytesEstimate, (32 + 64) * 512);
    // A folder's size in the tree stays the sum of what lies inside it.
    EXPECT_EQ(result.root.allocatedSize(), 3 * allocatedBytes(root / "a/f"));
    EXPECT_EQ(childNamed(result.root, "a")->allocatedSize(), 2 * allocatedBytes(root / "a/f"));
    EXPECT_EQ(accountedBytes(result), result.root.allocatedSize() + result.folderBytes);
    EXPECT_TRUE(result.isComplete);
    expectConsistentTree(result.root);
}

TEST(DiskScannerLeaves, SymbolicLinksAreLeavesAndHardLinksCountOnce) {
    ScratchFolder root;
    for (int i = 1; i <= 3; ++i)
        writeFile(root / ("target/t" + std::to_string(i)), 8192);
    writeFile(root / "a/h1", 65536);
    writeFile(root / "a/own", 8192);
    writeFile(root / "b/own", 8192);
    std::filesystem::create_hard_link(root / "a/h1", root / "b/h2");
    std::filesystem::create_directory_symlink("../target", root / "a/link");
    std::filesystem::create_directory_symlink(root / "target", root / "toplink");
    writeFile(root / "p1", 32768); // a pair among the root's own entries
    std::filesystem::create_hard_link(root / "p1", root / "p2");

    const std::vector<ScanEvent> events = readAll(DiskScanner(1).scan(root.path(), nullptr, true, kNoHome));
    ASSERT_EQ(finishedCount(events), 1);
    const FileNode& tree = finishedOf(events).root;
    for (const std::string& path : {root / "a/link", root / "toplink"}) {
        const std::optional<FileNode> link = tree.find(path);
        ASSERT_TRUE(link) << path;
        EXPECT_TRUE(link->isSymbolicLink());
        EXPECT_FALSE(link->isDirectory());
        EXPECT_TRUE(link->children().empty());
        EXPECT_EQ(link->fileCount(), 1);
        EXPECT_FALSE(link->isSharedElsewhere());
        EXPECT_EQ(link->allocatedSize(), allocatedBytes(path));
    }
    const std::optional<FileNode> h1 = tree.find(root / "a/h1");
    const std::optional<FileNode> h2 = tree.find(root / "b/h2");
    ASSERT_TRUE(h1 && h2);
    const int64_t linked = allocatedBytes(root / "a/h1");
    EXPECT_NE(h1->isSharedElsewhere(), h2->isSharedElsewhere());
    EXPECT_EQ(h1->allocatedSize(), linked);
    EXPECT_EQ(h2->allocatedSize(), linked);
    const int64_t pair = allocatedBytes(root / "p1");
    EXPECT_EQ(tree.fileCount(), 11);
    EXPECT_EQ(tree.sharedBytesTotal(), linked + pair);
    EXPECT_EQ(tree.allocatedSize(), 3 * allocatedBytes(root / "target/t1") + linked + pair +
                                        2 * allocatedBytes(root / "a/own") + allocatedBytes(root / "a/link") +
                                        allocatedBytes(root / "toplink"));
    // Bytes counted elsewhere never reach the progress totals either.
    ASSERT_FALSE(progressOf(events).empty());
    EXPECT_EQ(progressOf(events).back().bytesScanned, tree.allocatedSize());
    EXPECT_EQ(progressOf(events).back().filesScanned, 11);
    expectConsistentTree(tree);
}

TEST(DiskScannerSharing, SharedExtentsCountOnceFromFourMebibytesOn) {
    constexpr int64_t kMiB = 1024 * 1024;
    ScratchFolder root;
    const std::string folder = root / "clones";
    for (const char* name : {"below", "at", "twinA", "twinB", "other", "partA", "partB", "hard1"})
        writeFile(folder + "/" + name, 0);
    std::filesystem::create_hard_link(folder + "/hard1", folder + "/hard2");
    FakeHost host;
    // 8192 blocks are 4 MiB, 16384 are 8 MiB.
    host.blocks = {{"below", 8191},  {"at", 8192},     {"twinA", 16384}, {"twinB", 16384}, {"other", 16384},
                   {"partA", 16384}, {"partB", 16384}, {"hard1", 16384}, {"hard2", 16384}};
    const platform::SharedExtent whole{777 * kMiB, 8 * kMiB};
    const platform::SharedExtent firstHalf{100 * kMiB, 4 * kMiB};
    const platform::SharedExtent secondHalf{200 * kMiB, 4 * kMiB};
    host.extents = {{"at", {{4242 * kMiB, 4 * kMiB}}},
                    {"twinA", {whole}},
                    {"twinB", {whole}},
                    // The same offset with another length is another extent.
                    {"other", {{777 * kMiB, 4 * kMiB}}},
                    // A clone whose second half was rewritten shares only its first half.
                    {"partA", {firstHalf, secondHalf}},
                    {"partB", {firstHalf}},
                    {"hard1", {{555 * kMiB, 8 * kMiB}}},
                    {"hard2", {{555 * kMiB, 8 * kMiB}}}};
    const DiskScanResult result = scanned(DiskScanner(200, host), root.path());

    std::vector<std::string> order;
    std::map<std::string, int64_t> probedBytes;
    for (const FakeHost::Probe& probe : host.probes()) {
        order.push_back(probe.name);
        probedBytes[probe.name] = probe.bytes;
    }
    // Below 4 MiB nothing is probed; a hard link already counted is not probed again.
    EXPECT_FALSE(probedBytes.contains("below"));
    EXPECT_EQ(probedBytes["at"], 4 * kMiB);
    EXPECT_EQ(probedBytes.count("hard1") + probedBytes.count("hard2"), 1u);
    EXPECT_EQ(order.size(), 7u);

    const FileNode* clones = childNamed(result.root, "clones");
    ASSERT_NE(clones, nullptr);
    const auto node = [&](const char* name) {
        const FileNode* found = childNamed(*clones, name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    };
    const auto firstProbed = [&](const char* a, const char* b) {
        return std::find(order.begin(), order.end(), a) < std::find(order.begin(), order.end(), b);
    };
    // Wholly shared: whichever was probed second is the copy.
    const bool twinAFirst = firstProbed("twinA", "twinB");
    EXPECT_EQ(node("twinA")->isSharedElsewhere(), !twinAFirst);
    EXPECT_EQ(node("twinB")->isSharedElsewhere(), twinAFirst);
    EXPECT_NE(node("hard1")->isSharedElsewhere(), node("hard2")->isSharedElsewhere());
    for (const char* name : {"below", "at", "other", "partA", "partB"})
        EXPECT_FALSE(node(name)->isSharedElsewhere()) << name;
    // Partly shared: the later one keeps the bytes only it has.
    const bool partAFirst = firstProbed("partA", "partB");
    EXPECT_EQ(node("partA")->allocatedSize(), partAFirst ? 8 * kMiB : 4 * kMiB);
    EXPECT_EQ(node("partB")->allocatedSize(), partAFirst ? 4 * kMiB : 8 * kMiB);
    EXPECT_EQ(result.root.fileCount(), 9);
    // below + at + one twin + other + 12 MiB of the partial clones + one hard link.
    EXPECT_EQ(clones->allocatedSize(), 8191 * 512 + 4 * kMiB + 8 * kMiB + 8 * kMiB + 12 * kMiB + 8 * kMiB);
}

TEST(DiskScannerSharing, NeverDownloadedCloudItemsAreCountedButNotWeighed) {
    using Status = platform::CloudItemStatus;
    using Downloading = Status::Downloading;
    ScratchFolder root;
    const std::string home = root / "home";
    const std::string mobile = home + "/Library/Mobile Documents/c";
    for (const char* name :
         {"ondisk", "offline", "fetching", "plain", "nostatus", "unreadable", "placeholder"})
        writeFile(mobile + "/" + name, 4096);
    std::filesystem::create_symlink("ondisk", mobile + "/link");
    writeFile(home + "/Library/CloudStorage/p/remote", 4096);
    writeFile(root / "ghost/empty-placeholder", 0);
    writeFile(root / "out/empty-plain", 0);
    writeFile(root / "out/sized", 65536); // large enough that "ghost" alone is small at the root

    const Status offline{true, Downloading::notDownloaded, false};
    FakeHost host;
    host.cloud = {{"ondisk", Status{true, Downloading::current, false}},
                  {"offline", offline},
                  {"fetching", Status{true, Downloading::downloaded, true}},
                  {"nostatus", Status{true, Downloading::absent, false}},
                  {"unreadable", std::nullopt},
                  {"placeholder", Status{}},
                  {"link", offline},
                  {"remote", offline},
                  {"empty-placeholder", offline},
                  {"empty-plain", offline},
                  {"sized", offline}};
    host.blocks = {{"placeholder", 8192}};
    host.extents = {{"placeholder", {{1234, 4096}}}};
    for (const std::string& path :
         {mobile + "/placeholder", root / "ghost/empty-placeholder", root / "out/sized"})
        host.datalessInodes.insert(testing::lstatOf(path).st_ino);

    const std::vector<ScanEvent> events =
        readAll(DiskScanner(1, host).scan(root.path(), nullptr, true, home));
    const FileNode& tree = finishedOf(events).root;
    std::set<std::string> cloudOnly;
    std::vector<const FileNode*> pending{&tree};
    while (!pending.empty()) {
        const FileNode* node = pending.back();
        pending.pop_back();
        if (node->isCloudOnly()) cloudOnly.emplace(node->name());
        for (const FileNode& child : node->children())
            pending.push_back(&child);
    }
    EXPECT_EQ(cloudOnly,
              (std::set<std::string>{"offline", "fetching", "nostatus", "remote", "empty-placeholder"}));
    EXPECT_EQ(tree.cloudOnlyCount(), 5);
    EXPECT_EQ(tree.fileCount(), 12);

    // Asked: every regular file under the cloud folders, and an empty dataless file elsewhere.
    std::set<std::string> asked;
    for (const std::string& path : host.cloudQueries())
        asked.emplace(lastPathComponent(path));
    EXPECT_EQ(asked, (std::set<std::string>{"ondisk", "offline", "fetching", "plain", "nostatus",
                                            "unreadable", "placeholder", "remote", "empty-placeholder"}));
    // A dataless placeholder is never probed for clones.
    EXPECT_TRUE(host.probes().empty());
    EXPECT_EQ(tree.allocatedSize(), 3 * allocatedBytes(mobile + "/ondisk") +
                                        allocatedBytes(root / "out/sized") + 8192 * 512 +
                                        allocatedBytes(mobile + "/link"));

    const std::vector<ScanProgress> progress = progressOf(events);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().filesScanned, 12);
    EXPECT_EQ(progress.back().bytesScanned, tree.allocatedSize());
    EXPECT_EQ(progress.back().topLevelTotals.count("ghost"), 1u);
    EXPECT_EQ(progress.back().topLevelTotals.at("ghost"), 0);
}

// Holds every child walk's listing until the walker that started it has been through its
// whole folder, so only the budget decides which subfolders go to child walks.
class GatedHost : public FakeHost {
public:
    std::vector<std::string> parentListing() const {
        std::lock_guard guard(gate_);
        return listing_;
    }

    platform::Fd openDirectoryAt(int directoryFd, const char* name) override {
        platform::Fd fd = FakeHost::openDirectoryAt(directoryFd, name);
        std::lock_guard guard(gate_);
        if (fd && std::strcmp(name, "big") == 0) {
            parentFd_ = fd.get();
            parentThread_ = std::this_thread::get_id();
        } else if (fd && directoryFd == parentFd_)
            openedBy_[fd.get()] = std::this_thread::get_id();
        return fd;
    }
    int statAt(int directoryFd, const char* name, struct stat* info) override {
        const int result = FakeHost::statAt(directoryFd, name, info);
        {
            std::lock_guard guard(gate_);
            // The walker of "big" has been through its folder once it examined every entry and
            // went into the last one.
            if (directoryFd == parentFd_)
                ++parentStats_;
            else if (!listing_.empty() && parentStats_ == listing_.size() &&
                     std::this_thread::get_id() == parentThread_)
                parentFinished_ = true;
        }
        parentDone_.notify_all();
        return result;
    }
    long readEntries(int fd, void* buffer, size_t size) override {
        std::unique_lock guard(gate_);
        const auto opener = openedBy_.find(fd);
        if (opener != openedBy_.end() && opener->second != std::this_thread::get_id()) {
            // The timeout only keeps a faulty engine from hanging the test.
            parentDone_.wait_for(guard, std::chrono::seconds(20), [&] { return parentFinished_; });
        }
        const bool isParent = fd == parentFd_;
        guard.unlock();
        const long read = FakeHost::readEntries(fd, buffer, size);
        guard.lock();
        if (isParent && read > 0)
            platform::forEachDirectoryEntry(static_cast<const char*>(buffer), static_cast<size_t>(read),
                                            [&](std::string_view entry) { listing_.emplace_back(entry); });
        return read;
    }

private:
    mutable std::mutex gate_;
    std::condition_variable parentDone_;
    int parentFd_ = -2;
    size_t parentStats_ = 0;
    std::thread::id parentThread_;
    bool parentFinished_ = false;
    std::map<int, std::thread::id> openedBy_;
    std::vector<std::string> listing_;
};

TEST(DiskScannerBudget, FirstSubfoldersGoToChildWalksAndTheRestAreWalkedInline) {
    ScratchFolder root;
    for (int i = 0; i < 100; ++i)
        writeFile(root / ("big/s" + std::to_string(i) + "/f"), 0);
    GatedHost host;
    host.processors = 1; // a budget of max(4 × 1, 8) = 8 child walks
    const DiskScanResult result = scanned(DiskScanner(200, host), root.path());

    const std::vector<std::string> listing = host.parentListing();
    ASSERT_EQ(listing.size(), 100u);
    // Inline subfolders come first in listing order, then child walks in the order they started.
    std::vector<std::string> expected(listing.begin() + 8, listing.end());
    expected.insert(expected.end(), listing.begin(), listing.begin() + 8);
    const FileNode* big = childNamed(result.root, "big");
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(childNames(*big), expected);
    EXPECT_EQ(result.root.folderCount(), 102);
    EXPECT_EQ(result.root.fileCount(), 100);
}

// Records which thread opened each folder.
class ThreadRecordingHost : public FakeHost {
public:
    platform::Fd openDirectoryAt(int directoryFd, const char* name) override {
        {
            std::lock_guard guard(lock_);
            openers_.insert(std::this_thread::get_id());
        }
        return FakeHost::openDirectoryAt(directoryFd, name);
    }
    size_t openingThreads() const {
        std::lock_guard guard(lock_);
        return openers_.size();
    }

private:
    mutable std::mutex lock_;
    std::set<std::thread::id> openers_;
};

TEST(DiskScannerBudget, AWalkerNeverHandsAwayTheLastThingItHasToDo) {
    // In a chain each folder is all its walker has left: handing it to another thread would
    // only trade one walker for another, level by level, so one walker walks it all.
    ScratchFolder root;
    std::string level = root.path();
    for (int i = 0; i < 200; ++i)
        level += "/d";
    writeFile(level + "/f", 4096);
    ThreadRecordingHost host;
    host.processors = 8;
    const DiskScanResult result = scanned(DiskScanner(200, host), root.path());
    EXPECT_EQ(result.root.folderCount(), 201);
    EXPECT_EQ(host.openingThreads(), 1u);
}

// A folder of 3,102 entries ("e-…"): 3,000 small files that fold, 40 large files and 60
// subfolders that stay, a refused subfolder and a hard link to a file outside it.
struct WideFolder {
    static constexpr int kSmall = 3000, kLarge = 40, kSubfolders = 60;
    int64_t allocated = 0; // what the scan must count under the root, the linked file once

    explicit WideFolder(const ScratchFolder& root) {
        for (int i = 0; i < kSmall; ++i)
            writeFile(root / ("wide/e-small-" + std::to_string(i)), 1);
        for (int i = 0; i < kLarge; ++i)
            writeFile(root / ("wide/e-large-" + std::to_string(i)), 64 * 1024);
        for (int i = 0; i < kSubfolders; ++i) {
            writeFile(root / ("wide/e-sub-" + std::to_string(i) + "/f"), 64 * 1024);
            writeFile(root / ("wide/e-sub-" + std::to_string(i) + "/inner/g"), 1);
        }
        makeFolder(root / "wide/e-denied");
        writeFile(root / "other/target", 8192);
        EXPECT_EQ(::link((root / "other/target").c_str(), (root / "wide/e-link").c_str()), 0);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root.path()))
            if (entry.is_regular_file() && entry.path().filename() != "e-link")
                allocated += allocatedBytes(entry.path());
    }

    static int64_t files() { return kSmall + kLarge + 2 * kSubfolders + 1; }
};

// Once a walker has shared out entries of the wide folder (its own descriptor of the folder is
// opened as "."), each examination of one of them waits until a second thread has examined
// one, so the share is walked apart however loaded the machine; `onSecondThread` runs on every
// examination made by a thread other than the first.
struct ShareGate {
    std::mutex lock;
    std::condition_variable seen;
    std::set<std::thread::id> threads;
    std::optional<std::thread::id> first;
    int shares = 0;
    std::function<void()> onSecondThread;

    void install(FakeHost& host) {
        host.onCall = [this](std::string_view call, const std::string& name) {
            if (call == "open" && name == ".") {
                std::lock_guard guard(lock);
                ++shares;
                return;
            }
            if (call != "stat" || !name.starts_with("e-")) return;
            std::unique_lock guard(lock);
            const std::thread::id self = std::this_thread::get_id();
            if (!first) first = self;
            threads.insert(self);
            seen.notify_all();
            // The timeout only keeps an engine that never shares from hanging the test.
            if (shares > 0)
                seen.wait_for(guard, std::chrono::seconds(20), [&] { return threads.size() >= 2; });
            if (self != *first && onSecondThread) {
                guard.unlock();
                onSecondThread();
            }
        };
    }
};

TEST(DiskScannerShares, AWideFolderIsWalkedByMoreThanOneThreadAndComesOutWhole) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "needs a second thread";
    ScratchFolder root;
    const WideFolder wide(root);
    FakeHost host;
    host.openError["e-denied"] = EACCES;
    ShareGate gate;
    gate.install(host);
    const DiskScanResult result = scanned(DiskScanner(200, host), root.path());

    EXPECT_GE(gate.shares, 1);
    EXPECT_GE(gate.threads.size(), 2u);
    expectConsistentTree(result.root);
    EXPECT_EQ(result.root.fileCount(), WideFolder::files() + 1);
    EXPECT_EQ(result.root.allocatedSize(), wide.allocated);
    EXPECT_EQ(deniedUrls(result), std::set<std::string>{root / "wide/e-denied"});
    const FileNode* folder = childNamed(result.root, "wide");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->fileCount(), WideFolder::files());
    EXPECT_EQ(folder->folderCount(), 1 + 2 * WideFolder::kSubfolders + 1);
    // Every entry is there once: the large ones by name, the small ones in the aggregate.
    std::multiset<std::string> names;
    int64_t folded = 0;
    for (const FileNode& child : folder->children()) {
        names.insert(std::string(child.name()));
        if (child.isAggregate()) folded += child.fileCount();
    }
    EXPECT_EQ(folded, WideFolder::kSmall);
    for (int i = 0; i < WideFolder::kLarge; ++i)
        EXPECT_EQ(names.count("e-large-" + std::to_string(i)), 1u) << i;
    for (int i = 0; i < WideFolder::kSubfolders; ++i) {
        const FileNode* sub = childNamed(*folder, "e-sub-" + std::to_string(i));
        ASSERT_NE(sub, nullptr) << i;
        EXPECT_EQ(names.count("e-sub-" + std::to_string(i)), 1u) << i;
        EXPECT_EQ(sub->fileCount(), 2);
        EXPECT_EQ(sub->path(), root / ("wide/e-sub-" + std::to_string(i)));
    }
    EXPECT_EQ(names.count("e-denied"), 1u);
    EXPECT_EQ(names.count("e-link"), 1u);
    const FileNode* large = childNamed(*folder, "e-large-7");
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(large->path(), root / "wide/e-large-7");
}

TEST(DiskScannerShares, AFolderIsSharedOutWhileItsListingIsStillBeingRead) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "needs a second thread";
    ScratchFolder root;
    // Names that take about fifteen reads, so that a share is handed out after the seventh, with
    // a subfolder among them.
    constexpr int kFiles = 10'000;
    for (int i = 0; i < kFiles; ++i)
        writeFile(root / ("wide/entry-with-a-long-name-" + std::to_string(i)), 0);
    writeFile(root / "wide/entry-folder/f", 4096);
    FakeHost host;
    ReadGate gate{.waitingRead = 10};
    gate.install(host, "wide", "entry-");
    const DiskScanResult result = scanned(DiskScanner(200, host), root.path());

    EXPECT_GE(gate.reads, 10);
    EXPECT_TRUE(gate.examinedBeforeWaitingRead);
    expectConsistentTree(result.root);
    const FileNode* folder = childNamed(result.root, "wide");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->fileCount(), kFiles + 1);
    EXPECT_EQ(folder->folderCount(), 2);
    EXPECT_EQ(folder->allocatedSize(), allocatedBytes(root / "wide/entry-folder/f"));
    EXPECT_TRUE(result.deniedPaths.empty());
}

TEST(DiskScannerShares, AShareThatFailsLeavesItsFolderDeniedWithEverythingElseKept) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "needs a second thread";
    ScratchFolder root;
    const WideFolder wide(root);
    FakeHost host;
    ShareGate gate;
    std::atomic<bool> thrown{false};
    gate.onSecondThread = [&] {
        if (!thrown.exchange(true)) throw std::runtime_error("injected");
    };
    gate.install(host);
    const DiskScanResult result = scanned(DiskScanner(200, host), root.path());

    ASSERT_TRUE(thrown);
    expectConsistentTree(result.root);
    EXPECT_TRUE(deniedUrls(result).contains(root / "wide"));
    const FileNode* folder = childNamed(result.root, "wide");
    ASSERT_NE(folder, nullptr);
    // What the shares walked before and besides the failure is kept; the rest of the tree is whole.
    EXPECT_GT(folder->fileCount(), 0);
    EXPECT_LT(folder->fileCount(), WideFolder::files());
    EXPECT_EQ(result.root.fileCount() - folder->fileCount(), 1);
}

TEST(DiskScannerCancellation, StoppedScanStillEndsWithOneConsistentResult) {
    ScratchFolder root;
    for (int top = 0; top < 6; ++top)
        for (int sub = 0; sub < 5; ++sub)
            for (int file = 0; file < 20; ++file)
                writeFile(root / ("t" + std::to_string(top) + "/s" + std::to_string(sub) + "/f" +
                                  std::to_string(file)),
                          4096 * (file % 4 + 1));
    FakeHost host;
    host.processors = 1;
    auto cancellation = std::make_shared<ScanCancellation>();
    std::atomic<int> before{0}, after{0};
    host.onStat = [&](const std::string&) {
        if (cancellation->isCancelled())
            ++after;
        else if (++before == 150)
            cancellation->cancel();
    };
    const std::vector<ScanEvent> events =
        readAll(DiskScanner(10, host).scan(root.path(), cancellation, true, kNoHome));
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(finishedCount(events), 1);
    ASSERT_TRUE(std::holds_alternative<DiskScanResult>(events.back()));
    const FileNode& tree = finishedOf(events).root;
    EXPECT_LT(tree.fileCount(), 600);
    EXPECT_FALSE(finishedOf(events).isComplete);
    expectConsistentTree(tree);
    for (const ScanProgress& progress : progressOf(events)) {
        EXPECT_LE(progress.filesScanned, tree.fileCount());
        EXPECT_LE(progress.bytesScanned, tree.allocatedSize());
    }
    // Each walker finishes at most the entry it held: 6 root entries and 8 child walks.
    EXPECT_LE(after.load(), 14);

    auto early = std::make_shared<ScanCancellation>();
    early->cancel();
    const std::vector<ScanEvent> stopped = readAll(DiskScanner().scan(root.path(), early, true, kNoHome));
    ASSERT_EQ(stopped.size(), 1u);
    EXPECT_TRUE(finishedOf(stopped).root.children().empty());
    EXPECT_EQ(finishedOf(stopped).root.folderCount(), 1);
}

TEST(ScanReport, PrintsProgressLinesAndTheSummary) {
    std::ostringstream line;
    printProgressLine(line, ScanProgress{12345678, 42, "/a/b c", {}});
    EXPECT_EQ(line.str(), "\u2026 12.3 MB across 42 files \u2014 /a/b c\n");

    using testing::file;
    DiskScanResult result{testing::folder("/r", {file("/r/small", 1000), file("/r/dup", 5000, true),
                                                 file("/r/eq1", 3000), file("/r/cloud", 2000, false, true),
                                                 file("/r/eq2", 3000), file("/r/both", 4000, true, true)}),
                          {},
                          0,
                          3.14159};
    const std::string entries = "\nScanned /r in 3.14s\n"
                                "Total: 7 KB\n"
                                "Cloud-only files (never downloaded): 2\n"
                                "Top-level entries:\n"
                                "  5 KB\tdup (shared)\n"
                                "  4 KB\tboth (shared) (cloud-only)\n"
                                "  3 KB\teq1\n"
                                "  3 KB\teq2\n"
                                "  2 KB\tcloud (cloud-only)\n"
                                "  1 KB\tsmall\n";
    std::ostringstream summary;
    printScanSummary(summary, "/r", result);
    EXPECT_EQ(summary.str(), entries + "Denied: 0 path(s), ~Zero KB estimated\n");

    result.deniedPaths = {{"/r/x", "/r", 1500}, {"/r/y", "/r", 2500}};
    result.deniedBytesEstimate = 4000;
    std::ostringstream denied;
    printScanSummary(denied, "/r", result);
    EXPECT_EQ(denied.str(), entries + "Denied: 2 path(s), ~4 KB estimated\n");
}

TEST(ScanReport, ReportsAScanLineByLine) {
    ScratchFolder root;
    writeFile(root / "a/one", 4096);
    writeFile(root / "a/two", 4096);
    writeFile(root / "b", 300000);
    std::ostringstream out;
    ::testing::internal::CaptureStderr();
    runScanDebugReport(root.path() + "/", out, true, DiskScanner(1));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    std::vector<std::string> lines;
    std::istringstream text(out.str());
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u + 8u) << out.str();
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(lines[i].starts_with("\u2026 ")) << lines[i];
        EXPECT_NE(lines[i].find(" across " + std::to_string(i + 1) + " files \u2014 " + root.path() + "/"),
                  std::string::npos)
            << lines[i];
    }
    EXPECT_EQ(lines[3], "");
    const std::string scanned = "Scanned " + root.path() + " in ";
    ASSERT_TRUE(lines[4].starts_with(scanned)) << lines[4];
    EXPECT_TRUE(std::regex_match(lines[4].substr(scanned.size()), std::regex("[0-9]+\\.[0-9]{2}s")));
    const int64_t a = allocatedBytes(root / "a/one") + allocatedBytes(root / "a/two");
    const int64_t b = allocatedBytes(root / "b");
    EXPECT_EQ(lines[5], "Total: " + formatByteCount(a + b));
    EXPECT_EQ(lines[6], "Cloud-only files (never downloaded): 0");
    EXPECT_EQ(lines[7], "Top-level entries:");
    EXPECT_EQ(lines[8], "  " + formatByteCount(b) + "\tb");
    EXPECT_EQ(lines[9], "  " + formatByteCount(a) + "\ta");
    EXPECT_EQ(lines[10], "Denied: 0 path(s), ~Zero KB estimated");

    // A scan that ends without a result prints nothing at all.
    std::ostringstream none;
    runScanDebugReport(root / "missing", none, true, DiskScanner(1));
    EXPECT_EQ(none.str(), "");
}

} // namespace
} // namespace quillmere

namespace quillmere {
namespace {

// A scan fills every processor with walks; they run below the interface's priority, so that a
// frame never waits for a processor behind them.
TEST(DiskScannerPriority, EveryWalkRunsAtBackgroundPriority) {
    ScratchFolder root;
    for (int folder = 0; folder < 16; ++folder)
        for (int file = 0; file < 8; ++file)
            writeFile(root / ("d" + std::to_string(folder) + "/sub/f" + std::to_string(file)), 10);
    FakeHost host;
    std::mutex lock;
    std::vector<int> niceOfWalks;
    host.onStat = [&](const std::string& name) {
        if (name.empty() || name[0] != 'f') return;
        const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
        std::lock_guard guard(lock);
        niceOfWalks.push_back(nice);
    };
    // Started as the application starts it: from a thread of its own, not the first thread.
    std::optional<DiskScanResult> result;
    std::thread([&] { result = scanned(DiskScanner(200, host), root.path()); }).join();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->root.fileCount(), 16 * 8);
    ASSERT_EQ(niceOfWalks.size(), 16u * 8u);
    for (const int nice : niceOfWalks)
        EXPECT_GE(nice, 5);
}

} // namespace
} // namespace quillmere
