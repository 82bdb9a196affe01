#pragma once

#include "scan/FileNode.hpp"
#include "views/Geometry.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillmere::views {

// An axis-aligned rectangle in a view's local coordinates (origin top left, y down).
struct RectD {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const RectD&) const = default;

    bool contains(PointD p) const { return p.x >= x && p.x <= x + width && p.y >= y && p.y <= y + height; }
    RectD inset(double by) const { return {x + by, y + by, width - 2 * by, height - 2 * by}; }
    bool isEmpty() const { return width <= 0 || height <= 0; }
};

// One laid-out child of the treemap.
struct TreemapTile {
    // The child the tile stands for, aggregate or not.
    FileNode item;
    // Absent for an aggregate: it is drawn and explained, but cannot be chosen.
    std::optional<FileNode> node;
    std::string name;
    int64_t allocatedSize = 0;
    RectD rect;
    // Degrees from 44 (largest) down towards −32 (smallest), not normalised.
    double hue = 0;
    double saturation = 0.72;
    double brightness = 0.9;

    // The tile's identity, the item's path: built on demand, since making 100,000 paths would
    // cost more than laying the tiles out.
    std::string id() const { return item.path(); }
};

// The squarified treemap of one folder's direct children: areas proportional to allocated
// bytes, rows chosen to keep tiles as square as possible.
namespace treemap {

// The tiles of `children` in `bounds`, in placement order. Children of 0 or fewer bytes get
// no tile; a bounds of 1 point or less in either direction gives none at all. Once `cancelled`
// is set (a worker's layout that a newer one overtook) it stops between rows, and the tiles it
// returns are incomplete, for the caller to drop.
std::vector<TreemapTile> layout(std::span<const FileNode> children, RectD bounds,
                                const std::atomic<bool>* cancelled = nullptr);

// Whether work given `cancelled` (or none) is no longer wanted.
inline bool isCancelled(const std::atomic<bool>* cancelled) {
    return cancelled && cancelled->load(std::memory_order_relaxed);
}

// The worse of a row's two extreme aspect ratios when its areas are laid along `side`;
// infinite for an empty row, a row with an area of 0 or less, or a side of 0 or less.
double worstAspectRatio(std::span<const double> areas, double side);

// The first tile (in placement order) whose rectangle holds `point`.
const TreemapTile* tileAt(std::span<const TreemapTile> tiles, PointD point);

} // namespace treemap

// The tiles of the last layout, kept for as long as the folder (the same tree) and the size
// stay the same: hovering and repainting then cost no layout work.
class TreemapTileCache {
public:
    const std::vector<TreemapTile>& tiles(const FileNode& root, SizeD size);
    // The same tiles, shared with work that outlives this evaluation (a background paint).
    std::shared_ptr<const std::vector<TreemapTile>> sharedTiles(const FileNode& root, SizeD size);
    // Whether the tiles for this tree and size are at hand.
    bool holds(const FileNode& root, SizeD size) const {
        return root_ && root_->sharesNodeWith(root) && size_ == size;
    }
    // Takes tiles laid out elsewhere (on a worker thread) for this tree and size.
    void adopt(const FileNode& root, SizeD size, std::shared_ptr<const std::vector<TreemapTile>> tiles);
    // How many layouts were computed or adopted (for tests and benchmarks).
    int layoutCount() const { return layoutCount_; }

private:
    std::optional<FileNode> root_;
    SizeD size_;
    std::shared_ptr<const std::vector<TreemapTile>> tiles_ =
        std::make_shared<const std::vector<TreemapTile>>();
    int layoutCount_ = 0;
};

} // namespace quillmere::views
