#include "views/SunburstTexts.hpp"

#include "base/Format.hpp"
#include "views/Formatters.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace quillmere::views {

namespace {

// Room for a line of the hub: the chord at its height, less a margin on each side.
double hubWidthAt(double centerY, double fontSize) {
    constexpr double kMargin = 8;
    const double edge = std::abs(centerY) + fontSize / 2;
    return 2 * std::sqrt(std::max(kHubRadius * kHubRadius - edge * edge, 0.0)) - 2 * kMargin;
}

std::string fitted(const std::string& name, double centerY, double fontSize, const TextMeasurer* measure) {
    return measure ? elided(name, hubWidthAt(centerY, fontSize), fontSize, FontWeight::semibold, *measure)
                   : name;
}

} // namespace

std::string elided(const std::string& text, double maxWidth, double fontSize, FontWeight weight,
                   const TextMeasurer& measure) {
    if (measure(text, fontSize, weight).width <= maxWidth) return text;
    static constexpr std::string_view kEllipsis = "\u2026";
    // Shortest first would measure every length; halve the number of characters kept instead.
    std::vector<std::size_t> starts; // byte offsets where a character begins
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    const auto withKept = [&](std::size_t count) {
        return text.substr(0, count < starts.size() ? starts[count] : text.size()) + std::string(kEllipsis);
    };
    std::size_t low = 0, high = starts.size();
    while (low < high) {
        const std::size_t mid = (low + high + 1) / 2;
        if (measure(withKept(mid), fontSize, weight).width <= maxWidth)
            low = mid;
        else
            high = mid - 1;
    }
    return withKept(low);
}

std::vector<HubLine> hubLines(const std::optional<std::string>& parentName, const std::string& volumeName,
                              double displayedUsedBytes, int64_t totalCapacityBytes,
                              const TextMeasurer* measure) {
    if (parentName) {
        return {
            {sunburst_text::kBack, 10.5, FontWeight::semibold, TextRole::secondary, -11, 0.6, false},
            {fitted(*parentName, 10, 16, measure), 16, FontWeight::semibold, TextRole::primary, 10, 0, false},
        };
    }
    const auto used = static_cast<int64_t>(std::max(std::round(displayedUsedBytes), 0.0));
    return {
        {fitted(volumeName, -15, 14, measure), 14, FontWeight::semibold, TextRole::primary, -15, 0, false},
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
