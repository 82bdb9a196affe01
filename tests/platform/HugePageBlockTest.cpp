#include "platform/HugePageBlock.hpp"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>

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

    EXPECT_FALSE(HugePageBlock::map(0));
    EXPECT_FALSE(HugePageBlock::map(SIZE_MAX));
}

} // namespace
} // namespace quillmere::platform
