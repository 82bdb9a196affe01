#include "views/TreemapLayout.hpp"

#include <algorithm>
#include <limits>

namespace quillmere::views::treemap {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct SizedChild {
    const FileNode* node;
    int64_t size;
    double midFraction;
};

// A row being grown, with the sums the aspect ratio needs kept as children join, so each
// trial costs constant time instead of a pass over the row.
struct RowStats {
    double sum = 0;
    double smallest = kInfinity;
    double largest = 0;

    RowStats adding(double area) const {
        return {sum + area, std::min(smallest, area), std::max(largest, area)};
    }
    double worst(double side) const {
        if (side <= 0 || sum <= 0 || smallest <= 0) return kInfinity;
        const double w2 = side * side;
        const double s2 = sum * sum;
        return std::max(w2 * largest / s2, s2 / (w2 * smallest));
    }
};

void placeRow(std::span<const SizedChild> row, std::span<const double> areas, RectD& remaining,
              std::vector<TreemapTile>& tiles, double thickness) {
    const bool alongTop = remaining.height > remaining.width;
    double offset = alongTop ? remaining.x : remaining.y;
    for (size_t i = 0; i < row.size(); ++i) {
        const double extent = thickness > 0 ? areas[i] / thickness : 0;
        RectD rect = alongTop ? RectD{offset, remaining.y, extent, thickness}
                              : RectD{remaining.x, offset, thickness, extent};
        offset += extent;
        const FileNode& node = *row[i].node;
        TreemapTile tile;
        tile.item = node;
        if (!node.isAggregate()) tile.node = node;
        tile.name = std::string(node.name());
        tile.allocatedSize = row[i].size;
        tile.rect = rect;
        tile.hue = 44 - 76 * row[i].midFraction;
        tiles.push_back(std::move(tile));
    }
    if (alongTop) {
        remaining.y += thickness;
        remaining.height -= thickness;
    } else {
        remaining.x += thickness;
        remaining.width -= thickness;
    }
}

void squarify(std::span<const SizedChild> children, int64_t total, std::vector<TreemapTile>& tiles,
              RectD rect, const std::atomic<bool>* cancelled) {
    // One scale for the whole rectangle, so the tiles' areas add up to it.
    const double scale = rect.width * rect.height / static_cast<double>(total);
    std::vector<double> areas;
    areas.reserve(children.size());
    for (const SizedChild& child : children)
        areas.push_back(scale * static_cast<double>(child.size));

    size_t next = 0;
    while (next < children.size() && !isCancelled(cancelled)) {
        const double side = std::min(rect.width, rect.height);
        if (side <= 0) break;
        size_t end = next + 1;
        RowStats row = RowStats{}.adding(areas[next]);
        double worst = row.worst(side);
        while (end < children.size()) {
            const RowStats candidate = row.adding(areas[end]);
            const double candidateWorst = candidate.worst(side);
            if (!(candidateWorst <= worst)) break; // a tie joins the row
            row = candidate;
            worst = candidateWorst;
            ++end;
        }
        const double thickness = row.sum / side;
        placeRow(children.subspan(next, end - next), std::span(areas).subspan(next, end - next), rect, tiles,
                 thickness);
        next = end;
    }
}

} // namespace

double worstAspectRatio(std::span<const double> areas, double side) {
    if (areas.empty()) return kInfinity;
    RowStats row;
    for (double area : areas)
        row = row.adding(area);
    return row.worst(side);
}

std::vector<TreemapTile> layout(std::span<const FileNode> children, RectD bounds,
                                const std::atomic<bool>* cancelled) {
    if (isCancelled(cancelled)) return {};
    std::vector<SizedChild> sized;
    for (const FileNode& child : children)
        if (child.allocatedSize() > 0) sized.push_back({&child, child.allocatedSize(), 0});
    if (sized.empty() || bounds.width <= 1 || bounds.height <= 1) return {};
    std::stable_sort(sized.begin(), sized.end(),
                     [](const SizedChild& a, const SizedChild& b) { return a.size > b.size; });
    if (isCancelled(cancelled)) return {};
    int64_t total = 0;
    for (const SizedChild& child : sized)
        total += child.size;
    if (total < 1) return {};
    int64_t cumulative = 0;
    for (SizedChild& child : sized) {
        child.midFraction = (static_cast<double>(cumulative) + static_cast<double>(child.size) / 2) /
                            static_cast<double>(total);
        cumulative += child.size;
    }
    std::vector<TreemapTile> tiles;
    tiles.reserve(sized.size());
    squarify(sized, total, tiles, bounds, cancelled);
    return tiles;
}

const TreemapTile* tileAt(std::span<const TreemapTile> tiles, PointD point) {
    for (const TreemapTile& tile : tiles)
        if (tile.rect.contains(point)) return &tile;
    return nullptr;
}

} // namespace quillmere::views::treemap

namespace quillmere::views {

const std::vector<TreemapTile>& TreemapTileCache::tiles(const FileNode& root, SizeD size) {
    return *sharedTiles(root, size);
}

void TreemapTileCache::adopt(const FileNode& root, SizeD size,
                             std::shared_ptr<const std::vector<TreemapTile>> tiles) {
    tiles_ = std::move(tiles);
    root_ = root;
    size_ = size;
    ++layoutCount_;
}

std::shared_ptr<const std::vector<TreemapTile>> TreemapTileCache::sharedTiles(const FileNode& root,
                                                                              SizeD size) {
    if (!holds(root, size)) {
        tiles_ = std::make_shared<const std::vector<TreemapTile>>(
            treemap::layout(root.children(), RectD{0, 0, size.width, size.height}));
        root_ = root;
        size_ = size;
        ++layoutCount_;
    }
    return tiles_;
}

} // namespace quillmere::views
