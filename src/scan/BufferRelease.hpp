#pragma once

// Freeing a large buffer whose pages should leave at once.
#include "platform/PopulatedMemory.hpp"

#include <cstddef>

namespace quillmere {

// Empties `buffer` and gives a large one's pages back to the system, its allocation kept until
// the buffer goes (so that what is allocated meanwhile is not placed where it was).
template <class Buffer> void releaseContents(Buffer& buffer) noexcept {
    // Four pages and up: the names and records of finished folders of a few hundred entries
    // otherwise stay backed in each worker's heap, some 2 B per entry of a scan.
    constexpr std::size_t kReleasedFrom = 16 * 1024;
    const std::size_t bytes = buffer.capacity() * sizeof(*buffer.data());
    // Emptied first: released pages read as zeros, and an element that still owns something
    // (a node folded into its folder's aggregate, never moved out) would then let it leak.
    buffer.clear();
    if (bytes >= kReleasedFrom) platform::releasePagesWithin(buffer.data(), bytes);
}

// Frees `buffer` (a vector or string). A large one's pages go back to the system at once: the
// allocator keeps the pages of what it frees backed, for whichever thread next allocates from
// the same heap, so a scan's finished work would otherwise still be resident as its tree is
// built from memory of its own.
template <class Buffer> void giveBack(Buffer& buffer) noexcept {
    releaseContents(buffer);
    Buffer().swap(buffer);
}

} // namespace quillmere
