#pragma once

#include "views/Geometry.hpp"
#include "views/TextMeasure.hpp"

#include <string>
#include <vector>

namespace quillmere::views {

// Which of the platform's text styles a line uses.
enum class TextRole { primary, secondary, tertiary, quaternary };

struct TooltipLine {
    std::string text;
    double fontSize = 11;
    FontWeight weight = FontWeight::regular;
    TextRole role = TextRole::primary;
    bool operator==(const TooltipLine&) const = default;
};

// A tooltip of the drawn views: lines stacked at the leading edge, 2 points apart, inside
// margins of 10 points across and 7 points down, each line on one line at most.
struct TooltipContent {
    std::vector<TooltipLine> lines;
    bool operator==(const TooltipContent&) const = default;
};

inline constexpr double kTooltipMarginX = 10;
inline constexpr double kTooltipMarginY = 7;
inline constexpr double kTooltipLineSpacing = 2;
inline constexpr double kTooltipCornerRadius = 8;

// The tooltip's ideal size for its measured lines.
SizeD tooltipSize(const TooltipContent& content, const TextMeasurer& measure);

// Where the tooltip's centre goes for a pointer at `pointer` in a view `viewWidth` wide: 104
// points to the right and 43 up (14 points from the pointer plus half a nominal 180 × 58
// tooltip), flipped to the left at the right edge and below at the top edge.
PointD tooltipCenter(PointD pointer, double viewWidth);

} // namespace quillmere::views
