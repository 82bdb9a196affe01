#include "views/TreemapPresentation.hpp"

#include "base/Format.hpp"
#include "views/ColorMath.hpp"
#include "views/Formatters.hpp"

#include <algorithm>

namespace quillmere::views {

std::optional<TreemapLabel> treemapLabel(const TreemapTile& tile, const TextMeasurer& measure) {
    const RectD r = tile.rect.inset(kTreemapTileGap);
    if (r.isEmpty()) return std::nullopt;
    // Texts have no negative size, so a rectangle narrower or lower than the padding alone can
    // never hold a label: most tiles of a huge folder are refused here without measuring.
    if (r.width < 2 * kTreemapLabelPadding || r.height < 2 * kTreemapLabelPadding + 2) return std::nullopt;
    TreemapLabel label;
    label.name = tile.name;
    label.sizeText = formatByteCount(std::max<int64_t>(tile.allocatedSize, 0));
    label.nameSize = measure(label.name, kTreemapNameFontSize, FontWeight::semibold);
    label.sizeSize = measure(label.sizeText, kTreemapSizeFontSize, FontWeight::regular);
    const double padding = 2 * kTreemapLabelPadding;
    if (std::max(label.nameSize.width, label.sizeSize.width) + padding > r.width) return std::nullopt;
    if (label.nameSize.height + label.sizeSize.height + 2 + padding > r.height) return std::nullopt;
    label.nameOrigin = {r.x + kTreemapLabelPadding, r.y + kTreemapLabelPadding};
    label.sizeOrigin = {r.x + kTreemapLabelPadding, r.y + kTreemapLabelPadding + label.nameSize.height + 2};
    label.darkText = prefersDarkText(tile.hue, tile.saturation, tile.brightness);
    return label;
}

TooltipContent treemapTooltip(const TreemapTile& tile, int64_t folderBytes) {
    TooltipContent content;
    content.lines.push_back({tile.name, 12, FontWeight::semibold, TextRole::primary});
    content.lines.push_back({formatByteCount(std::max<int64_t>(tile.allocatedSize, 0)), 11,
                             FontWeight::regular, TextRole::secondary});
    if (folderBytes >= 1)
        content.lines.push_back({formatPercentOneDecimal(static_cast<double>(tile.allocatedSize) /
                                                         static_cast<double>(folderBytes) * 100) +
                                     " of this folder",
                                 10.5, FontWeight::regular, TextRole::tertiary});
    return content;
}

TreemapClick TreemapClicks::click(const TreemapTile* tile) {
    if (!tile || !tile->node) return {};
    const bool isDouble = tracker_.registerClick(tile->id());
    TreemapClick result;
    result.select = tile->node;
    if (isDouble && tile->node->isDirectory()) result.drill = tile->node;
    return result;
}

} // namespace quillmere::views
