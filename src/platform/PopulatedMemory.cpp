#include "platform/PopulatedMemory.hpp"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

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

void releasePagesWithin(void* start, std::size_t bytes) noexcept {
    static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto from = (reinterpret_cast<std::uintptr_t>(start) + page - 1) & ~(page - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(page - 1);
    if (to > from) releasePages(reinterpret_cast<void*>(from), to - from);
}

} // namespace quillmere::platform
