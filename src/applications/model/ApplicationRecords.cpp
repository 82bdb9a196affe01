#include "applications/model/ApplicationRecords.hpp"

#include "scan/ScannableVolume.hpp"

namespace quillmere {

bool LeftoverItem::displayOrder(const LeftoverItem& a, const LeftoverItem& b) {
    if (a.group != b.group) return static_cast<int>(a.group) < static_cast<int>(b.group);
    if (a.allocatedSize != b.allocatedSize) return a.allocatedSize > b.allocatedSize;
    return localizedStandardCompare(a.name, b.name) < 0;
}

std::string_view LeftoverItem::rawValue(Group group) {
    switch (group) {
    case Group::application:
        return "The application";
    case Group::soundLibrariesAndContent:
        return "Sound libraries & content";
    case Group::supportAndContainers:
        return "Support & containers";
    case Group::cachesPreferencesAndState:
        return "Caches, preferences & state";
    }
    return {};
}

std::optional<LeftoverItem::Group> LeftoverItem::groupFromRawValue(std::string_view rawValue) {
    for (const Group candidate : {Group::application, Group::soundLibrariesAndContent,
                                  Group::supportAndContainers, Group::cachesPreferencesAndState})
        if (LeftoverItem::rawValue(candidate) == rawValue) return candidate;
    return std::nullopt;
}

std::vector<LeftoverItem> LeftoverAttribution::itemsIn(LeftoverItem::Group group) const {
    std::vector<LeftoverItem> result;
    for (const LeftoverItem& item : items)
        if (item.group == group) result.push_back(item);
    return result;
}

std::optional<double> OrphanLeftoverGroup::latestTouch() const {
    std::optional<double> latest;
    for (const OrphanEntry& entry : entries)
        if (entry.lastTouched && (!latest || *entry.lastTouched > *latest)) latest = entry.lastTouched;
    return latest;
}

int64_t OrphanLeftoverGroup::totalBytes() const {
    int64_t total = 0;
    for (const OrphanEntry& entry : entries)
        total += entry.allocatedSize;
    return total;
}

std::string OrphanLeftoverGroup::id() const {
    std::string result = guessedAppName.value_or("unmatched");
    result += ':';
    if (!entries.empty()) result += entries.front().path;
    return result;
}

} // namespace quillmere
