#pragma once

#include "scan/FileNode.hpp"
#include "views/ClickTracker.hpp"
#include "views/Geometry.hpp"
#include "views/SunburstGeometry.hpp"
#include "views/SunburstLayout.hpp"
#include "views/SunburstTransition.hpp"
#include "views/Tooltip.hpp"

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QPainter;
class QPainterPath;
class QVariantAnimation;

namespace quillmere {

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
    // Everything but the hover changed: the cached picture is drawn anew on the next paint.
    void invalidateBase();

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
    // The frame without hover or tooltip, at the device's resolution.
    QPixmap base_;
    bool baseIsCurrent_ = false;
};

} // namespace quillmere
