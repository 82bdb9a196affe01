#pragma once

#include <optional>
#include <string>

namespace quillmere::platform {

// The account name of the user who owns the item at `path` itself (a final symbolic link is
// not followed); none when the item cannot be examined or its owner has no account name.
std::optional<std::string> ownerAccountName(const std::string& path);

} // namespace quillmere::platform
