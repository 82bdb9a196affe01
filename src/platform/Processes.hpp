#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillmere::platform {

// The executables (as /proc/<pid>/exe names them, links resolved) of the running processes
// that belong to this user. Processes that end while being read are skipped.
std::vector<std::string> ownProcessExecutables();

// The bytes an unprivileged user may still write on the file system holding `path`
// (statvfs: f_bavail × f_frsize); nothing when it cannot be read.
std::optional<int64_t> availableBytesAt(const std::string& path);

} // namespace quillmere::platform
