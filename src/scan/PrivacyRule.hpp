#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// The folders that the platform's privacy protection guards: media-library packages
// wherever they lie, the home folder's Desktop, Documents and Downloads themselves, and
// the home folder's container folders with each folder directly inside them. While
// Full Disk Access is missing the walker records them as denied instead of reading them.
bool isPrivacyProtectedPath(std::string_view path, std::string_view home);

// Whether a folder of this name is a protected media-library package wherever it lies.
bool isProtectedPackageName(std::string_view name);

// The folders below `home` the rule names by place (the containers' own children are
// protected too), lexically standardized.
std::vector<std::string> privacyProtectedFolders(std::string_view home);

// False for a relative path; true with no home folders; otherwise whether the path is
// protected under none of them.
bool isOutsidePrivacyProtectedPaths(std::string_view path, const std::vector<std::string>& homeDirectories);

} // namespace quillmere
