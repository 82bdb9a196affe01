#include "views/widgets/TreemapView.hpp"

#include "ui/BackgroundWork.hpp"
#include "ui/ColorOpacity.hpp"
#include "ui/Painting.hpp"
#include "ui/PictureMemory.hpp"
#include "ui/ReferenceText.hpp"
#include "ui/Theme.hpp"
#include "ui/TooltipFrame.hpp"
#include "views/Tooltip.hpp"
#include "views/widgets/DesktopClicks.hpp"
#include "views/widgets/HsbColor.hpp"

#include <QApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <algorithm>

namespace quillmere {
namespace {

QRectF toQt(const views::RectD& r) {
    return QRectF(r.x, r.y, r.width, r.height);
}

void cancel(std::shared_ptr<std::atomic<bool>>& flag) {
    if (flag) flag->store(true);
    flag.reset();
}

// A tile too small to show its corners, gradient or outline.
bool isSliver(const views::TreemapTile& tile) {
    return tile.rect.width - 2 * views::kTreemapTileGap < 6 ||
           tile.rect.height - 2 * views::kTreemapTileGap < 6;
}

} // namespace

TreemapView::TreemapView(FileNode root, Actions actions, QWidget* parent)
    : QWidget(parent), root_(std::move(root)), actions_(std::move(actions)),
      clicks_(steadyClock(), doubleClickInterval()) {
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
}

TreemapView::~TreemapView() {
    // Work still running ends early; whatever it hands over finds no view and is dropped.
    cancel(cancel_);
}

void TreemapView::setRoot(FileNode root) {
    if (root.sharesNodeWith(root_)) return;
    root_ = std::move(root);
    // Whatever is still being made is for the old tree; its last picture stands in meanwhile.
    startOver();
    hoveredTileID_.reset();
    hoverLocation_.reset();
    update();
}

void TreemapView::setClock(views::ClickTracker::Clock clock) {
    clicks_ = views::TreemapClicks(std::move(clock), doubleClickInterval());
}

views::SizeD TreemapView::layoutSize() const {
    return views::SizeD{static_cast<double>(width()), static_cast<double>(height())};
}

const std::vector<views::TreemapTile>& TreemapView::tiles() {
    const views::SizeD size = layoutSize();
    if (laysOutInBackground() && !cache_.holds(root_, size)) {
        requestLayout();
        static const std::vector<views::TreemapTile> none;
        return none;
    }
    return cache_.tiles(root_, size);
}

const std::optional<views::TreemapLabel>& TreemapView::labelOf(size_t index) {
    if (hoveredLabel_.layout != cache_.layoutCount() || hoveredLabel_.index != index) {
        hoveredLabel_ = {cache_.layoutCount(), index,
                         views::treemapLabel(tiles()[index], reference_text::measurer())};
    }
    return hoveredLabel_.label;
}

const views::TreemapTile* TreemapView::hoveredTile() {
    if (!hoveredTileID_ || !hoverLocation_) return nullptr;
    const auto& all = tiles();
    const views::PointD point{hoverLocation_->x(), hoverLocation_->y()};
    if (hoveredLayout_ == cache_.layoutCount() && hoveredIndex_ < all.size() &&
        all[hoveredIndex_].rect.contains(point))
        return &all[hoveredIndex_];
    // The tile under the pointer, while it still is the hovered one.
    const auto* tile = views::treemap::tileAt(all, point);
    if (!tile || tile->id() != *hoveredTileID_) return nullptr;
    hoveredIndex_ = static_cast<size_t>(tile - all.data());
    hoveredLayout_ = cache_.layoutCount();
    return tile;
}

std::optional<views::TooltipContent> TreemapView::tooltipContent() {
    const auto* tile = hoveredTile();
    if (!tile) return std::nullopt;
    return views::treemapTooltip(*tile, root_.allocatedSize());
}

QRectF TreemapView::tooltipRect() {
    const auto content = tooltipContent();
    if (!content) return {};
    const views::PointD center =
        views::tooltipCenter({hoverLocation_->x(), hoverLocation_->y()}, static_cast<double>(width()));
    // Room for the shadow too.
    return TooltipFrame(*content).rectAt(QPointF(center.x, center.y)).adjusted(-12, -12, 12, 14);
}

void TreemapView::hoverAt(QPointF point) {
    QRectF before = tooltipRect();
    if (const auto* tile = hoveredTile()) before = before.united(toQt(tile->rect));
    const auto& all = tiles();
    const auto* tile = views::treemap::tileAt(all, {point.x(), point.y()});
    if (tile) {
        hoveredTileID_ = tile->id();
        hoverLocation_ = point;
        hoveredIndex_ = static_cast<size_t>(tile - all.data());
        hoveredLayout_ = cache_.layoutCount();
    } else {
        hoveredTileID_.reset();
        hoverLocation_.reset();
    }
    updateHoverRegion(before);
}

void TreemapView::endHover() {
    QRectF before = tooltipRect();
    if (const auto* tile = hoveredTile()) before = before.united(toQt(tile->rect));
    hoveredTileID_.reset();
    hoverLocation_.reset();
    updateHoverRegion(before);
}

void TreemapView::updateHoverRegion(const QRectF& before) {
    // Only what changed is repainted: the old and new hovered tiles and tooltips.
    QRectF after = tooltipRect();
    if (const auto* tile = hoveredTile()) after = after.united(toQt(tile->rect));
    QRegion region;
    if (!before.isEmpty()) region += before.toAlignedRect().adjusted(-2, -2, 2, 2);
    if (!after.isEmpty()) region += after.toAlignedRect().adjusted(-2, -2, 2, 2);
    if (!region.isEmpty()) update(region);
}

void TreemapView::tapAt(QPointF point) {
    const auto click = clicks_.click(views::treemap::tileAt(tiles(), {point.x(), point.y()}));
    if (click.select && actions_.onSelectNode) actions_.onSelectNode(*click.select);
    if (click.drill && actions_.onSelectFolder) actions_.onSelectFolder({*click.drill});
}

namespace {

// Draws one tile and, when given, its label. Thread-safe: it touches nothing but its arguments.
void paintTile(QPainter& painter, const views::TreemapTile& tile,
               const std::optional<views::TreemapLabel>& label, bool hovered) {
    const QRectF outer = toQt(tile.rect);
    const QRectF r = outer.adjusted(views::kTreemapTileGap, views::kTreemapTileGap, -views::kTreemapTileGap,
                                    -views::kTreemapTileGap);
    if (r.width() <= 0 || r.height() <= 0) return;
    const QColor start =
        hsbColor(tile.hue, tile.saturation * 0.82, std::min(tile.brightness + (hovered ? 0.16 : 0.10), 1.0));
    const QColor end =
        hsbColor(tile.hue, tile.saturation, std::min(tile.brightness + (hovered ? 0.04 : 0), 1.0));
    if (!hovered && isSliver(tile)) {
        // A sliver of a few pixels shows neither corners, gradient nor outline: its mean colour
        // costs a fraction of the shaped fill, which matters in folders of 100,000 items.
        painter.fillRect(r, QColor::fromRgbF((start.redF() + end.redF()) / 2,
                                             (start.greenF() + end.greenF()) / 2,
                                             (start.blueF() + end.blueF()) / 2));
        return;
    }
    const QPainterPath shape = painting::continuousRoundedRect(r, views::kTreemapCornerRadius);
    QLinearGradient fill(outer.topLeft(), outer.bottomRight());
    fill.setColorAt(0, start);
    fill.setColorAt(1, end);
    painter.fillPath(shape, fill);
    if (hovered)
        painter.strokePath(shape, QPen(withOpacity(Qt::white, 0.92), 2));
    else
        painter.strokePath(shape, QPen(withOpacity(Qt::black, 0.14), 1));
    if (!label) return;
    const QColor base = label->darkText ? QColor(Qt::black) : QColor(Qt::white);
    const reference_text::Style nameStyle{views::kTreemapNameFontSize, QFont::DemiBold,
                                          withOpacity(base, label->darkText ? 0.9 : 0.97)};
    const reference_text::Style sizeStyle{views::kTreemapSizeFontSize, QFont::Normal,
                                          withOpacity(base, label->darkText ? 0.62 : 0.8)};
    reference_text::drawAt(painter, QPointF(label->nameOrigin.x, label->nameOrigin.y),
                           QString::fromStdString(label->name), nameStyle);
    reference_text::drawAt(painter, QPointF(label->sizeOrigin.x, label->sizeOrigin.y),
                           QString::fromStdString(label->sizeText), sizeStyle);
}

// Every tile as it looks unhovered. Thread-safe, so a huge folder can be drawn off the main thread;
// nothing once `cancelled` is set meanwhile.
QImage paintLayer(const std::vector<views::TreemapTile>& tiles, QSize pixels, qreal ratio,
                  const std::atomic<bool>* cancelled = nullptr) {
    QImage image = blankPicture(pixels, ratio, PictureSource::own);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const auto measure = reference_text::measurer();
    // Slivers first, on whole pixels (smoothing a 2-pixel tile costs more than it shows), then
    // the shaped tiles with their labels.
    for (const auto& tile : tiles) {
        if (views::treemap::isCancelled(cancelled)) return {};
        if (isSliver(tile)) paintTile(painter, tile, std::nullopt, false);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    for (const auto& tile : tiles) {
        if (views::treemap::isCancelled(cancelled)) return {};
        if (!isSliver(tile)) paintTile(painter, tile, views::treemapLabel(tile, measure), false);
    }
    return image;
}

} // namespace

uint64_t TreemapView::startOver() {
    cancel(cancel_);
    pendingLayer_.reset();
    pendingLayout_.reset();
    return ++layerGeneration_;
}

void TreemapView::requestLayout() {
    const views::SizeD size = layoutSize();
    if (pendingLayout_ && pendingLayout_->root.sharesNodeWith(root_) && pendingLayout_->size == size) return;
    const uint64_t generation = startOver();
    pendingLayout_ = LayoutKey{root_, size};
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(this->size()) * ratio).toSize();
    const bool dark = Theme::isDark(this);
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    cancel_ = cancelled;
    QPointer<TreemapView> view(this);
    startBackgroundWork([view, root = root_, size, pixels, ratio, dark, generation, cancelled] {
        std::shared_ptr<const std::vector<views::TreemapTile>> tiles;
        QImage image;
        try {
            tiles = std::make_shared<const std::vector<views::TreemapTile>>(views::treemap::layout(
                root.children(), views::RectD{0, 0, size.width, size.height}, cancelled.get()));
            if (!views::treemap::isCancelled(cancelled.get()))
                image = paintLayer(*tiles, pixels, ratio, cancelled.get());
        } catch (...) {
            tiles.reset();
        }
        // A newer size or folder was asked for, or the view went: what was made is incomplete
        // and would be dropped anyway.
        if (views::treemap::isCancelled(cancelled.get())) return;
        // Handed over through the application object, which outlives every view; the view
        // itself is checked on the main thread.
        QMetaObject::invokeMethod(
            qApp,
            [view, root, size, tiles = std::move(tiles), image = std::move(image), pixels, dark,
             generation]() mutable {
                if (!view) return;
                ++view->backgroundDrawings_;
                if (view->layerGeneration_ != generation) return;
                view->pendingLayout_.reset();
                view->cancel_.reset();
                // Nothing came out: the next paint asks again.
                if (!tiles) return;
                view->cache_.adopt(root, size, std::move(tiles));
                if (!image.isNull()) {
                    view->tilesLayer_ = std::move(image);
                    view->layerKey_ = LayerKey{view->cache_.layoutCount(), dark, pixels};
                }
                view->update();
                emit view->layerReady();
            },
            Qt::QueuedConnection);
    });
}

const QImage* TreemapView::tilesLayer() {
    const views::SizeD size = layoutSize();
    if (laysOutInBackground() && !cache_.holds(root_, size)) {
        requestLayout();
        // The last layer, stretched to fit, stands in meanwhile.
        return tilesLayer_.isNull() ? nullptr : &tilesLayer_;
    }
    auto shared = cache_.sharedTiles(root_, size);
    const qreal ratio = devicePixelRatioF();
    const LayerKey key{cache_.layoutCount(), Theme::isDark(this), (QSizeF(this->size()) * ratio).toSize()};
    if (key == layerKey_ && !tilesLayer_.isNull()) return &tilesLayer_;
    if (shared->size() <= kBackgroundLayerTiles && !isVisible()) {
        startOver();
        tilesLayer_ = paintLayer(*shared, key.pixels, ratio);
        layerKey_ = key;
        return &tilesLayer_;
    }
    if (pendingLayer_ != key) {
        const uint64_t generation = startOver();
        pendingLayer_ = key;
        auto cancelled = std::make_shared<std::atomic<bool>>(false);
        cancel_ = cancelled;
        QPointer<TreemapView> view(this);
        startBackgroundWork([view, shared, key, ratio, generation, cancelled] {
            QImage image;
            try {
                image = paintLayer(*shared, key.pixels, ratio, cancelled.get());
            } catch (...) {
                // Nothing to show: the next paint asks again.
            }
            if (views::treemap::isCancelled(cancelled.get())) return;
            QMetaObject::invokeMethod(
                qApp,
                [view, image = std::move(image), key, generation] {
                    if (!view) return;
                    ++view->backgroundDrawings_;
                    if (view->layerGeneration_ != generation) return;
                    view->pendingLayer_.reset();
                    view->cancel_.reset();
                    if (image.isNull()) return;
                    view->tilesLayer_ = image;
                    view->layerKey_ = key;
                    view->update();
                    emit view->layerReady();
                },
                Qt::QueuedConnection);
        });
    }
    return tilesLayer_.isNull() ? nullptr : &tilesLayer_;
}

void TreemapView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (const QImage* layer = tilesLayer())
        // A stand-in of another size while the new layer is drawn is stretched to fit.
        painter.drawImage(QRectF(rect()), *layer);
    if (const views::TreemapTile* hovered = hoveredTile())
        paintTile(painter, *hovered, labelOf(static_cast<size_t>(hovered - tiles().data())), true);
    if (const auto content = tooltipContent()) {
        const views::PointD center =
            views::tooltipCenter({hoverLocation_->x(), hoverLocation_->y()}, static_cast<double>(width()));
        TooltipFrame(*content).paint(painter, QPointF(center.x, center.y), Theme::isDark(this));
    }
}

void TreemapView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressAt_ = event->position();
}

void TreemapView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt reports the second press as a double click; the click record decides what it is.
    mousePressEvent(event);
}

void TreemapView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressAt_) return;
    const QPointF start = *pressAt_;
    pressAt_.reset();
    if ((event->position() - start).manhattanLength() > QApplication::startDragDistance()) return;
    tapAt(start);
}

void TreemapView::mouseMoveEvent(QMouseEvent* event) {
    hoverAt(event->position());
}

void TreemapView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    endHover();
}

} // namespace quillmere
