#pragma once

// Hand-made records for the Applications tests that need no disk.

#include "applications/model/ApplicationRecords.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace quillmere::testing {

// An item named after the last component of `path`.
inline LeftoverItem item(std::string path, LeftoverItem::Group group, int64_t bytes,
                         std::optional<std::string> sharedWith = {}) {
    LeftoverItem result;
    result.name = path.substr(path.rfind('/') + 1);
    result.path = std::move(path);
    result.group = group;
    result.allocatedSize = bytes;
    result.sharedWithAppName = std::move(sharedWith);
    return result;
}

// An application called "Foo".
inline InstalledApp app(std::string path, int64_t bytes, bool isProtected = false) {
    InstalledApp result;
    result.name = "Foo";
    result.path = std::move(path);
    result.allocatedSize = bytes;
    result.isProtected = isProtected;
    return result;
}

} // namespace quillmere::testing
