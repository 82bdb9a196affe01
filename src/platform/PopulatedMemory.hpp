#pragma once

#include <cstddef>

namespace quillmere::platform {

// Backs the pages of [start, start + bytes) with memory in one call, as their first writes
// would one fault at a time (on a virtual machine each fault costs as much again as the page
// itself). Pages already backed keep what they hold. `start` is page-aligned. False when the
// kernel cannot (before 5.14): the first writes then fault as usual.
bool populateForWriting(void* start, std::size_t bytes) noexcept;

// Gives the pages of [start, start + bytes) back to the system; they read as zeros after, and
// are backed again by their next write. `start` is page-aligned. A huge page partly released
// is split, and only its released part goes.
void releasePages(void* start, std::size_t bytes) noexcept;

// Gives back every whole page inside [start, start + bytes), which need not be aligned: for a
// large buffer about to be freed, whose pages the allocator would otherwise keep backed until
// it hands them out again. The buffer's contents are lost.
void releasePagesWithin(void* start, std::size_t bytes) noexcept;

} // namespace quillmere::platform
