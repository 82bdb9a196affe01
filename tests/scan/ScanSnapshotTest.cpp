#include "scan/ScanSnapshot.hpp"

#include "scan/TreeBuilders.hpp"

#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmere {
namespace {

namespace store = ScanSnapshotStore;
using testing::file;
using testing::folder;

// A snapshot of the folder "/v" on volume "id" named "HD", scanned at 1e9 seconds.
const std::vector<uint8_t> kTreeFile = {
    'Q', 'L', 'M', 'R', 1, 0, 0, 0,                 // magic, version 1
    2, 0, 0, 0, 'i', 'd', 2, 0, 0, 0, 'H', 'D',     // identifier, name
    0, 0, 0, 0, 0x65, 0xCD, 0xCD, 0x41, 6, 0, 0, 0, // scannedAt 1e9, six records
    // 0: "/v", folder with a date of 1.5
    0xFF, 0xFF, 0xFF, 0xFF, 0x11, 0x00, 0x30, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 16, 0, 0, 0, 0x00,
    0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 2, 0, 0, 0, '/', 'v',
    // 1: "a", shared elsewhere, 4096 bytes, dated 2.0
    0, 0, 0, 0, 0x14, 0x00, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0x00, 0x10, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 1, 0, 0, 0, 'a',
    // 2: "c", cloud-only
    0, 0, 0, 0, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,
    0, 0, 0, 'c',
    // 3: "d", folder of 8192 bytes without a date
    0, 0, 0, 0, 0x01, 0x00, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 1, 0, 0, 0, 'd',
    // 4: "x" in "d", symbolic link
    3, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,
    0, 0, 0, 'x',
    // 5: aggregate of twelve items, 4096 bytes
    0, 0, 0, 0, 0x20, 0x00, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 13, 0, 0, 0, '1', '2', ' ', 'm', 'o', 'r', 'e', ' ', 'i', 't', 'e', 'm', 's'};
constexpr size_t kSecondRecord = 79;

// The volume root "/" alone, no identifier, no name, scanned at 0.
const std::vector<uint8_t>
    kRootFile = {'Q',  'L',  'M',  'R',  1,    0, 0, 0, 0, 0, 0, 0,
                 0,    0,    0,    0,                               // magic, version 1, two empty texts
                 0,    0,    0,    0,    0,    0, 0, 0, 1, 0, 0, 0, // scannedAt 0, one record
                 0xFF, 0xFF, 0xFF, 0xFF, 0x01,                      // no parent, a folder without a date
                 0,    0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0,
                 1,    0,    0,    0, // allocatedSize, cloudOnlyCount, folderCount 1
                 0,    0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0,
                 1,    0,    0,    0,    '/'}; // fileCount, sharedBytesTotal, name
constexpr size_t kRootCount = 24;

// Little-endian bytes for files made in code.
struct Bytes {
    std::vector<uint8_t> v;
    Bytes& raw(std::string_view text) {
        v.insert(v.end(), text.begin(), text.end());
        return *this;
    }
    Bytes& le(uint64_t value, int size) {
        for (int i = 0; i < size; ++i)
            v.push_back(static_cast<uint8_t>(value >> (8 * i)));
        return *this;
    }
    Bytes& header(uint32_t count) { return raw("QLMR").le(1, 4).le(0, 4).le(0, 4).le(0, 8).le(count, 4); }
    Bytes& record(uint32_t parent, uint8_t flags, std::string_view name) {
        le(parent, 4).le(flags, 1).le(0, 8).le(0, 4).le(0, 4).le(1, 4).le(0, 8).le(name.size(), 4);
        return raw(name);
    }
};

std::optional<ScanSnapshot> decodeWithChild(std::string_view childName, std::string_view rootName = "/r") {
    return store::decode(Bytes{}.header(2).record(0xFFFFFFFF, 1, rootName).record(0, 0, childName).v);
}

void expectSameTree(const FileNode& actual, const FileNode& expected) {
    EXPECT_EQ(actual.name(), expected.name());
    EXPECT_EQ(actual.path(), expected.path());
    EXPECT_EQ(actual.fields(), expected.fields()) << actual.path();
    ASSERT_EQ(actual.children().size(), expected.children().size()) << actual.path();
    for (size_t i = 0; i < actual.children().size(); ++i)
        expectSameTree(actual.children()[i], expected.children()[i]);
}

TEST(ScanSnapshotStore, GoldenFilesDecodeToTheirTreesAndEncodeBackByteForByte) {
    const FileNode expected(
        "/v", "/v", true, false, 12288, false, false, 1, false, 2, 16, 4096, 1.5,
        {FileNode("a", "/v/a", false, false, 4096, true, false, 0, false, 0, 1, 4096, 2.0, {}),
         FileNode("c", "/v/c", false, false, 0, false, true, 1, false, 0, 1, 0, {}, {}),
         FileNode("d", "/v/d", true, false, 8192, false, false, 0, false, 1, 2, 0, {},
                  {FileNode("x", "/v/d/x", false, true, 0, false, false, 0, false, 0, 1, 0, {}, {})}),
         FileNode("12 more items", "/v/12 more items", false, false, 4096, false, false, 0, true, 0, 12, 0,
                  {}, {})});
    const std::optional<ScanSnapshot> tree = store::decode(kTreeFile);
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->volumeUUID, "id");
    EXPECT_EQ(tree->volumeName, "HD");
    EXPECT_EQ(tree->scannedAt, 1e9);
    expectSameTree(tree->root, expected);
    EXPECT_EQ(store::encode(*tree), kTreeFile);

    const std::optional<ScanSnapshot> root = store::decode(kRootFile);
    ASSERT_TRUE(root);
    expectSameTree(root->root, FileNode("/", "/", true, false, 0, false, false, 0, false, 1, 0, 0, {}, {}));
    EXPECT_EQ(root->volumeUUID, "");
    EXPECT_EQ(store::encode(*root), kRootFile);

    std::vector<uint8_t> trailing = kTreeFile;
    trailing.insert(trailing.end(), {1, 2, 3});
    ASSERT_TRUE(store::decode(trailing));
    expectSameTree(store::decode(trailing)->root, expected);
}

TEST(ScanSnapshotStore, RejectsMalformedFiles) {
    const auto with = [](std::vector<uint8_t> bytes, size_t at, std::vector<uint8_t> patch) {
        std::copy(patch.begin(), patch.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return bytes;
    };
    // Every cut short of the end fails somewhere: a name, date or field running past the end.
    for (size_t length = 0; length < kTreeFile.size(); ++length)
        EXPECT_FALSE(store::decode(std::span(kTreeFile).first(length))) << length;
    EXPECT_FALSE(store::decode(with(kTreeFile, 0, {'Q', 'L', 'M', 'X'})));
    EXPECT_FALSE(store::decode(with(kTreeFile, 4, {2})));
    EXPECT_FALSE(store::decode(with(kRootFile, kRootCount, {0})));
    EXPECT_FALSE(store::decode(with(kRootFile, kRootCount, {0x01, 0x2D, 0x31, 0x01}))); // 20,000,001
    EXPECT_FALSE(store::decode(with(kRootFile, kRootCount + 4, {0xFE})));
    EXPECT_FALSE(store::decode(with(kTreeFile, kSecondRecord, {1})));                      // its own index
    EXPECT_FALSE(store::decode(with(kTreeFile, kSecondRecord, {5})));                      // a later record
    EXPECT_FALSE(store::decode(with(kTreeFile, kSecondRecord, {0xFF, 0xFF, 0xFF, 0xFF}))); // negative
}

TEST(ScanSnapshotStore, RefusesNamesThatLeaveTheirFolder) {
    EXPECT_TRUE(decodeWithChild("ok"));
    using namespace std::string_view_literals;
    for (std::string_view bad : {""sv, "."sv, ".."sv, "../etc"sv, "a/b"sv, "a\0b"sv})
        EXPECT_FALSE(decodeWithChild(bad)) << bad;
    EXPECT_FALSE(decodeWithChild("ok", "relative"));
    EXPECT_FALSE(decodeWithChild("ok", std::string_view("/r\0", 3)));
    for (std::string_view root : {"/r/.."sv, "/r/./s"sv, "/.."sv, "/a/../b"sv})
        EXPECT_FALSE(decodeWithChild("ok", root)) << root;
    EXPECT_TRUE(decodeWithChild("ok", "/r/..s/.t"));

    // The writer refuses what the reader would refuse instead of saving an unloadable file.
    const FileNode escaping =
        folder("/r", {FileNode("..", "/r/..", false, false, 1, false, false, 0, false, 0, 1, 0, {}, {})});
    EXPECT_FALSE(store::encode({.root = escaping}));
}

TEST(ScanSnapshotStore, RepairsInvalidUtf8) {
    const std::optional<ScanSnapshot> loaded = decodeWithChild("b\xFF"
                                                               "d");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->root.children()[0].name(), "b\uFFFDd");
    EXPECT_EQ(loaded->root.children()[0].path(), "/r/b\uFFFDd");
}

TEST(ScanSnapshotStore, SaturatesCountsBeyond32Bits) {
    const FileNode huge("/h", "/h", true, false, 1, false, false, 5'000'000'000, false, -5'000'000'000,
                        int64_t{1} << 40, 0, {}, {});
    const std::optional<std::vector<uint8_t>> bytes = store::encode({.root = huge});
    ASSERT_TRUE(bytes);
    const FileNode loaded = store::decode(*bytes)->root;
    EXPECT_EQ(loaded.cloudOnlyCount(), INT32_MAX);
    EXPECT_EQ(loaded.folderCount(), INT32_MIN);
    EXPECT_EQ(loaded.fileCount(), INT32_MAX);
}

TEST(ScanSnapshotStore, HugeCountInATinyFileReservesNothing) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve address space of their own";
#else
    // With the address space capped a few hundred megabytes above what is in use, reserving
    // twenty million records would throw; the count must be refused first.
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    statm >> pages;
    rlimit previous{};
    ::getrlimit(RLIMIT_AS, &previous);
    rlimit capped = previous;
    capped.rlim_cur = pages * static_cast<size_t>(::sysconf(_SC_PAGESIZE)) + (size_t{384} << 20);
    ASSERT_EQ(::setrlimit(RLIMIT_AS, &capped), 0);
    const std::vector<uint8_t> tiny = Bytes{}.header(20'000'000).record(0xFFFFFFFF, 1, "/").v;
    const bool decoded = store::decode(tiny).has_value();
    ::setrlimit(RLIMIT_AS, &previous);
    EXPECT_FALSE(decoded);
#endif
}

TEST(ScanSnapshotStore, LoadsAMillionRecordChainWithoutRecursion) {
    constexpr uint32_t kCount = 1'000'000;
    Bytes bytes;
    bytes.header(kCount).record(0xFFFFFFFF, 1, "/c");
    for (uint32_t i = 1; i < kCount; ++i)
        bytes.record(i - 1, 1, "n");
    const std::optional<ScanSnapshot> loaded = store::decode(bytes.v);
    ASSERT_TRUE(loaded);
    const FileNode* node = &loaded->root;
    size_t depth = 0;
    while (!node->children().empty()) {
        node = &node->children()[0];
        ++depth;
    }
    EXPECT_EQ(depth, kCount - 1);
    EXPECT_EQ(node->path().size(), 2 + 2 * (kCount - 1));
}

TEST(ScanSnapshotStore, PruneKeepsTheLargestChildrenAndFoldsTheRest) {
    const auto files = [](const std::string& parent, int count, bool cloudOnly = false) {
        std::vector<FileNode> children;
        for (int i = 0; i < count; ++i) // sizes fall with i, but the last two tie with the 48th
            children.push_back(
                file(parent + "/f" + std::to_string(i), std::max(100 - i, 53), false, cloudOnly));
        return children;
    };
    EXPECT_EQ(store::prune(folder("/a", files("/a", 49))).children().size(), 49u);

    std::vector<FileNode> fifty = files("/b", 50);
    std::rotate(fifty.begin(), fifty.begin() + 47, fifty.end()); // the three tied children first
    const FileNode pruned = store::prune(folder("/b", fifty));
    ASSERT_EQ(pruned.children().size(), 49u);
    EXPECT_EQ(pruned.children()[0].name(), "f0");
    EXPECT_EQ(pruned.children()[47].name(), "f47"); // of three tied children, the first is kept
    const FileNode& aggregate = pruned.children()[48];
    EXPECT_TRUE(aggregate.isAggregate());
    EXPECT_EQ(aggregate.name(), "2 more items");
    EXPECT_EQ(aggregate.path(), "/b/.quillmere-aggregate-2");
    EXPECT_EQ(aggregate.allocatedSize(), 106);
    EXPECT_EQ(aggregate.fileCount(), 2);
    EXPECT_EQ(pruned.allocatedSize(), folder("/b", fifty).allocatedSize());

    std::vector<FileNode> mixed = files("/m", 100, true);
    mixed.push_back(file("/m/regular", 1));
    const FileNode keptCloud = store::prune(folder("/m", mixed));
    EXPECT_EQ(keptCloud.children().size(), 101u);
    EXPECT_TRUE(keptCloud.children()[0].isCloudOnly());

    // Once loaded, an aggregate is named by its display text.
    const std::optional<ScanSnapshot> loaded = store::decode(*store::encode({.root = folder("/b", fifty)}));
    EXPECT_EQ(loaded->root.children()[48].path(), "/b/2 more items");
}

TEST(ScanSnapshotStore, PruneStopsSixLevelsBelowTheRoot) {
    FileNode chain = file("/0/1/2/3/4/5/6/7/leaf", 7);
    for (std::string path = "/0/1/2/3/4/5/6/7"; path != "/0"; path = deletingLastPathComponent(path))
        chain = folder(path, {chain});
    FileNode node = store::prune(folder("/0", {chain}));
    for (int depth = 0; depth < 6; ++depth) {
        ASSERT_EQ(node.children().size(), 1u) << depth;
        node = node.children()[0];
    }
    EXPECT_EQ(node.path(), "/0/1/2/3/4/5/6");
    EXPECT_TRUE(node.children().empty());
    EXPECT_EQ(node.allocatedSize(), 7);
    EXPECT_EQ(node.folderCount(), 2);
}

TEST(ScanSnapshotStore, LivesInTheDataFolderAndIsReplacedAtomically) {
    EXPECT_EQ(store::folderPath("/x/data", "/home/u"), "/x/data/Quillmere");
    EXPECT_EQ(store::folderPath("relative", "/home/u"), "/home/u/.local/share/Quillmere");
    EXPECT_EQ(store::folderPath(std::nullopt, "/home/u"), "/home/u/.local/share/Quillmere");

    const std::string base = ::testing::TempDir() + "snapshot-" + std::to_string(::getpid());
    const std::string path = store::fileURL(base + "/deep/Quillmere");
    EXPECT_EQ(path, base + "/deep/Quillmere/last-scan.qlmrsnap");
    EXPECT_TRUE(std::filesystem::is_directory(base + "/deep/Quillmere"));

    const ScanSnapshot snapshot = *store::decode(kTreeFile);
    ASSERT_TRUE(store::save(snapshot, path));
    EXPECT_EQ(store::encode(*store::load(path)), kTreeFile);
    EXPECT_FALSE(store::load(path + ".missing"));

    // A write that cannot finish leaves the old file and no temporary behind.
    const std::string blocked = base + "/deep/Quillmere/blocked";
    std::filesystem::create_directories(blocked + "/inside");
    EXPECT_FALSE(store::writeAtomically(blocked, kRootFile));
    EXPECT_FALSE(store::writeAtomically(base + "/absent/file", kRootFile));
    ASSERT_TRUE(store::writeAtomically(path, kRootFile));
    EXPECT_EQ(store::encode(*store::load(path)), kRootFile);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(base + "/deep/Quillmere"), {}), 2);
    std::filesystem::remove_all(base);
}

// Whatever sits where the saved scan should be, the start neither waits, nor grows, nor fails:
// anything but a regular file of a size the writer could have made is no saved scan.
TEST(ScanSnapshotStore, LoadsOnlyARegularFileOfAPossibleSize) {
    const std::string base = ::testing::TempDir() + "snapshot-odd-" + std::to_string(::getpid());
    std::filesystem::create_directories(base + "/folder");
    EXPECT_FALSE(store::load(base + "/folder"));

    const std::string fifo = base + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(store::load(fifo)); // returns at once: no writer is waited for

    EXPECT_FALSE(store::load("/dev/zero"));

    // A (sparse) file larger than the largest the writer makes is refused before it is read.
    const std::string huge = base + "/huge";
    {
        std::ofstream(huge, std::ios::binary)
            .write(reinterpret_cast<const char*>(kTreeFile.data()),
                   static_cast<std::streamsize>(kTreeFile.size()));
    }
    EXPECT_TRUE(store::load(huge));
    std::filesystem::resize_file(huge, store::kMaxFileBytes + 1);
    EXPECT_FALSE(store::load(huge));
    std::filesystem::resize_file(huge, kTreeFile.size());
    EXPECT_TRUE(store::load(huge));
    std::filesystem::remove_all(base);
}

} // namespace
} // namespace quillmere
