#include "ScanTestSupport.hpp"

#include <cstdio>
#include <set>
#include <utility>

namespace quillmere {
namespace {

using testing::allocatedBytes;
using testing::ScratchFolder;

struct FindTotals {
    int64_t folders = 0;
    int64_t files = 0;
    int64_t bytes = 0;
};

// What find and stat say of a tree: folders (the root included), everything else as files,
// and each (device, inode) pair's blocks counted once.
FindTotals totalsByFind(const std::string& root) {
    FindTotals totals;
    FILE* listing = ::popen(("find '" + root + "' -printf '%y %D %i %b\\n'").c_str(), "r");
    EXPECT_NE(listing, nullptr);
    if (listing == nullptr) return totals;
    std::set<std::pair<unsigned long long, unsigned long long>> seen;
    char type = 0;
    unsigned long long device = 0, inode = 0, blocks = 0;
    while (std::fscanf(listing, " %c %llu %llu %llu", &type, &device, &inode, &blocks) == 4) {
        if (type == 'd') {
            ++totals.folders;
            continue;
        }
        ++totals.files;
        if (seen.insert({device, inode}).second) totals.bytes += static_cast<int64_t>(blocks) * 512;
    }
    EXPECT_EQ(::pclose(listing), 0);
    return totals;
}

TEST(ScanFixture, RootTotalsMatchFindAndStat) {
    ScratchFolder scratch;
    const std::string root = scratch / "tree";
    const std::string script =
        (std::filesystem::path(__FILE__).parent_path() / "fixtures" / "make-scan-fixture.sh").string();
    ASSERT_EQ(std::system(("bash '" + script + "' '" + root + "'").c_str()), 0);

    const FindTotals expected = totalsByFind(root);
    ASSERT_GT(expected.folders, 3000);
    ASSERT_GT(expected.files, 2000);

    // With a single processor the budget runs out at once and walkers go deep on their own.
    testing::FakeHost oneProcessor;
    oneProcessor.processors = 1;
    const std::optional<DiskScanResult> inlined =
        DiskScanner(200, oneProcessor).scanToEnd(root, true, "/nonexistent-home");
    ASSERT_TRUE(inlined);
    EXPECT_EQ(inlined->root.allocatedSize(), expected.bytes);
    EXPECT_EQ(inlined->root.fileCount(), expected.files);
    EXPECT_EQ(inlined->root.folderCount(), expected.folders);

    const std::optional<DiskScanResult> result = DiskScanner().scanToEnd(root, true, "/nonexistent-home");
    ASSERT_TRUE(result);
    const FileNode& tree = result->root;
    EXPECT_EQ(tree.allocatedSize(), expected.bytes);
    EXPECT_EQ(tree.fileCount(), expected.files);
    EXPECT_EQ(tree.folderCount(), expected.folders);
    EXPECT_EQ(tree.cloudOnlyCount(), 0);
    EXPECT_TRUE(result->deniedPaths.empty());
    // The second hard link is the only byte counted elsewhere.
    EXPECT_EQ(tree.sharedBytesTotal(), allocatedBytes(root + "/links/one/data"));

    // Names stay byte-exact and paths past PATH_MAX are walked to the bottom.
    const std::optional<FileNode> badName = tree.find(root + "/names/bad-\xff\xfe-name");
    ASSERT_TRUE(badName);
    EXPECT_EQ(badName->allocatedSize(), 1024 * 1024);
    std::string deepPath = root + "/deep";
    for (int level = 0; level < 3000; ++level)
        deepPath += "/d";
    const std::optional<FileNode> bottom = tree.find(deepPath + "/bottom");
    ASSERT_TRUE(bottom);
    EXPECT_EQ(bottom->allocatedSize(), 1024 * 1024);
    testing::expectConsistentTree(tree);
}

} // namespace
} // namespace quillmere
