#include "views/widgets/SunburstView.hpp"

#include "ui/Animation.hpp"
#include "ui/Theme.hpp"
#include "views/Easing.hpp"
#include "views/SunburstTexts.hpp"
#include "views/widgets/DesktopClicks.hpp"
#include "views/widgets/SunburstPainter.hpp"

#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>
#include <cmath>

namespace quillmere {
namespace {

// A press that moves further than this before its release is a drag, not a click.
constexpr double kClickSlop = 6;

} // namespace

SunburstView::SunburstView(SunburstInputs inputs, SunburstActions actions, QWidget* parent)
    : QWidget(parent), inputs_(std::move(inputs)), actions_(std::move(actions)),
      clicks_(steadyClock(), doubleClickInterval()), prefersReducedMotion_([] { return false; }) {
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, false);
    setFocusPolicy(Qt::NoFocus);
    transition_.appear(inputs_.layout.segments);
}

SunburstView::~SunburstView() = default;

void SunburstView::setClock(views::ClickTracker::Clock clock) {
    clicks_ = views::ClickTracker(std::move(clock), doubleClickInterval());
}

void SunburstView::setReducedMotionSource(std::function<bool()> prefersReducedMotion) {
    prefersReducedMotion_ = std::move(prefersReducedMotion);
}

int SunburstView::motionDuration(int normal) const {
    return prefersReducedMotion_ && prefersReducedMotion_() ? 0 : normal;
}

void SunburstView::setInputs(SunburstInputs inputs) {
    const int64_t oldUsedBytes = inputs_.layout.usedBytes;
    const bool selectionChanged = inputs.selectedPath != inputs_.selectedPath;
    const bool insetChanged = inputs.detailsPanelInset != inputs_.detailsPanelInset;
    inputs_ = std::move(inputs);
    invalidateBase();
    if (transition_.usedBytesChanged(oldUsedBytes, inputs_.layout)) startDeletionAnimation();
    if (selectionChanged || insetChanged) recenterOnSelection(true);
    update();
}

void SunburstView::startDeletionAnimation() {
    if (deletionAnimation_) deletionAnimation_->stop();
    const int duration = motionDuration(views::kDeletionAnimationMs);
    if (duration <= 0) {
        transition_.setProgress(1);
        return;
    }
    deletionAnimation_ =
        startAnimation(this, 0.0, 1.0, duration, easeInOutCurve(), [this](const QVariant& value) {
            transition_.setProgress(value.toDouble());
            invalidateBase();
        });
}

void SunburstView::setDeletionProgressForReview(double progress) {
    if (deletionAnimation_) deletionAnimation_->stop();
    transition_.setProgress(progress);
    invalidateBase();
}

void SunburstView::invalidateBase() {
    baseIsCurrent_ = false;
    update();
}

views::SizeD SunburstView::canvasSize() const {
    const double side = std::min(width(), height());
    return {side, side};
}

QRectF SunburstView::canvasRect() const {
    const double side = std::min(width(), height());
    const views::PointD pan = views::roundedOffset({panOffset_.x(), panOffset_.y()});
    return QRectF((width() - side) / 2 + pan.x, (height() - side) / 2 + pan.y, side, side);
}

views::PointD SunburstView::toCanvas(QPointF widgetPoint) const {
    const QPointF local = widgetPoint - canvasRect().topLeft();
    return {local.x(), local.y()};
}

QPointF SunburstView::toWidget(views::PointD canvasPoint) const {
    return canvasRect().topLeft() + QPointF(canvasPoint.x, canvasPoint.y);
}

void SunburstView::recenterOnSelection(bool animated) {
    const views::PointD target =
        views::recenterTarget({double(width()), double(height())}, inputs_.detailsPanelInset,
                              inputs_.selectedPath, inputs_.layout.segments);
    const QPointF goal(target.x, target.y);
    if (goal == panTarget_ && (panAnimation_ || goal == panOffset_)) return;
    panTarget_ = goal;
    if (panAnimation_) panAnimation_->stop();
    const int duration = animated ? motionDuration(views::kNavigationAnimationMs) : 0;
    if (goal == panOffset_) return;
    if (duration <= 0) {
        panOffset_ = goal;
        invalidateBase();
        return;
    }
    panAnimation_ =
        startAnimation(this, panOffset_, goal, duration, easeInOutCurve(), [this](const QVariant& value) {
            panOffset_ = value.toPointF();
            invalidateBase();
        });
}

std::optional<views::TooltipContent> SunburstView::tooltipContent() const {
    const views::SunburstLayout& layout = inputs_.layout;
    if (hover_.hoveredSegmentID && hover_.hoverLocation) {
        for (const views::SunburstSegment& segment : layout.segments)
            if (segment.id == *hover_.hoveredSegmentID)
                return views::segmentTooltip(segment, layout.usedBytes);
    }
    if (hover_.isHoveringCapacityGauge && hover_.hoverLocation)
        return views::capacityGaugeTooltip(layout.usedBytes, layout.totalCapacityBytes);
    return std::nullopt;
}

void SunburstView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF canvas = canvasRect();
    const std::vector<views::SunburstSegment> displayed =
        transition_.displayedSegments(inputs_.layout.segments);
    SunburstFrameInput frame;
    frame.center = canvas.center();
    frame.scale = canvas.width() / views::kReferenceSide;
    frame.layout = &inputs_.layout;
    frame.displayed = &displayed;
    frame.selectedPath = inputs_.selectedPath;
    frame.parentName = inputs_.parentName;
    frame.showsCapacityGauge = inputs_.showsCapacityGauge;
    frame.displayedUsedBytes = transition_.displayedUsedBytes(inputs_.layout.usedBytes);
    frame.dark = Theme::isDark(this);

    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (!baseIsCurrent_ || base_.size() != pixels || base_.devicePixelRatio() != ratio) {
        base_ = QPixmap(pixels);
        base_.setDevicePixelRatio(ratio);
        base_.fill(Qt::transparent);
        QPainter basePainter(&base_);
        paintSunburstBase(basePainter, frame);
        baseIsCurrent_ = true;
    }
    painter.drawPixmap(0, 0, base_);

    frame.hoveredSegmentID = hover_.hoveredSegmentID;
    frame.tooltip = tooltipContent();
    if (frame.tooltip && hover_.hoverLocation)
        frame.tooltipCenter = toWidget(views::tooltipCenter(*hover_.hoverLocation, canvas.width()));
    paintSunburstHoveredArc(painter, frame);
    paintSunburstTop(painter, frame);
}

void SunburstView::applyHover(views::SunburstHover hover) {
    if (hover == hover_) return;
    hover_ = std::move(hover);
    update();
}

void SunburstView::handleHoverAt(views::PointD canvasPoint) {
    applyHover(views::hoverAt(canvasPoint, canvasSize(), inputs_.layout, inputs_.showsCapacityGauge));
}

void SunburstView::handleHoverEnded() {
    applyHover({});
}

void SunburstView::handleTap(views::PointD p) {
    const views::SizeD size = canvasSize();
    if (std::min(size.width, size.height) <= 0) return;
    if (views::SunburstFrame::of(size).referenceRadius(p) <= views::kHubRadius) {
        if (inputs_.parentName && actions_.onGoUp) actions_.onGoUp();
        return;
    }
    const views::SunburstSegment* hit = views::hitTest(p, size, inputs_.layout.segments);
    if (!hit || !hit->node) return;
    // The actions may replace this view's inputs (or the view): take what is needed first.
    const FileNode node = *hit->node;
    std::vector<FileNode> chain = hit->ancestors;
    const bool isDouble = clicks_.registerClick(hit->id);
    if (actions_.onSelectNode) actions_.onSelectNode(node);
    if (isDouble && node.isDirectory() && actions_.onSelectFolder) {
        chain.push_back(node);
        actions_.onSelectFolder(chain);
    }
}

void SunburstView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressAt_ = event->position();
}

void SunburstView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt's double-click event stands for the second press; the tracker decides what it is.
    mousePressEvent(event);
}

void SunburstView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressAt_) return;
    const QPointF start = *pressAt_;
    pressAt_.reset();
    const QPointF moved = event->position() - start;
    if (std::hypot(moved.x(), moved.y()) > kClickSlop) return;
    handleTap(toCanvas(start));
}

void SunburstView::mouseMoveEvent(QMouseEvent* event) {
    handleHoverAt(toCanvas(event->position()));
}

void SunburstView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    handleHoverEnded();
}

void SunburstView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (hasAppeared_) return;
    hasAppeared_ = true;
    recenterOnSelection(true);
}

void SunburstView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) invalidateBase();
}

void SunburstView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    invalidateBase();
    // The shift was worked out for the old size; keep the selection where the panel leaves room.
    if (hasAppeared_) recenterOnSelection(false);
}

} // namespace quillmere
