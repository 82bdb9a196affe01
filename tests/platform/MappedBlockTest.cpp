#include "platform/MappedBlock.hpp"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace quillmere::platform {
namespace {

constexpr std::size_t kHuge = std::size_t{2} << 20;

std::size_t page() {
    return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

std::size_t residentPages(const MappedBlock& block) {
    std::vector<unsigned char> resident(block.size() / page());
    if (::mincore(block.data(), block.size(), resident.data()) != 0) return 0;
    std::size_t count = 0;
    for (const unsigned char flags : resident)
        count += flags & 1;
    return count;
}

TEST(MappedBlock, IsWholeAlignedWritableAndMovesItsOwnership) {
    for (const bool huge : {true, false}) {
        SCOPED_TRACE(huge ? "huge pages" : "small pages");
        const std::size_t unit = huge ? kHuge : page();
        MappedBlock block = MappedBlock::map(5 * 1000 * 1000 + 1, huge);
        ASSERT_TRUE(block);
        EXPECT_EQ(block.hugePages(), huge);
        EXPECT_EQ(block.size(), (5 * 1000 * 1000 + unit) / unit * unit);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data()) % unit, 0u);
        std::memset(block.data(), 0x5a, block.size()); // every byte of it is ours to write
        EXPECT_EQ(block.data()[block.size() - 1], 0x5a);

        unsigned char* const data = block.data();
        const std::size_t size = block.size();
        MappedBlock moved = std::move(block);
        EXPECT_FALSE(block);
        EXPECT_EQ(moved.data(), data);
        EXPECT_EQ(moved.hugePages(), huge);
        moved = MappedBlock::map(1, huge);
        EXPECT_EQ(moved.size(), unit);
        // The block it held is given back to the system: nothing is mapped there any more.
        errno = 0;
        EXPECT_EQ(::msync(data, size, MS_ASYNC), -1);
        EXPECT_EQ(errno, ENOMEM);

        EXPECT_FALSE(MappedBlock::map(0, huge));
        EXPECT_FALSE(MappedBlock::map(SIZE_MAX, huge));
    }
}

TEST(MappedBlock, PrefaultBacksEveryPageAndLeavesItBlank) {
    for (const bool huge : {true, false}) {
        SCOPED_TRACE(huge ? "huge pages" : "small pages");
        const MappedBlock block = MappedBlock::map(kHuge + 12345, huge);
        ASSERT_TRUE(block);
        EXPECT_LT(residentPages(block), block.size() / page());
        block.prefault();
        EXPECT_EQ(residentPages(block), block.size() / page());
        for (std::size_t offset = 0; offset < block.size(); offset += page())
            ASSERT_EQ(block.data()[offset], 0) << offset;
    }
}

} // namespace
} // namespace quillmere::platform
