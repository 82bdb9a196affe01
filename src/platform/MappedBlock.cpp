#include "platform/MappedBlock.hpp"

#include "platform/AlignedMapping.hpp"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace quillmere::platform {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t pageSize() {
    static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return page;
}

std::size_t roundedUp(std::size_t bytes, std::size_t unit) {
    return (bytes + unit - 1) / unit * unit;
}

} // namespace

MappedBlock MappedBlock::map(std::size_t bytes, bool hugePages) {
    if (bytes == 0 || bytes > SIZE_MAX - 2 * kHugePage) return {};
    if (!hugePages) {
        const std::size_t size = roundedUp(bytes, pageSize());
        void* const data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (data == MAP_FAILED) return {};
        // Where the kernel backs every large enough mapping with huge pages, this one still is not.
        ::madvise(data, size, MADV_NOHUGEPAGE);
        return MappedBlock(static_cast<unsigned char*>(data), size, false);
    }
    const std::size_t size = roundedUp(bytes, kHugePage);
    // Aligned to a huge page: the kernel backs only whole, aligned 2 MB ranges with huge pages.
    auto* const aligned = static_cast<unsigned char*>(mapAligned(size, kHugePage));
    if (!aligned) return {};
    // Only a hint: where the kernel has huge pages off, the block works with small ones.
    ::madvise(aligned, size, MADV_HUGEPAGE);
    return MappedBlock(aligned, size, true);
}

void MappedBlock::prefault() const noexcept {
    // One write a page, each fault on its own: asking the kernel to back the whole block at once
    // would hold the memory map's lock throughout, which the main thread needs to map memory.
    // The block is fresh, so writing zero keeps it blank. Where huge pages back it, all but the
    // first write of each are plain writes; where the kernel has them off, each page needs its own.
    for (std::size_t offset = 0; offset < size_; offset += pageSize())
        static_cast<volatile unsigned char*>(data_)[offset] = 0;
}

void MappedBlock::unmap() noexcept {
    if (data_) unmapAligned(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

} // namespace quillmere::platform
