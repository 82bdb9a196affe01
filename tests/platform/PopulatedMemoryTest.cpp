#include "platform/PopulatedMemory.hpp"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace quillmere::platform {
namespace {

std::vector<bool> residentPages(void* start, std::size_t pages) {
    std::vector<unsigned char> flags(pages);
    if (::mincore(start, pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)), flags.data()) != 0)
        return {};
    std::vector<bool> resident;
    for (unsigned char flag : flags)
        resident.push_back((flag & 1) != 0);
    return resident;
}

TEST(PopulatedMemory, BacksEveryPageOfTheRangeKeepsWhatPagesHoldAndGivesPagesBack) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    void* mapped = ::mmap(nullptr, 4 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    auto* bytes = static_cast<unsigned char*>(mapped);
    bytes[page + 7] = 0x5a; // the second page is backed and written; the others are untouched
    ASSERT_EQ(residentPages(mapped, 4), std::vector<bool>({false, true, false, false}));

    if (!populateForWriting(bytes, 3 * page)) {
        ::munmap(mapped, 4 * page);
        GTEST_SKIP() << "this kernel cannot populate memory in one call";
    }
    EXPECT_EQ(residentPages(mapped, 4), std::vector<bool>({true, true, true, false}));
    EXPECT_EQ(bytes[page + 7], 0x5a);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[3 * page - 1], 0);

    // Released, the middle pages are no longer backed and read as zeros; the others stay.
    releasePages(bytes + page, 2 * page);
    EXPECT_EQ(residentPages(mapped, 4), std::vector<bool>({true, false, false, false}));
    EXPECT_EQ(bytes[page + 7], 0);
    ::munmap(mapped, 4 * page);
}

} // namespace
} // namespace quillmere::platform
