#include "platform/PopulatedMemory.hpp"

#include <sys/mman.h>

namespace quillmere::platform {

bool populateForWriting(void* start, std::size_t bytes) noexcept {
#ifdef MADV_POPULATE_WRITE
    return ::madvise(start, bytes, MADV_POPULATE_WRITE) == 0;
#else
    (void)start;
    (void)bytes;
    return false;
#endif
}

void releasePages(void* start, std::size_t bytes) noexcept {
    ::madvise(start, bytes, MADV_DONTNEED);
}

} // namespace quillmere::platform
