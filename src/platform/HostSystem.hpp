#pragma once

#include <optional>
#include <string>

namespace quillmere::platform {

// Processors this process may run on (its affinity mask), at least 1.
int activeProcessorCount();

// Whether the current user may read the item at `path` (access(2) with R_OK).
bool isReadableFile(const std::string& path);

// The process's working folder, "/" when it cannot be read.
std::string currentDirectory();

// The current user's home folder: $HOME, else the password database, else "/".
std::string homeDirectory();

// Seconds since 1970 moved by whole calendar years in local time. The 29th of February
// lands on the 28th in a year without it. Nothing when the date cannot be represented.
std::optional<double> addingYears(double date, int years);

} // namespace quillmere::platform
