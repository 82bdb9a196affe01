#pragma once

#include <cstddef>

namespace quillmere::platform {

// `bytes` of fresh anonymous memory starting at a multiple of `alignment` (a power of two and a
// whole number of pages), in a mapping of its own: no allocator writes anything beside it, and
// unmapping it gives every page back. Null when the system has none to map.
[[nodiscard]] void* mapAligned(std::size_t bytes, std::size_t alignment) noexcept;

// Gives back memory from mapAligned.
void unmapAligned(void* start, std::size_t bytes) noexcept;

} // namespace quillmere::platform
