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

// A buffer about to be freed starts and ends anywhere: only the pages wholly inside it go, and
// the bytes either side, which may be another allocation's, are kept.
TEST(PopulatedMemory, ReleasingWithinARangeTakesOnlyTheWholePagesInsideIt) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    void* mapped = ::mmap(nullptr, 5 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    auto* bytes = static_cast<unsigned char*>(mapped);
    for (std::size_t i = 0; i < 5 * page; ++i)
        bytes[i] = 0xa5;

    // From 100 bytes into the first page to 100 bytes into the fifth: pages two to four go.
    releasePagesWithin(bytes + 100, 4 * page);
    EXPECT_EQ(residentPages(mapped, 5), std::vector<bool>({true, false, false, false, true}));

    // A range within one page takes nothing; one ending on a page's end takes that page.
    releasePagesWithin(bytes + 4 * page + 1, page - 1);
    releasePagesWithin(bytes + 1, page - 1);
    EXPECT_EQ(residentPages(mapped, 5), std::vector<bool>({true, false, false, false, true}));
    EXPECT_EQ(bytes[4 * page + 99], 0xa5);
    releasePagesWithin(bytes + 4 * page, page);
    EXPECT_EQ(residentPages(mapped, 5), std::vector<bool>({true, false, false, false, false}));

    // Read last: reading a released page backs it again, with zeros.
    EXPECT_EQ(bytes[0], 0xa5);
    EXPECT_EQ(bytes[page - 1], 0xa5);
    EXPECT_EQ(bytes[page], 0);
    EXPECT_EQ(bytes[4 * page - 1], 0);
    EXPECT_EQ(bytes[4 * page], 0);
    ::munmap(mapped, 5 * page);
}

} // namespace
} // namespace quillmere::platform
