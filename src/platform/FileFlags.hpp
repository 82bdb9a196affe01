#pragma once

#include <string>

namespace quillmere::platform {

// Whether the item at `path` itself carries the immutable attribute (chattr +i), read with
// statx without following a final symbolic link and without opening the item. False when
// the item cannot be examined or the file system does not report the attribute.
bool isImmutableItem(const std::string& path);

} // namespace quillmere::platform
