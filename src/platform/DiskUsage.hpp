#pragma once

#include <cstdint>
#include <optional>

namespace quillmere::platform {

// The bytes the folder open at `directoryFd` and everything below it occupy on disk, as
// `du -B1 -x` counts them: allocated blocks × 512 of the folder and of every entry, each
// hard-linked inode once, symbolic links not followed, other file systems not entered. Walks
// through descriptors only, holding few of them even on a deep chain. Nothing when the folder
// cannot be read; subfolders that cannot be read count only their own blocks. Does not take
// over the descriptor.
std::optional<int64_t> diskUsageOfDirectory(int directoryFd);

} // namespace quillmere::platform
