#include "platform/AlignedMapping.hpp"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

namespace quillmere::platform {
namespace {

// Whether any page of [start, start + bytes) is mapped.
bool anyMapped(const unsigned char* start, std::size_t bytes) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    for (std::size_t offset = 0; offset < bytes; offset += page) {
        errno = 0;
        if (::msync(const_cast<unsigned char*>(start + offset), page, MS_ASYNC) == 0) return true;
    }
    return false;
}

TEST(AlignedMapping, IsAlignedWritableAndGivenBackWhole) {
    constexpr std::size_t kAlignment = 256 * 1024;
    for (int i = 0; i < 8; ++i) {
        auto* const memory = static_cast<unsigned char*>(mapAligned(kAlignment, kAlignment));
        ASSERT_NE(memory, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory) % kAlignment, 0u);
        std::memset(memory, 0x5a, kAlignment); // every byte of it is ours to write
        unmapAligned(memory, kAlignment);
        EXPECT_FALSE(anyMapped(memory, kAlignment));
    }
    EXPECT_EQ(mapAligned(0, kAlignment), nullptr);
    EXPECT_EQ(mapAligned(SIZE_MAX, kAlignment), nullptr);
}

} // namespace
} // namespace quillmere::platform
