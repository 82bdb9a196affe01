#include "views/SunburstTexts.hpp"

#include "scan/Format.hpp"
#include "views/Formatters.hpp"

#include <algorithm>
#include <cmath>

namespace quillmere::views {

std::vector<HubLine> hubLines(const std::optional<std::string>& parentName, const std::string& volumeName,
                              double displayedUsedBytes, int64_t totalCapacityBytes) {
    if (parentName) {
        return {
            {sunburst_text::kBack, 10.5, FontWeight::semibold, TextRole::secondary, -11, 0.6, false},
            {*parentName, 16, FontWeight::semibold, TextRole::primary, 10, 0, false},
        };
    }
    const auto used = static_cast<int64_t>(std::max(std::round(displayedUsedBytes), 0.0));
    return {
        {volumeName, 14, FontWeight::semibold, TextRole::primary, -15, 0, false},
        {formatByteCount(used), 20, FontWeight::bold, TextRole::primary, 5, 0, true},
        {sunburst_text::kUsedOf + formatByteCount(std::max<int64_t>(totalCapacityBytes, 0)), 11,
         FontWeight::regular, TextRole::secondary, 21, 0, false},
    };
}

TooltipContent segmentTooltip(const SunburstSegment& segment, int64_t usedBytes) {
    TooltipContent content;
    content.lines.push_back({segment.name, 12, FontWeight::semibold, TextRole::primary});
    content.lines.push_back({formatByteCount(std::max<int64_t>(segment.allocatedSize, 0)), 11,
                             FontWeight::regular, TextRole::secondary});
    if (usedBytes >= 1) {
        const double share =
            static_cast<double>(segment.allocatedSize) / static_cast<double>(usedBytes) * 100;
        content.lines.push_back({formatPercentOneDecimal(share) + sunburst_text::kOfUsedSpace, 10.5,
                                 FontWeight::regular, TextRole::tertiary});
    }
    return content;
}

TooltipContent capacityGaugeTooltip(int64_t usedBytes, int64_t totalCapacityBytes) {
    const int64_t free = std::max<int64_t>(totalCapacityBytes - usedBytes, 0);
    TooltipContent content;
    content.lines.push_back(
        {formatByteCount(free) + sunburst_text::kFree, 12, FontWeight::semibold, TextRole::primary});
    content.lines.push_back({formatByteCount(std::max<int64_t>(usedBytes, 0)) + sunburst_text::kUsedOfJoin +
                                 formatByteCount(std::max<int64_t>(totalCapacityBytes, 0)),
                             11, FontWeight::regular, TextRole::secondary});
    return content;
}

} // namespace quillmere::views
