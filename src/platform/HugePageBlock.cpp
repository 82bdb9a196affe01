#include "platform/HugePageBlock.hpp"

#include "platform/AlignedMapping.hpp"
#include "platform/PopulatedMemory.hpp"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace quillmere::platform {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t roundedUp(std::size_t bytes, std::size_t unit) {
    return (bytes + unit - 1) / unit * unit;
}

} // namespace

HugePageBlock HugePageBlock::map(std::size_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX - 2 * kHugePage) return {};
    const std::size_t size = roundedUp(bytes, kHugePage);
    // Aligned to a huge page: the kernel backs only whole, aligned 2 MB ranges with huge pages.
    auto* const aligned = static_cast<unsigned char*>(mapAligned(size, kHugePage));
    if (!aligned) return {};
    // Only a hint: where the kernel has huge pages off, the block works with small ones.
    ::madvise(aligned, size, MADV_HUGEPAGE);
    return HugePageBlock(aligned, size);
}

void HugePageBlock::prefault() const noexcept {
    if (!data_) return;
    if (populateForWriting(data_, size_)) return;
    // Kernels before 5.14: one write a page. The block is fresh, so writing zero keeps it blank.
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    for (std::size_t offset = 0; offset < size_; offset += page)
        static_cast<volatile unsigned char*>(data_)[offset] = 0;
}

void HugePageBlock::unmap() noexcept {
    unmapAligned(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

} // namespace quillmere::platform
