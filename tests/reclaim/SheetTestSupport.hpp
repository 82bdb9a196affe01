#pragma once

// Records for the confirmation sheet's tests: categories, applications, leftovers and orphans.

#include "reclaim/ReclaimTarget.hpp"

#include <string>
#include <vector>

namespace quillmere::testing {

inline SystemDataCategory category(const std::string& id, const std::string& name, int64_t size,
                                   std::optional<SystemDataReclaimAction> action = std::nullopt) {
    SystemDataCategory c;
    c.id = id;
    c.name = name;
    c.sizeBytes = size;
    c.explanation = "About " + name + ".";
    c.isReclaimable = action.has_value();
    c.reclaimAction = std::move(action);
    return c;
}

inline LeftoverItem leftover(const std::string& name, const std::string& path, LeftoverItem::Group group,
                             int64_t size, std::optional<std::string> sharedWith = std::nullopt,
                             int64_t cloudOnly = 0) {
    LeftoverItem item;
    item.name = name;
    item.path = path;
    item.group = group;
    item.allocatedSize = size;
    item.cloudOnlyCount = cloudOnly;
    item.sharedWithAppName = std::move(sharedWith);
    return item;
}

inline InstalledApp app(const std::string& name, const std::string& path = "/opt/Tide.app",
                        int64_t size = 50) {
    InstalledApp a;
    a.name = name;
    a.path = path;
    a.allocatedSize = size;
    return a;
}

inline OrphanEntry orphan(const std::string& name, const std::string& path, int64_t size) {
    OrphanEntry e;
    e.name = name;
    e.path = path;
    e.allocatedSize = size;
    return e;
}

} // namespace quillmere::testing
