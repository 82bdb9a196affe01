#pragma once

#include "views/ClickTracker.hpp"
#include "views/TextMeasure.hpp"
#include "views/Tooltip.hpp"
#include "views/TreemapLayout.hpp"

#include <optional>
#include <string>

namespace quillmere::views {

inline constexpr double kTreemapTileGap = 1;
inline constexpr double kTreemapCornerRadius = 4;
inline constexpr double kTreemapLabelPadding = 7;
inline constexpr double kTreemapNameFontSize = 12;
inline constexpr double kTreemapSizeFontSize = 10.5;

// A tile's two-line label: where each line's top-left corner goes, and whether it is dark.
struct TreemapLabel {
    std::string name;
    std::string sizeText;
    TextSize nameSize;
    TextSize sizeSize;
    PointD nameOrigin;
    PointD sizeOrigin;
    bool darkText = false;
    bool operator==(const TreemapLabel&) const = default;
};

// The label of a tile when it fits inside the tile's inset rectangle (7 points of padding all
// round, 2 between the lines); none otherwise, and none without measuring when the inset
// rectangle is empty.
std::optional<TreemapLabel> treemapLabel(const TreemapTile& tile, const TextMeasurer& measure);

// Name, size and, when the folder holds any bytes, the tile's share of it.
TooltipContent treemapTooltip(const TreemapTile& tile, int64_t folderBytes);

// What a click on the treemap does.
struct TreemapClick {
    std::optional<FileNode> select;
    // Set for the second click of a double click on a folder.
    std::optional<FileNode> drill;
};

// Single and double clicks on tiles: every click on a node selects it; the second click on
// the same folder within the interval also drills in. Aggregates and empty space are inert
// and leave the click record alone.
class TreemapClicks {
public:
    TreemapClicks(ClickTracker::Clock clock, std::chrono::milliseconds interval)
        : tracker_(std::move(clock), interval) {}
    TreemapClick click(const TreemapTile* tile);

private:
    ClickTracker tracker_;
};

} // namespace quillmere::views
