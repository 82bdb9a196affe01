#include "platform/AlignedMapping.hpp"

#include <cstdint>
#include <sys/mman.h>

namespace quillmere::platform {

void* mapAligned(std::size_t bytes, std::size_t alignment) noexcept {
    if (bytes == 0 || alignment == 0 || bytes > SIZE_MAX - alignment) return nullptr;
    // Mapped one alignment over, then trimmed at both ends to the aligned range.
    const std::size_t spanned = bytes + alignment;
    void* mapped = ::mmap(nullptr, spanned, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    auto* const start = static_cast<unsigned char*>(mapped);
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    auto* const aligned = start + ((alignment - (address & (alignment - 1))) & (alignment - 1));
    if (aligned > start) ::munmap(start, static_cast<std::size_t>(aligned - start));
    auto* const end = aligned + bytes;
    if (end < start + spanned) ::munmap(end, static_cast<std::size_t>(start + spanned - end));
    return aligned;
}

void unmapAligned(void* start, std::size_t bytes) noexcept {
    if (start) ::munmap(start, bytes);
}

} // namespace quillmere::platform
