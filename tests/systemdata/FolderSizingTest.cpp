#include "systemdata/FolderSizing.hpp"

#include "SystemDataTestSupport.hpp"
#include "scan/TreeBuilders.hpp"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

using testing::allocatedBytes;
using testing::FakeHost;
using testing::makeFolder;
using testing::ScratchFolder;
using testing::writeFile;

DeniedPath denied(const std::string& url, int64_t bytes) {
    return {url, std::string(deletingLastPathComponent(url)), bytes};
}

TEST(FolderSizingTest, AFolderTheTreeHoldsTakesItsSizeAndTheDeniedPathsAtOrUnderIt) {
    const FileNode root = testing::folder(
        "/Users/ann",
        {testing::folder("/Users/ann/Library",
                         {testing::folder("/Users/ann/Library/Caches",
                                          {testing::file("/Users/ann/Library/Caches/a", 5000)}),
                          testing::folder("/Users/ann/Library/Caches2",
                                          {testing::file("/Users/ann/Library/Caches2/b", 7)})})});
    const std::vector<DeniedPath> deniedPaths{
        denied("/Users/ann/Library/Caches/x", 4096), denied("/Users/ann/Library/Caches/y/z", 8192),
        denied("/Users/ann/Library/Caches2/w", 100000), denied("/Users/ann/Other", 1)};
    EXPECT_EQ(sizeFromScanTree("/Users/ann/Library/Caches", root, deniedPaths), (FolderSize{5000, 2, 12288}));
    // The folder itself denied counts too.
    EXPECT_EQ(sizeFromScanTree("/Users/ann/Library/Caches", root, {denied("/Users/ann/Library/Caches", 512)}),
              (FolderSize{5000, 1, 512}));
    EXPECT_EQ(sizeFromScanTree("/Users/ann/Library/Missing", root, deniedPaths), std::nullopt);
}

TEST(FolderSizingTest, ATreeIsUsedInsteadOfAWalkOnlyWhenItHoldsTheFolder) {
    ScratchFolder scratch;
    writeFile(scratch / "cache/a", 4096);
    FakeHost host;
    const std::string cache = FileNode::canonicalPath(scratch / "cache");
    const FileNode tree = testing::folder(cache, {testing::file(cache + "/a", 123)});
    EXPECT_EQ(directorySize(scratch / "cache", tree, {}, host).bytes, 123);
    EXPECT_TRUE(host.openedFolders().empty()); // no walk
    const FileNode elsewhere = testing::folder("/elsewhere", {});
    EXPECT_EQ(directorySize(scratch / "cache", elsewhere, {}, host).bytes,
              allocatedBytes(scratch / "cache/a"));
}

TEST(FolderSizingTest, AWalkCountsVisibleFilesAndLeavesOutHiddenEntriesLinksAndOtherFileSystems) {
    ScratchFolder scratch;
    writeFile(scratch / "f/a", 4096);
    writeFile(scratch / "f/sub/b", 10000);
    writeFile(scratch / "f/.hidden/c", 50000);
    writeFile(scratch / "f/.d", 50000);
    writeFile(scratch / "f/mounted/e", 50000);
    writeFile(scratch / "outside/big", 80000);
    std::filesystem::create_symlink(scratch / "outside", scratch / "f/link");
    FakeHost host;
    host.onOtherDevice.insert("mounted");
    const int64_t expected = allocatedBytes(scratch / "f/a") + allocatedBytes(scratch / "f/sub/b") +
                             allocatedBytes(scratch / "f/link");
    EXPECT_EQ(walkFolderSize(scratch / "f", host), (FolderSize{expected, 0, 0}));
    EXPECT_EQ(walkFolderSize(scratch / "missing", host), (FolderSize{}));
}

TEST(FolderSizingTest, AnUnreadableSubfolderCountsOnceWithItsOwnBlocksAndNotItsContents) {
    ScratchFolder scratch;
    writeFile(scratch / "f/a", 4096);
    writeFile(scratch / "f/locked/inside", 40000);
    writeFile(scratch / "f/unlisted/inside", 40000);
    FakeHost host;
    host.openError["locked"] = EACCES;
    host.listError["unlisted"] = EIO;
    const FolderSize size = walkFolderSize(scratch / "f", host);
    EXPECT_EQ(size.bytes, allocatedBytes(scratch / "f/a"));
    EXPECT_EQ(size.unreadableCount, 2);
    EXPECT_EQ(size.deniedBytesEstimate,
              allocatedBytes(scratch / "f/locked") + allocatedBytes(scratch / "f/unlisted"));
}

TEST(FolderSizingTest, AParallelWalkOfAWideDeepTreeMatchesASerialOne) {
    ScratchFolder scratch;
    int64_t expected = 0;
    for (int i = 0; i < 60; ++i)
        for (int j = 0; j < 5; ++j) {
            const std::string path =
                scratch / ("f/d" + std::to_string(i) + "/e" + std::to_string(j) + "/file");
            writeFile(path, static_cast<size_t>(100 + i * 37 + j));
            expected += allocatedBytes(path);
        }
    std::string deep = scratch / "f/chain";
    for (int i = 0; i < 200; ++i)
        deep += "/n";
    writeFile(deep + "/leaf", 3000);
    expected += allocatedBytes(deep + "/leaf");
    FakeHost host;
    host.openError["e3"] = EACCES;
    FolderSize serial = walkFolderSize(scratch / "f", host, 1);
    FolderSize parallel = walkFolderSize(scratch / "f", host, 8);
    EXPECT_EQ(serial, parallel);
    EXPECT_EQ(serial.unreadableCount, 60);
    int64_t locked = 0;
    for (int i = 0; i < 60; ++i)
        locked += allocatedBytes(scratch / ("f/d" + std::to_string(i) + "/e3/file"));
    EXPECT_EQ(serial.bytes, expected - locked);
    EXPECT_TRUE(host.openedFolders().count("e3") == 0);
}

} // namespace
} // namespace quillmere
