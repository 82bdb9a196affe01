#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quillmere::platform {

// At most this many names are read from one folder; the rest of a larger folder is left out.
inline constexpr size_t kFolderListingMaxNames = 200000;

enum class HiddenNames { skipped, included };

// The names in the folder at `path` (following a final symbolic link), without "." names
// (hidden on Linux) unless asked for, never "." and "..", sorted by their bytes so that "first
// in listing order" is reproducible. Nothing when the folder cannot be opened or read.
std::optional<std::vector<std::string>> listFolderNames(const std::string& path,
                                                        HiddenNames hidden = HiddenNames::skipped);

// Whether the item at `path` itself (not a link's target) is a directory, by lstat.
bool isDirectoryItem(const std::string& path);
// Whether anything exists at `path`, following symbolic links (a dangling link does not), by stat.
bool itemExists(const std::string& path);
// The item's own modification time (lstat), in seconds since 1970.
std::optional<double> itemModificationDate(const std::string& path);
// The item's own allocated bytes (lstat blocks of 512 bytes).
std::optional<long long> itemAllocatedBytes(const std::string& path);

} // namespace quillmere::platform
