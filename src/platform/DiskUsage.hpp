#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <sys/stat.h>

namespace quillmere::platform {

// count × size in bytes (blocks of a file system, say), held at the signed 64-bit limit for
// absurd figures rather than wrapping.
inline int64_t blockBytes(uint64_t count, uint64_t size) {
    uint64_t product = 0;
    constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (__builtin_mul_overflow(count, size, &product) || product > kMax)
        return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(product);
}

// The bytes an item takes on disk: its allocated blocks of 512 bytes, held at the limit as above
// (a file system may report any count at all).
inline int64_t allocatedBytesOf(const struct stat& info) {
    return blockBytes(static_cast<uint64_t>(info.st_blocks), 512);
}

// The bytes the folder open at `directoryFd` and everything below it occupy on disk, as
// `du -B1 -x` counts them: allocated blocks × 512 of the folder and of every entry, each
// hard-linked inode once, symbolic links not followed, other file systems not entered. Walks
// through descriptors only, holding few of them even on a deep chain. Nothing when the folder
// cannot be read; subfolders that cannot be read count only their own blocks. Does not take
// over the descriptor. Walks on up to `threads` threads (0: one per processor, at most 8).
std::optional<int64_t> diskUsageOfDirectory(int directoryFd, int threads = 0);

} // namespace quillmere::platform
