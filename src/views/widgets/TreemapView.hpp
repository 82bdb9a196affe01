#pragma once

#include "scan/FileNode.hpp"
#include "views/TreemapLayout.hpp"
#include "views/TreemapPresentation.hpp"

#include <QImage>
#include <QPointF>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillmere {

// The disk view "Treemap": the folder's direct children as squarified tiles coloured by
// their rank, labelled where the label fits, with a tooltip on hover. A click selects, a
// double click on a folder drills in.
class TreemapView : public QWidget {
    Q_OBJECT
public:
    struct Actions {
        std::function<void(const std::vector<FileNode>&)> onSelectFolder;
        std::function<void(const FileNode&)> onSelectNode;
    };

    TreemapView(FileNode root, Actions actions, QWidget* parent = nullptr);
    ~TreemapView() override;

    void setRoot(FileNode root);
    const FileNode& root() const { return root_; }
    void setClock(views::ClickTracker::Clock clock);

    // The tiles for the current size (laid out once per tree and size).
    const std::vector<views::TreemapTile>& tiles();
    const std::optional<std::string>& hoveredTileID() const { return hoveredTileID_; }
    std::optional<views::TooltipContent> tooltipContent();
    int layoutCount() const { return cache_.layoutCount(); }
    // Folders with more tiles than this are laid out off the main thread, and until then
    // nothing answers the pointer. Their layer is drawn there too, and so is every layer while
    // the view is on screen; the last layer stands in meanwhile. A hidden view (one rendered by
    // a tool) draws a small folder's layer in place.
    static constexpr size_t kBackgroundLayerTiles = 4000;
    // Whether a layout or layer is being made in the background (tools and tests wait for it).
    bool isDrawingLayer() const { return pendingLayer_.has_value() || pendingLayout_.has_value(); }
    // How many layouts and layers made in the background ran to their end, those a newer
    // request overtook included (tests count what a run of requests costs).
    int backgroundDrawings() const { return backgroundDrawings_; }

signals:
    void layerReady();

public:
    // Pointer handling, also for tests and tools.
    void hoverAt(QPointF point);
    void endHover();
    void tapAt(QPointF point);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    const views::TreemapTile* hoveredTile();
    QRectF tooltipRect();
    const std::optional<views::TreemapLabel>& labelOf(size_t index);
    void updateHoverRegion(const QRectF& before);
    // The layer for the current layout, scheme and pixel ratio; none while it is being drawn.
    const QImage* tilesLayer();
    views::SizeD layoutSize() const;
    bool laysOutInBackground() const { return root_.children().size() > kBackgroundLayerTiles; }
    // Lays the current tree out and draws its layer on a worker thread, once per tree and size.
    void requestLayout();
    // Forgets every background result still on its way and stops the work making it; returns
    // the new generation.
    uint64_t startOver();

    FileNode root_;
    Actions actions_;
    views::TreemapTileCache cache_;
    // The label of the one tile drawn hovered, for the layout and tile it was measured for: a
    // slot per tile would cost a folder of 100,000 items a long fill at its first hover.
    struct HoveredLabel {
        int layout = -1;
        size_t index = 0;
        std::optional<views::TreemapLabel> label;
    };
    HoveredLabel hoveredLabel_;
    views::TreemapClicks clicks_;
    std::optional<std::string> hoveredTileID_;
    // Where the hovered tile was in the layout it was found in, so a hover in a folder of
    // 100,000 tiles does not search them all again at every repaint.
    size_t hoveredIndex_ = 0;
    int hoveredLayout_ = -1;
    std::optional<QPointF> hoverLocation_;
    std::optional<QPointF> pressAt_;
    // Every tile drawn as it looks unhovered, for the layout, scheme and pixel ratio it was
    // drawn for: a hover or a tooltip then repaints one image and one tile. A folder of many
    // tiles is drawn on a worker thread; until it is done the last layer stands in.
    struct LayerKey {
        int layout = -1;
        bool dark = false;
        QSize pixels;
        bool operator==(const LayerKey&) const = default;
    };
    QImage tilesLayer_;
    LayerKey layerKey_;
    std::optional<LayerKey> pendingLayer_;
    struct LayoutKey {
        FileNode root;
        views::SizeD size;
    };
    std::optional<LayoutKey> pendingLayout_;
    uint64_t layerGeneration_ = 0;
    // Set once the work on its way is no longer wanted: dragging a window's edge over a folder
    // of 100,000 items asks for a layout at every frame, and each one left to run would hold the
    // shared workers, and the application's exit, for as long as it takes.
    std::shared_ptr<std::atomic<bool>> cancel_;
    int backgroundDrawings_ = 0;
};

} // namespace quillmere
