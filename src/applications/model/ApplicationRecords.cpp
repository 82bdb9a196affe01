#include "applications/model/ApplicationRecords.hpp"

#include "scan/ScannableVolume.hpp"

namespace quillmere {

bool LeftoverItem::displayOrder(const LeftoverItem& a, const LeftoverItem& b) {
    if (a.group != b.group) return static_cast<int>(a.group) < static_cast<int>(b.group);
    if (a.allocatedSize != b.allocatedSize) return a.allocatedSize > b.allocatedSize;
    return localizedStandardCompare(a.name, b.name) < 0;
}

std::string OrphanLeftoverGroup::id() const {
    std::string result = guessedAppName.value_or("unmatched");
    result += ':';
    if (!entries.empty()) result += entries.front().path;
    return result;
}

} // namespace quillmere
