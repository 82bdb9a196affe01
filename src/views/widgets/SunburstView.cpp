#include "views/widgets/SunburstView.hpp"

#include "ui/Animation.hpp"
#include "ui/BackgroundWork.hpp"
#include "ui/Painting.hpp"
#include "ui/ReferenceText.hpp"
#include "ui/Theme.hpp"
#include "ui/TooltipFrame.hpp"
#include "views/Easing.hpp"
#include "views/SunburstTexts.hpp"
#include "views/widgets/DesktopClicks.hpp"
#include "views/widgets/SunburstPainter.hpp"

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <cmath>

namespace quillmere {
namespace {

// A press that moves further than this before its release is a drag, not a click.
constexpr double kClickSlop = 6;

// Items the ring builder may visit: the folder's children and theirs.
size_t layoutItems(const FileNode& folder, size_t enough) {
    size_t items = folder.children().size();
    for (const FileNode& child : folder.children()) {
        if (items > enough) break;
        if (child.isDirectory()) items += child.children().size();
    }
    return items;
}

// The arcs draw alike: same places, colours and labels, whatever nodes they stand for.
bool drawsAlike(const views::SunburstLayout& a, const views::SunburstLayout& b) {
    if (a.usedBytes != b.usedBytes || a.totalCapacityBytes != b.totalCapacityBytes ||
        a.isScanningNow != b.isScanningNow || a.segments.size() != b.segments.size())
        return false;
    for (size_t i = 0; i < a.segments.size(); ++i) {
        const views::SunburstSegment& x = a.segments[i];
        const views::SunburstSegment& y = b.segments[i];
        if (x.id != y.id || x.ring != y.ring || x.startFraction != y.startFraction ||
            x.endFraction != y.endFraction || x.hue != y.hue || x.saturation != y.saturation ||
            x.brightness != y.brightness || x.label != y.label)
            return false;
    }
    return true;
}

void cancel(std::shared_ptr<std::atomic<bool>>& flag) {
    if (flag) flag->store(true);
    flag.reset();
}

} // namespace

SunburstView::SunburstView(SunburstInputs inputs, SunburstActions actions, QWidget* parent)
    : QWidget(parent), inputs_(std::move(inputs)), actions_(std::move(actions)),
      clicks_(steadyClock(), doubleClickInterval()), prefersReducedMotion_([] { return false; }),
      makeLayout_([](const FileNode& folder, const views::SunburstHostInputs& host) {
          return views::makeSunburstLayout(folder, host, reference_text::measurer());
      }) {
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, false);
    setFocusPolicy(Qt::NoFocus);
    if (inputs_.layoutHost) {
        inputs_.layout = {};
        hasLayout_ = false;
        requestLayout();
    }
    transition_.appear(inputs_.layout.segments);
}

SunburstView::~SunburstView() {
    // Work still running ends early; its result finds no view and is dropped.
    cancel(layoutCancel_);
    cancel(pictureCancel_);
}

void SunburstView::setClock(views::ClickTracker::Clock clock) {
    clicks_ = views::ClickTracker(std::move(clock), doubleClickInterval());
}

void SunburstView::setReducedMotionSource(std::function<bool()> prefersReducedMotion) {
    prefersReducedMotion_ = std::move(prefersReducedMotion);
}

void SunburstView::setLayoutMaker(LayoutMaker makeLayout) {
    makeLayout_ = std::move(makeLayout);
}

int SunburstView::motionDuration(int normal) const {
    return prefersReducedMotion_ && prefersReducedMotion_() ? 0 : normal;
}

void SunburstView::setInputs(SunburstInputs inputs) {
    const bool selectionChanged = inputs.selectedPath != inputs_.selectedPath;
    const bool insetChanged = inputs.detailsPanelInset != inputs_.detailsPanelInset;
    const bool gaugeChanged = inputs.showsCapacityGauge != inputs_.showsCapacityGauge;
    views::SunburstLayout layout = std::move(inputs.layout);
    inputs.layout = std::move(inputs_.layout);
    inputs_ = std::move(inputs);
    if (gaugeChanged) invalidatePicture();
    if (inputs_.layoutHost) {
        // The layout on screen stays until the new one is built.
        requestLayout();
    } else {
        cancel(layoutCancel_);
        pendingLayout_.reset();
        layoutSource_.reset();
        hasLayout_ = true;
        adoptLayout(std::move(layout));
    }
    if (selectionChanged || insetChanged) recenterOnSelection(true);
    update();
}

// Nothing made elsewhere: the folder is laid out here instead. When that fails as well (memory
// ran out), the last layout stays on screen and the folder is laid out again when next asked.
void SunburstView::adoptLayoutOf(const LayoutSource& source, std::optional<views::SunburstLayout> made) {
    if (!made) {
        try {
            made = makeLayout_(source.folder, source.host);
        } catch (...) {
            return;
        }
    }
    hasLayout_ = true;
    adoptLayout(std::move(*made));
    layoutSource_ = source;
}

void SunburstView::adoptLayout(views::SunburstLayout layout) {
    const int64_t oldUsedBytes = inputs_.layout.usedBytes;
    if (!drawsAlike(inputs_.layout, layout)) invalidatePicture();
    inputs_.layout = std::move(layout);
    if (inputs_.layoutHost) inputs_.volumeTotalCapacityBytes = inputs_.layout.totalCapacityBytes;
    if (transition_.usedBytesChanged(oldUsedBytes, inputs_.layout)) startDeletionAnimation();
}

void SunburstView::requestLayout() {
    const LayoutSource source{inputs_.root, *inputs_.layoutHost};
    if (layoutSource_ && layoutSource_->isSameAs(source)) {
        cancel(layoutCancel_);
        pendingLayout_.reset();
        return;
    }
    if (pendingLayout_ && pendingLayout_->isSameAs(source)) return;
    cancel(layoutCancel_);
    pendingLayout_.reset();
    const uint64_t generation = ++layoutGeneration_;
    if (layoutItems(source.folder, kBackgroundLayoutItems) <= kBackgroundLayoutItems) {
        adoptLayoutOf(source, std::nullopt);
        return;
    }
    pendingLayout_ = source;
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    layoutCancel_ = cancelled;
    QPointer<SunburstView> view(this);
    startBackgroundWork([view, source, generation, cancelled, makeLayout = makeLayout_] {
        std::optional<views::SunburstLayout> layout;
        try {
            if (!cancelled->load()) {
                layout = makeLayout(source.folder, source.host);
                // The folder or the view went meanwhile: nothing is handed over.
                if (cancelled->load()) layout.reset();
            }
        } catch (...) {
            layout.reset();
        }
        // Handed over through the application object, which outlives every view; the view itself
        // is checked on the main thread.
        QMetaObject::invokeMethod(
            qApp,
            [view, source, generation, layout = std::move(layout)]() mutable {
                if (!view || view->layoutGeneration_ != generation || !view->pendingLayout_) return;
                view->pendingLayout_.reset();
                view->layoutCancel_.reset();
                view->adoptLayoutOf(source, std::move(layout));
                if (view->hasAppeared_) view->recenterOnSelection(true);
                view->update();
                emit view->backgroundWorkDone();
            },
            Qt::QueuedConnection);
    });
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
            invalidatePicture();
        });
}

void SunburstView::setDeletionProgressForReview(double progress) {
    if (deletionAnimation_) deletionAnimation_->stop();
    transition_.setProgress(progress);
    invalidatePicture();
}

void SunburstView::invalidatePicture() {
    ++pictureVersion_;
    update();
}

void SunburstView::dropCachedPicture() {
    cancel(pictureCancel_);
    pendingPicture_.reset();
    picture_ = QImage();
    invalidatePicture();
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
    // The picture of the rings does not move with them: a shift only repaints.
    if (duration <= 0) {
        panOffset_ = goal;
        update();
        return;
    }
    panAnimation_ =
        startAnimation(this, panOffset_, goal, duration, easeInOutCurve(), [this](const QVariant& value) {
            panOffset_ = value.toPointF();
            update();
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

SunburstPictureInput SunburstView::pictureInput(const SunburstPicturePlacement& placement) const {
    SunburstPictureInput input;
    input.arcs = std::make_shared<const std::vector<views::SunburstSegment>>(
        transition_.displayedSegments(inputs_.layout.segments));
    input.gauge = inputs_.layout;
    input.gauge.segments.clear();
    input.showsCapacityGauge = inputs_.showsCapacityGauge;
    input.dark = Theme::isDark(this);
    input.placement = placement;
    return input;
}

const QImage* SunburstView::picture(const SunburstPicturePlacement& placement) {
    const PictureKey key{pictureVersion_, Theme::isDark(this), placement};
    if (key == pictureKey_ && !picture_.isNull()) return &picture_;
    // On screen and at rest, the rings are drawn on a worker thread and the last picture stands
    // in; a running transition needs each of its frames, and a hidden view is being rendered.
    const bool inBackground = isVisible() && !transition_.isRunning() && !drawsPictureInPlace_;
    if (!inBackground) {
        cancel(pictureCancel_);
        pendingPicture_.reset();
        picture_ = drawSunburstPicture(pictureInput(placement));
        pictureKey_ = key;
        return picture_.isNull() ? nullptr : &picture_;
    }
    if (pendingPicture_ != key) requestPicture(pictureInput(placement));
    return picture_.isNull() ? nullptr : &picture_;
}

void SunburstView::requestPicture(SunburstPictureInput input) {
    cancel(pictureCancel_);
    const PictureKey key{pictureVersion_, input.dark, input.placement};
    pendingPicture_ = key;
    const uint64_t generation = ++pictureGeneration_;
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    pictureCancel_ = cancelled;
    QPointer<SunburstView> view(this);
    startBackgroundWork([view, input = std::move(input), key, generation, cancelled] {
        QImage image;
        try {
            image = drawSunburstPicture(input, cancelled.get());
        } catch (...) {
            image = QImage();
        }
        const bool drawn = !image.isNull();
        QMetaObject::invokeMethod(
            qApp,
            [view, image = std::move(image), key, generation, cancelled]() mutable {
                // A newer picture was asked for, or the view went: this one is stale.
                if (!view || view->pictureGeneration_ != generation || cancelled->load()) return;
                view->pendingPicture_.reset();
                view->pictureCancel_.reset();
                if (image.isNull()) {
                    view->drawsPictureInPlace_ = true;
                } else {
                    view->picture_ = std::move(image);
                    view->pictureKey_ = key;
                }
                view->update();
                emit view->backgroundWorkDone();
            },
            Qt::QueuedConnection);
        // The rings now rest on screen, which is when the pointer starts moving over them.
        try {
            if (drawn) prepareSunburstPictureHoverGlows(input, cancelled.get());
        } catch (...) {
        }
    });
}

void SunburstView::paintEvent(QPaintEvent* event) {
    // Until its first layout arrives the view shows nothing, not an empty disk.
    if (!hasLayout_) return;
    QPainter painter(this);
    const QRectF canvas = canvasRect();
    const qreal ratio = devicePixelRatioF();
    const SunburstPicturePlacement placement = SunburstPicturePlacement::of(canvas, ratio);
    if (const QImage* shown = picture(placement)) {
        if (pictureKey_.placement == placement)
            painter.drawImage(QPointF(placement.origin) / ratio, *shown);
        else
            // A picture for another size stands in, fitted to the canvas, until the new one comes.
            painter.drawImage(SunburstPicturePlacement::target(pictureKey_.placement, placement), *shown);
    }

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
    paintSunburstSelection(painter, frame);

    frame.hoveredSegmentID = hover_.hoveredSegmentID;
    frame.tooltip = tooltipContent();
    if (frame.tooltip && hover_.hoverLocation)
        frame.tooltipCenter = toWidget(views::tooltipCenter(*hover_.hoverLocation, canvas.width()));
    paintSunburstHoveredArc(painter, frame);
    paintSunburstGlowAndSeam(painter, frame);
    // The hub and its shadow are left out of a repaint that does not reach them.
    if (event->region().intersects(sunburstHubBounds(frame).toAlignedRect())) paintHub(painter, frame);
    paintSunburstTooltip(painter, frame);
}

void SunburstView::paintHub(QPainter& painter, const SunburstFrameInput& frame) {
    // The picture is copied pixel for pixel, so only where that draws what painting would.
    const QTransform device = painter.deviceTransform();
    const qreal ratio = device.m11();
    if (!painting::mapsOntoWholePixels(device)) {
        paintSunburstHub(painter, frame);
        return;
    }
    const HubKey key{frame.center.x(),
                     frame.center.y(),
                     frame.scale,
                     ratio,
                     frame.dark,
                     frame.parentName,
                     frame.layout->volumeName,
                     frame.displayedUsedBytes,
                     frame.layout->totalCapacityBytes};
    if (key != hubKey_ || hubPicture_.isNull()) {
        // Drawn at the same fraction of a device pixel as on screen, so that it rasterises alike.
        const QRectF bounds = sunburstHubBounds(frame);
        const QPoint origin(int(std::floor(bounds.left() * ratio)), int(std::floor(bounds.top() * ratio)));
        const QPoint end(int(std::ceil(bounds.right() * ratio)), int(std::ceil(bounds.bottom() * ratio)));
        QImage image(QSize(end.x() - origin.x(), end.y() - origin.y()), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter hubPainter(&image);
        hubPainter.setRenderHints(painter.renderHints());
        hubPainter.translate(-QPointF(origin) / ratio);
        paintSunburstHub(hubPainter, frame);
        hubPainter.end();
        hubKey_ = key;
        hubPicture_ = std::move(image);
        hubOrigin_ = origin;
    }
    painter.drawImage(QPointF(hubOrigin_) / ratio, hubPicture_);
}

QRectF SunburstView::hoverBounds(const views::SunburstHover& hover) const {
    QRectF bounds;
    const QRectF canvas = canvasRect();
    const double scale = canvas.width() / views::kReferenceSide;
    if (hover.hoveredSegmentID) {
        // The arc and its glow, in the layout and as a transition shows it.
        const auto add = [&](const std::vector<views::SunburstSegment>& arcs) {
            for (const views::SunburstSegment& arc : arcs)
                if (arc.id == *hover.hoveredSegmentID) {
                    const double glow = 16 * scale + 4;
                    bounds |= sunburstArcPath(arc, canvas.center(), scale)
                                  .controlPointRect()
                                  .adjusted(-glow, -glow, glow, glow);
                    break;
                }
        };
        add(inputs_.layout.segments);
        if (transition_.isRunning()) add(transition_.displayedSegments(inputs_.layout.segments));
    }
    std::optional<views::TooltipContent> tooltip;
    if (hover.hoveredSegmentID && hover.hoverLocation) {
        for (const views::SunburstSegment& segment : inputs_.layout.segments)
            if (segment.id == *hover.hoveredSegmentID)
                tooltip = views::segmentTooltip(segment, inputs_.layout.usedBytes);
    } else if (hover.isHoveringCapacityGauge && hover.hoverLocation) {
        tooltip = views::capacityGaugeTooltip(inputs_.layout.usedBytes, inputs_.layout.totalCapacityBytes);
    }
    if (tooltip) {
        const QPointF center = toWidget(views::tooltipCenter(*hover.hoverLocation, canvas.width()));
        // Room for the tooltip's shadow too.
        bounds |= TooltipFrame(*tooltip).rectAt(center).adjusted(-12, -12, 12, 14);
    }
    return bounds;
}

void SunburstView::applyHover(views::SunburstHover hover) {
    if (hover == hover_) return;
    // Only what changed is repainted: the old and new arcs with their glow, and the tooltips.
    QRegion damage;
    const QRectF before = hoverBounds(hover_);
    hover_ = std::move(hover);
    const QRectF after = hoverBounds(hover_);
    if (!before.isEmpty()) damage += before.toAlignedRect();
    if (!after.isEmpty()) damage += after.toAlignedRect();
    lastHoverDamage_ = damage;
    if (!damage.isEmpty()) update(damage);
}

void SunburstView::handleHoverAt(views::PointD canvasPoint) {
    // The arcs on screen are the old folder's until the new layout arrives: none answers.
    if (pendingLayout_) {
        applyHover({});
        return;
    }
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
    if (pendingLayout_) return;
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
    if (event->type() == QEvent::PaletteChange) invalidatePicture();
}

void SunburstView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The shift was worked out for the old size; keep the selection where the panel leaves room.
    if (hasAppeared_) recenterOnSelection(false);
}

} // namespace quillmere
