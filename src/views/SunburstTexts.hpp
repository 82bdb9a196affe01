#pragma once

#include "views/SunburstLayout.hpp"
#include "views/Tooltip.hpp"

#include <optional>
#include <string>
#include <vector>

namespace quillmere::views {

// The fixed texts of the sunburst, kept in one place.
namespace sunburst_text {
inline constexpr const char* kBack = "\u2039 BACK";
inline constexpr const char* kUsedOf = "used of ";
inline constexpr const char* kOfUsedSpace = " of used space";
inline constexpr const char* kFree = " free";
inline constexpr const char* kUsedOfJoin = " used of ";
} // namespace sunburst_text

// One line of the hub: drawn centred on the hub's vertical axis with its centre `centerY`
// reference units below the centre of the rings.
struct HubLine {
    std::string text;
    double fontSize = 0;
    FontWeight weight = FontWeight::regular;
    TextRole role = TextRole::primary;
    double centerY = 0;
    double letterSpacing = 0;
    // The figure that counts during a transition: its digits keep equal widths.
    bool isFigure = false;
    bool operator==(const HubLine&) const = default;
};

// The hub: "‹ BACK" over the parent's name below the top level, otherwise the volume's name,
// its used bytes (`displayedUsedBytes` rounded, at least 0) and the "used of" line.
// Names too wide for the hub at their height end in "…" (when `measure` is given).
std::vector<HubLine> hubLines(const std::optional<std::string>& parentName, const std::string& volumeName,
                              double displayedUsedBytes, int64_t totalCapacityBytes,
                              const TextMeasurer* measure = nullptr);

// `text`, shortened at its end with "…" until it is at most `maxWidth` wide at `fontSize`
// and `weight`; whole characters only.
std::string elided(const std::string& text, double maxWidth, double fontSize, FontWeight weight,
                   const TextMeasurer& measure);

// The tooltip of an arc: its name, its size and, when the folder holds any bytes, its share.
TooltipContent segmentTooltip(const SunburstSegment& segment, int64_t usedBytes);
// The tooltip of the capacity gauge: the free space, then used of total.
TooltipContent capacityGaugeTooltip(int64_t usedBytes, int64_t totalCapacityBytes);

} // namespace quillmere::views
