#pragma once

#include "scan/FileNode.hpp"
#include "views/ClickTracker.hpp"
#include "views/Geometry.hpp"
#include "views/SunburstGeometry.hpp"
#include "views/SunburstLayout.hpp"
#include "views/SunburstTransition.hpp"
#include "views/Tooltip.hpp"
#include "views/widgets/SunburstPicture.hpp"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QPainter;
class QPainterPath;
class QVariantAnimation;

namespace quillmere {

struct SunburstFrameInput;

// What the disk-map screen gives the sunburst on every evaluation.
struct SunburstInputs {
    FileNode root;
    std::string volumeName;
    int64_t volumeTotalCapacityBytes = 0;
    bool isScanning = false;
    // The folder above the one on screen: none at the top, the volume's name one level down.
    std::optional<std::string> parentName;
    std::optional<std::string> selectedPath;
    bool showsCapacityGauge = true;
    // Width of the strip at the right edge that the details panel covers.
    double detailsPanelInset = 0;
    // When set, the view lays `root` out itself with these (a folder of many items on a worker
    // thread, the last frame standing in meanwhile) and `layout` holds what it built; otherwise
    // `layout` is shown as given.
    std::optional<views::SunburstHostInputs> layoutHost;
    views::SunburstLayout layout;
};

// The three things the sunburst does to the rest of the window.
struct SunburstActions {
    // Drill down: the arc's ancestors followed by its node.
    std::function<void(const std::vector<FileNode>&)> onSelectFolder;
    std::function<void(const FileNode&)> onSelectNode;
    std::function<void()> onGoUp;
};

// The disk view "Rings": the folder on screen as three rings of arcs around a hub, drawn in
// one canvas. It owns its hover, click and tooltip state, the shift that keeps the selection
// beside the details panel, and the transition that runs when the bytes it shows fall.
class SunburstView : public QWidget {
    Q_OBJECT
public:
    SunburstView(SunburstInputs inputs, SunburstActions actions, QWidget* parent = nullptr);
    ~SunburstView() override;

    // A new evaluation of the host: the view reacts to what changed (a fall of the used bytes,
    // another selection or inset) and keeps the rest of its state.
    void setInputs(SunburstInputs inputs);
    const SunburstInputs& inputs() const { return inputs_; }

    // Where time and the reduce-motion preference come from (tests inject their own).
    void setClock(views::ClickTracker::Clock clock);
    void setReducedMotionSource(std::function<bool()> prefersReducedMotion);
    // How the view lays out a folder itself, on the main thread or a worker (tests inject one
    // that fails).
    using LayoutMaker =
        std::function<views::SunburstLayout(const FileNode& folder, const views::SunburstHostInputs& host)>;
    void setLayoutMaker(LayoutMaker makeLayout);

    // View state, for the host's tests and tools.
    const std::optional<std::string>& hoveredSegmentID() const { return hover_.hoveredSegmentID; }
    bool isHoveringCapacityGauge() const { return hover_.isHoveringCapacityGauge; }
    QPointF panOffset() const { return panOffset_; }
    double deletionProgress() const { return transition_.progress(); }
    bool isTransitionRunning() const { return transition_.isRunning(); }
    // Freezes a running transition at `progress` (tools render a mid-transition frame).
    void setDeletionProgressForReview(double progress);
    // The tooltip due now, if any.
    std::optional<views::TooltipContent> tooltipContent() const;

    // Folders with more items than this in their first two levels are laid out off the main
    // thread; until then the last frame stands in and no arc answers the pointer.
    static constexpr size_t kBackgroundLayoutItems = 4000;
    // Whether a layout or the picture of the rings is being made in the background (tools and
    // tests wait for it). While the view is on screen its picture is drawn on a worker thread
    // and the last one stands in; a hidden view (one rendered by a tool) draws it in place.
    bool isWorkingInBackground() const { return pendingLayout_.has_value() || pendingPicture_.has_value(); }
    // Forgets the cached picture of the rings, so the next paint draws them anew (benchmarks).
    void dropCachedPicture();
    // The region the last change of hover repainted, in widget coordinates.
    const QRegion& lastHoverDamage() const { return lastHoverDamage_; }

    // The square the rings are drawn in, in widget coordinates, pan included.
    QRectF canvasRect() const;
    // A point of the widget in the canvas's own coordinates.
    views::PointD toCanvas(QPointF widgetPoint) const;
    // A canvas point in widget coordinates.
    QPointF toWidget(views::PointD canvasPoint) const;

    // Handlers in canvas coordinates, the same a pointer reaches through the events.
    void handleHoverAt(views::PointD canvasPoint);
    void handleHoverEnded();
    void handleTap(views::PointD canvasPoint);

signals:
    // A layout or picture made in the background was taken in.
    void backgroundWorkDone();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    views::SizeD canvasSize() const;
    void recenterOnSelection(bool animated);
    void startDeletionAnimation();
    int motionDuration(int normal) const;
    void applyHover(views::SunburstHover hover);
    // What the cached picture shows changed: it is drawn anew for the next paint.
    void invalidatePicture();
    // Takes a new layout in: the picture, a fall's transition and the selection's place follow.
    void adoptLayout(views::SunburstLayout layout);
    struct LayoutSource;
    void adoptLayoutOf(const LayoutSource& source, std::optional<views::SunburstLayout> made);
    // Lays `inputs_.root` out when it is not what the layout shows, here or on a worker thread.
    void requestLayout();
    // The picture for the current state, drawn here or asked of a worker thread; the one to
    // draw now (possibly an older one) or none.
    const QImage* picture(const SunburstPicturePlacement& placement);
    void requestPicture(SunburstPictureInput input);
    SunburstPictureInput pictureInput(const SunburstPicturePlacement& placement) const;
    // Where the hover's arc, glow and tooltip are drawn, in widget coordinates.
    QRectF hoverBounds(const views::SunburstHover& hover) const;
    // The hub and its shadow, from a picture of them kept while nothing they show changes.
    void paintHub(QPainter& painter, const SunburstFrameInput& frame);

    SunburstInputs inputs_;
    SunburstActions actions_;
    views::SunburstHover hover_;
    views::ClickTracker clicks_;
    std::function<bool()> prefersReducedMotion_;
    views::SunburstTransitionState transition_;
    QPointF panOffset_;
    QPointF panTarget_;
    std::optional<QPointF> pressAt_;
    bool hasAppeared_ = false;
    QPointer<QVariantAnimation> deletionAnimation_;
    QPointer<QVariantAnimation> panAnimation_;
    // What the layout was built from (when the view lays out itself) and what is being built.
    struct LayoutSource {
        FileNode folder;
        views::SunburstHostInputs host;
        bool isSameAs(const LayoutSource& other) const {
            return folder.sharesNodeWith(other.folder) && host == other.host;
        }
    };
    LayoutMaker makeLayout_;
    std::optional<LayoutSource> layoutSource_;
    std::optional<LayoutSource> pendingLayout_;
    // No layout has arrived yet: nothing is drawn.
    bool hasLayout_ = true;
    uint64_t layoutGeneration_ = 0;
    std::shared_ptr<std::atomic<bool>> layoutCancel_;

    // The rings without hover, selection or hub, at the device's resolution. `pictureVersion_`
    // counts changes of what they show; a picture is current for that version and placement.
    struct PictureKey {
        uint64_t version = 0;
        bool dark = false;
        SunburstPicturePlacement placement;
        bool operator==(const PictureKey&) const = default;
    };
    uint64_t pictureVersion_ = 1;
    QImage picture_;
    PictureKey pictureKey_;
    std::optional<PictureKey> pendingPicture_;
    uint64_t pictureGeneration_ = 0;
    std::shared_ptr<std::atomic<bool>> pictureCancel_;
    // A picture that could not be made in the background is drawn in place from then on.
    bool drawsPictureInPlace_ = false;
    QRegion lastHoverDamage_;
    // The hub as last drawn: what it showed, where (in device pixels) and the picture.
    struct HubKey {
        double centerX = 0, centerY = 0, scale = 0, ratio = 0;
        bool dark = false;
        std::optional<std::string> parentName;
        std::string volumeName;
        double usedBytes = 0;
        int64_t capacityBytes = 0;
        bool operator==(const HubKey&) const = default;
    };
    HubKey hubKey_;
    QImage hubPicture_;
    QPoint hubOrigin_;
};

} // namespace quillmere
