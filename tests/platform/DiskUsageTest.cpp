#include "platform/DiskUsage.hpp"

#include "platform/Fd.hpp"
#include "scan/ScanTestSupport.hpp"

#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits>
#include <sys/resource.h>
#include <unistd.h>

namespace quillmere::platform {
namespace {

int64_t duBytes(const std::string& path) {
    std::string out;
    if (FILE* pipe = ::popen(("du -B1 -s '" + path + "'").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        ::pclose(pipe);
    }
    return std::strtoll(out.c_str(), nullptr, 10);
}

// A file system may report any block count: past the largest figure the bytes stay at it.
TEST(DiskUsage, AnItemsBytesStayAtTheLargestFigure) {
    struct stat info {};
    info.st_blocks = std::numeric_limits<blkcnt_t>::max();
    EXPECT_EQ(allocatedBytesOf(info), std::numeric_limits<int64_t>::max());
    info.st_blocks = 8;
    EXPECT_EQ(allocatedBytesOf(info), 4096);
}

TEST(DiskUsage, CountsLikeDuAcrossWideAndDeepTreesWithFewDescriptors) {
    testing::ScratchFolder scratch;
    for (int i = 0; i < 300; ++i)
        testing::writeFile(scratch / ("tree/wide/d" + std::to_string(i % 30) + "/f" + std::to_string(i)),
                           3000);
    ASSERT_EQ(::link((scratch / "tree/wide/d0/f0").c_str(), (scratch / "tree/wide/d1/again").c_str()), 0);
    ASSERT_EQ(::symlink("/usr", (scratch / "tree/link").c_str()), 0);
    // A chain deeper than the descriptors this test allows itself.
    Fd level(::open((scratch / "tree").c_str(), O_RDONLY | O_DIRECTORY));
    for (int depth = 0; depth < 3000 && level; ++depth) {
        ASSERT_EQ(::mkdirat(level.get(), "c", 0755), 0);
        level = Fd(::openat(level.get(), "c", O_RDONLY | O_DIRECTORY));
    }
    ASSERT_TRUE(level);
    const int leaf = ::openat(level.get(), "leaf", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(leaf, 0);
    ASSERT_EQ(::write(leaf, "x", 1), 1);
    ::close(leaf);
    level.reset();

    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit tight = saved;
    tight.rlim_cur = 256;
    ::setrlimit(RLIMIT_NOFILE, &tight);
    Fd root(::open((scratch / "tree").c_str(), O_RDONLY | O_DIRECTORY));
    const std::optional<int64_t> bytes = diskUsageOfDirectory(root.get());
    ::setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, duBytes(scratch / "tree"));
    EXPECT_EQ(diskUsageOfDirectory(-1), std::nullopt);
}

} // namespace
} // namespace quillmere::platform
