// The scan engine and the volume list beside a real FUSE mount whose daemon was stopped: the
// walk never touches the mount point and ends with the rest counted; the volume list leaves
// the mount out instead of waiting for it.
#include "platform/Bounded.hpp"
#include "scan/DiskScanner.hpp"
#include "scan/ScannableVolume.hpp"
#include "support/HelperProcess.hpp"
#include "support/StalledMount.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quillmere::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A call that must end: given a minute, far beyond anything it needs, so that a call stuck
// on the mount fails the test instead of hanging it (the teardown then lets it go).
template <class T> std::optional<T> mustEnd(std::function<T()> call) {
    return platform::callWithin<T>(60s, std::move(call));
}

int64_t allocatedBytes(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_blocks) * 512 : -1;
}

void writeBytes(const std::string& path, size_t bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << std::string(bytes, 'x');
}

class StalledScan : public ::testing::Test {
protected:
    void SetUp() override {
        writeBytes(tree + "/a.bin", 8192);
        writeBytes(tree + "/sub/b.bin", 4096);
        fs::create_directories(tree + "/sub/mnt");
        std::string reason;
        mount = StalledMount::make(tree + "/sub/mnt", reason);
        if (!mount) GTEST_SKIP() << reason;
    }

    TemporaryFolder folder;
    std::string tree = folder.path() + "/tree";
    std::unique_ptr<StalledMount> mount;
};

TEST_F(StalledScan, AScanOfAFolderHoldingTheStalledMountEndsWithTheRestCounted) {
    mount->stall();
    const auto result = mustEnd<std::optional<DiskScanResult>>(
        [root = tree] { return DiskScanner().scanToEnd(root, true, "/nonexistent-home"); });
    ASSERT_TRUE(result) << "the scan waited on the stopped file system";
    ASSERT_TRUE(*result);
    const FileNode& root = (*result)->root;
    EXPECT_EQ(root.fileCount(), 2);
    EXPECT_EQ(root.allocatedSize(), allocatedBytes(tree + "/a.bin") + allocatedBytes(tree + "/sub/b.bin"));
    EXPECT_TRUE((*result)->deniedPaths.empty());
    const auto stalled = root.find(tree + "/sub/mnt");
    ASSERT_TRUE(stalled);
    EXPECT_TRUE(stalled->isDirectory());
    EXPECT_TRUE(stalled->children().empty());
    EXPECT_EQ(stalled->folderCount(), 1);
    EXPECT_EQ(stalled->allocatedSize(), 0);
}

// A FUSE file system on a disk (as NTFS on a USB disk is mounted) is a volume like any other,
// until its daemon stops answering.
TEST(StalledVolume, TheVolumeListLeavesOutAMountThatStoppedAnswering) {
    TemporaryFolder folder;
    const std::string mountPoint = folder.path() + "/disk";
    fs::create_directories(mountPoint);
    std::string reason;
    const auto mount = StalledMount::make(mountPoint, reason, StalledMount::AsDisk::yes);
    if (!mount) GTEST_SKIP() << reason;
    const auto listedAt = [&](const std::vector<ScannableVolume>& volumes) {
        return std::ranges::count_if(volumes, [&](const ScannableVolume& v) { return v.url == mountPoint; });
    };
    const auto answering =
        mustEnd<std::vector<ScannableVolume>>([] { return ScannableVolume::mountedVolumes(); });
    ASSERT_TRUE(answering);
    EXPECT_EQ(listedAt(*answering), 1) << "while its daemon answers, the mount is a volume like any other";

    mount->stall();
    const auto listed =
        mustEnd<std::vector<ScannableVolume>>([] { return ScannableVolume::mountedVolumes(); });
    ASSERT_TRUE(listed) << "the list waited on the stopped file system";
    EXPECT_EQ(listedAt(*listed), 0);
    EXPECT_EQ(listed->size(), answering->size() - 1) << "every other volume is still listed";
}

} // namespace
} // namespace quillmere::testing
