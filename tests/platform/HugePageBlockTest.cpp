#include "platform/HugePageBlock.hpp"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/mman.h>

namespace quillmere::platform {
namespace {

TEST(HugePageBlock, IsWholeAlignedWritableAndMovesItsOwnership) {
    constexpr std::size_t kHuge = std::size_t{2} << 20;
    HugePageBlock block = HugePageBlock::map(5 * 1000 * 1000 + 1);
    ASSERT_TRUE(block);
    EXPECT_EQ(block.size(), 3 * kHuge);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data()) % kHuge, 0u);
    std::memset(block.data(), 0x5a, block.size()); // every byte of it is ours to write
    EXPECT_EQ(block.data()[block.size() - 1], 0x5a);

    unsigned char* const data = block.data();
    HugePageBlock moved = std::move(block);
    EXPECT_FALSE(block);
    EXPECT_EQ(moved.data(), data);
    moved = HugePageBlock::map(1);
    EXPECT_EQ(moved.size(), kHuge);
    // The block it held is given back to the system: nothing is mapped there any more.
    errno = 0;
    EXPECT_EQ(::msync(data, kHuge, MS_ASYNC), -1);
    EXPECT_EQ(errno, ENOMEM);

    EXPECT_FALSE(HugePageBlock::map(0));
    EXPECT_FALSE(HugePageBlock::map(SIZE_MAX));
}

} // namespace
} // namespace quillmere::platform
