#pragma once

#include "platform/ScanHost.hpp"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillmere {

inline constexpr size_t kListingBufferSize = 64 * 1024;

// Reads every entry of the open folder `fd` and hands each name but "." and ".." to `visit`.
// False when reading failed part-way (the names read so far have been handed on).
bool readDirectoryEntries(platform::ScanHost& host, int fd, char* buffer, size_t size,
                          const std::function<void(const char* name)>& visit);

// The names of a folder's entries that are not hidden, sorted; nothing when it cannot be
// opened or read. The folder's own path is not followed if it is a link.
std::optional<std::vector<std::string>> listVisibleNames(platform::ScanHost& host, const std::string& folder);

} // namespace quillmere
