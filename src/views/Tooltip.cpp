#include "views/Tooltip.hpp"

#include <algorithm>

namespace quillmere::views {

SizeD tooltipSize(const TooltipContent& content, const TextMeasurer& measure) {
    double width = 0;
    double height = 0;
    for (std::size_t i = 0; i < content.lines.size(); ++i) {
        const TooltipLine& line = content.lines[i];
        const TextSize size = measure(line.text, line.fontSize, line.weight);
        width = std::max(width, size.width);
        height += size.height + (i > 0 ? kTooltipLineSpacing : 0);
    }
    return {width + 2 * kTooltipMarginX, height + 2 * kTooltipMarginY};
}

PointD tooltipCenter(PointD pointer, double viewWidth) {
    constexpr double kAcross = 104;
    constexpr double kUp = 43;
    const double x = pointer.x + kAcross <= viewWidth ? pointer.x + kAcross : pointer.x - kAcross;
    const double y = pointer.y - kUp >= 0 ? pointer.y - kUp : pointer.y + kUp;
    return {x, y};
}

} // namespace quillmere::views
