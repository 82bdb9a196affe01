#pragma once

#include <cstddef>
#include <expected>
#include <string>

namespace quillmere::platform {

enum class BoundedReadError {
    // Missing, not a regular file, or a read that failed.
    unreadable,
    // Holds more than the bound allows.
    tooLarge,
};

// The whole content of the regular file at `path` (a final symbolic link followed) when it
// holds at most `maxBytes`. The file is opened without blocking, so that a FIFO in its place
// cannot stall the caller, and a file that grows while it is read is still refused. Files
// that report no size (those under /proc) are read to their end within the same bound.
std::expected<std::string, BoundedReadError> readBoundedFile(const std::string& path, size_t maxBytes);

} // namespace quillmere::platform
