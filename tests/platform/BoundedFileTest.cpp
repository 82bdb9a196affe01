#include "platform/BoundedFile.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace quillmere::platform {
namespace {

size_t linesStartingWith(const std::string& text, std::string_view start) {
    size_t count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        count += line.starts_with(start);
    return count;
}

// Files under /proc report a size of zero and are made up as they are read.
TEST(BoundedFile, FilesThatReportNoSizeAreReadToTheirEndWithinTheBound) {
    std::ostringstream viaStream;
    viaStream << std::ifstream("/proc/self/mountinfo").rdbuf();
    const auto mounts = readBoundedFile("/proc/self/mountinfo", 1u << 20);
    ASSERT_TRUE(mounts.has_value());
    EXPECT_FALSE(mounts->empty());
    EXPECT_EQ(*mounts, viaStream.str());
    EXPECT_EQ(readBoundedFile("/proc/self/mountinfo", 10).error(), BoundedReadError::tooLarge);

    // Longer than any first read: every mapping's block ends with its flags line, so a text
    // cut short has one block fewer of those than it has mappings.
    const auto maps = readBoundedFile("/proc/self/smaps", 64u << 20);
    ASSERT_TRUE(maps.has_value());
    EXPECT_GT(maps->size(), 16u * 1024);
    EXPECT_EQ(linesStartingWith(*maps, "VmFlags:"), linesStartingWith(*maps, "Rss:"));
    EXPECT_TRUE(maps->ends_with('\n'));
}

} // namespace
} // namespace quillmere::platform
