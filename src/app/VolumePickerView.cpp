#include "app/VolumePickerView.hpp"

#include "base/Format.hpp"
#include "ui/ColorOpacity.hpp"
#include "ui/Motion.hpp"
#include "ui/Painting.hpp"
#include "ui/ScrollBars.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"

#include <QConicalGradient>
#include <QCursor>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

namespace quillmere {

namespace {

// The tile's side padding is 14, but the two lines under the ring may reach into it before
// they are shortened: a free text such as "123.46 GB free of 494.38 GB" is a little wider than
// the padded column.
constexpr qreal kTextMargin = 5;
constexpr qreal kTilePaddingV = 20;
constexpr qreal kTileSpacing = 14;
constexpr qreal kTileLineSpacing = 4;
constexpr qreal kTileCornerRadius = 14;
constexpr qreal kHoverTint = 0.07;
constexpr qreal kTrackOpacity = 0.1;
constexpr qreal kSymbolSize = 17;
constexpr qreal kSymbolToPercentage = 2;
constexpr int kGrowthMs = 320;
constexpr qreal kHeaderSpacing = 7;
constexpr qreal kColumnSpacing = 26;
constexpr qreal kIntroductionWidth = 380;

QFont nameFont() {
    return Theme::uiFont(13, QFont::DemiBold);
}
QFont freeFont() {
    return Theme::uiFont(11);
}
QFont percentageFont() {
    return Theme::uiFont(12, QFont::DemiBold);
}
QFont headlineFont() {
    return Theme::uiFont(19, QFont::DemiBold);
}
QFont introductionFont() {
    return Theme::uiFont(12.5);
}

qreal lineHeight(const QFont& font) {
    return std::ceil(QFontMetricsF(font).height());
}

} // namespace

double usedFraction(const ScannableVolume& volume) {
    if (volume.totalCapacityBytes < 1) return 0;
    return std::clamp(double(volume.usedCapacityBytes) / double(volume.totalCapacityBytes), 0.0, 1.0);
}

int usedPercentage(const ScannableVolume& volume) {
    return int(std::trunc(usedFraction(volume) * 100));
}

QString usedPercentageText(const ScannableVolume& volume) {
    return QString::number(usedPercentage(volume)) + QLatin1Char('%');
}

QString freeOfTotalText(const ScannableVolume& volume) {
    return QString::fromStdString(formatByteCount(volume.availableCapacityBytes) + " free of " +
                                  formatByteCount(volume.totalCapacityBytes));
}

QString driveSymbol(const ScannableVolume& volume) {
    return volume.isRemovable ? QStringLiteral("externaldrive.fill") : QStringLiteral("internaldrive.fill");
}

QString volumePickerHeadline(size_t volumeCount) {
    return volumeCount == 1 ? QStringLiteral("Ready to scan") : QStringLiteral("Which disk?");
}

QString volumePickerIntroduction(size_t volumeCount) {
    return volumeCount == 1
               ? QStringLiteral("Nothing gets read until you start it, and you can stop partway through.")
               : QStringLiteral(
                     "Quillmere will map whichever one you pick. Nothing gets read until you start it.");
}

// ---- VolumeTile ----

VolumeTile::VolumeTile(ScannableVolume volume, QWidget* parent)
    : QAbstractButton(parent), growth_(new QVariantAnimation(this)) {
    setVolume(std::move(volume));
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    growth_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(growth_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        ringScale_ = value.toReal();
        update();
    });
    resize(sizeHint());
}

void VolumeTile::setVolume(ScannableVolume volume) {
    volume_ = std::move(volume);
    const QString name = QString::fromStdString(volume_.name);
    setText(name);
    setToolTip("Scan " + name);
    setAccessibleName("Scan " + name);
    setAccessibleDescription(usedPercentageText(volume_) + ", " + freeOfTotalText(volume_));
    update();
}

QSize VolumeTile::preferredSize() {
    const qreal height = kTilePaddingV + kRingSide + kTileSpacing + lineHeight(nameFont()) +
                         kTileLineSpacing + lineHeight(freeFont()) + kTilePaddingV;
    return {int(kWidth), int(std::ceil(height))};
}

QRectF VolumeTile::ringRect() const {
    return QRectF((width() - kRingSide) / 2, kTilePaddingV, kRingSide, kRingSide);
}

void VolumeTile::setHovering(bool hovering) {
    if (hovering == isHovering_) return;
    isHovering_ = hovering;
    const qreal target = hovering ? kHoverScale : 1.0;
    growth_->stop();
    const int duration = motionDuration(kGrowthMs);
    if (duration == 0) {
        ringScale_ = target;
    } else {
        growth_->setDuration(duration);
        growth_->setStartValue(ringScale_);
        growth_->setEndValue(target);
        growth_->start();
    }
    update();
}

void VolumeTile::syncHoverWithPointer() {
    const QPoint pointer = mapFromGlobal(QCursor::pos());
    setHovering(isVisible() && rect().contains(pointer) && visibleRegion().contains(pointer));
}

void VolumeTile::moveEvent(QMoveEvent* event) {
    QAbstractButton::moveEvent(event);
    syncHoverWithPointer();
}

void VolumeTile::showEvent(QShowEvent* event) {
    QAbstractButton::showEvent(event);
    syncHoverWithPointer();
}

void VolumeTile::hideEvent(QHideEvent* event) {
    QAbstractButton::hideEvent(event);
    setHovering(false);
}

void VolumeTile::enterEvent(QEnterEvent* event) {
    setHovering(true);
    QAbstractButton::enterEvent(event);
}

void VolumeTile::leaveEvent(QEvent* event) {
    setHovering(false);
    QAbstractButton::leaveEvent(event);
}

void VolumeTile::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void VolumeTile::focusInEvent(QFocusEvent* event) {
    // A tile takes the focus only from the keyboard or as the picker's first control, and
    // Return then acts on it: its ring shows whichever way the focus came.
    if (event->reason() != Qt::MouseFocusReason) window()->setAttribute(Qt::WA_KeyboardFocusChange);
    QAbstractButton::focusInEvent(event);
    emit focused();
}

void VolumeTile::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) update();
    QAbstractButton::changeEvent(event);
}

void VolumeTile::paintRing(QPainter& painter) const {
    const bool dark = Theme::isDark(this);
    const Theme::Palette& palette = Theme::palette(dark);
    const QColor accent = Theme::accent(dark);
    const QRectF frame = ringRect();
    const QPointF centre = frame.center();
    painter.save();
    painter.translate(centre);
    painter.scale(ringScale_, ringScale_);
    painter.translate(-centre);

    // The stroke stays inside the ring's square.
    const qreal inset = kRingLineWidth / 2;
    const QRectF circle = frame.adjusted(inset, inset, -inset, -inset);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(withOpacity(palette.ink, kTrackOpacity), kRingLineWidth));
    painter.drawEllipse(circle);

    const double fraction = usedFraction(volume_);
    if (fraction > 0) {
        // From the top, clockwise; the colours are symmetric about the half-way stop, so the
        // counter-clockwise sweep of the conical gradient paints the same arc.
        QConicalGradient sweep(centre, 90);
        sweep.setColorAt(0, accent);
        sweep.setColorAt(0.5, withOpacity(accent, 0.65));
        sweep.setColorAt(1, accent);
        QPainterPath arc;
        arc.arcMoveTo(circle, 90);
        arc.arcTo(circle, 90, -fraction * 360);
        painter.setPen(QPen(QBrush(sweep), kRingLineWidth, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(arc);
    }

    const qreal symbol = Symbols::boxSide(kSymbolSize);
    const QFont percentage = percentageFont();
    const qreal textHeight = lineHeight(percentage);
    const qreal stack = symbol + kSymbolToPercentage + textHeight;
    const qreal top = centre.y() - stack / 2;
    Symbols::draw(painter, QRectF(centre.x() - symbol / 2, top, symbol, symbol), driveSymbol(volume_), accent,
                  kSymbolSize);
    painter.setFont(percentage);
    painter.setPen(palette.ink2);
    painter.drawText(QRectF(frame.left(), top + symbol + kSymbolToPercentage, frame.width(), textHeight),
                     Qt::AlignCenter, usedPercentageText(volume_));
    painter.restore();
}

void VolumeTile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const bool dark = Theme::isDark(this);
    const Theme::Palette& palette = Theme::palette(dark);
    const QRectF tile(rect());
    if (isHovering_)
        painter.fillPath(painting::continuousRoundedRect(tile, kTileCornerRadius),
                         withOpacity(palette.ink, kHoverTint));
    if (isDown()) painter.setOpacity(0.7);

    paintRing(painter);

    const qreal textWidth = tile.width() - 2 * kTextMargin;
    const QFont name = nameFont();
    const QFont free = freeFont();
    qreal y = ringRect().bottom() + kTileSpacing;
    painter.setFont(name);
    painter.setPen(palette.ink);
    painter.drawText(QRectF(kTextMargin, y, textWidth, lineHeight(name)), Qt::AlignHCenter | Qt::AlignVCenter,
                     QFontMetricsF(name).elidedText(text(), Qt::ElideRight, textWidth));
    y += lineHeight(name) + kTileLineSpacing;
    painter.setFont(free);
    painter.setPen(palette.ink2);
    painter.drawText(QRectF(kTextMargin, y, textWidth, lineHeight(free)), Qt::AlignHCenter | Qt::AlignVCenter,
                     QFontMetricsF(free).elidedText(freeOfTotalText(volume_), Qt::ElideRight, textWidth));

    painter.setOpacity(1);
    if (showsFocusRing()) {
        const qreal ringWidth = 1.5;
        painter.setPen(QPen(withOpacity(Theme::accent(dark), 0.85), ringWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(painting::strokeBorderPath(tile, kTileCornerRadius, ringWidth));
    }
}

bool VolumeTile::showsFocusRing() const {
    return painting::showsFocusRing(this);
}

// ---- VolumePickerView ----

VolumePickerView::VolumePickerView(QWidget* parent)
    : QWidget(parent), row_(new QScrollArea(this)), rowContent_(new QWidget) {
    row_->setFrameShape(QFrame::NoFrame);
    row_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    row_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    row_->setFocusPolicy(Qt::NoFocus);
    row_->setWidgetResizable(false);
    // The backdrop shows through the row.
    row_->setAutoFillBackground(false);
    row_->viewport()->setAutoFillBackground(false);
    row_->setWidget(rowContent_);
    applySlimHorizontalScrollBar(row_);
    connect(row_->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        for (VolumeTile* tile : std::as_const(tiles_))
            tile->syncHoverWithPointer();
    });
    rowContent_->setAutoFillBackground(false); // after setWidget, which turns it on
}

void VolumePickerView::setVolumes(std::vector<ScannableVolume> volumes) {
    // Tiles are matched to volumes by mount point, so a tile that stays keeps its hover state
    // and focus when the list is read again.
    QList<VolumeTile*> kept;
    for (const ScannableVolume& volume : volumes) {
        const auto found = std::ranges::find_if(
            tiles_, [&](const VolumeTile* tile) { return tile && tile->volume().id() == volume.id(); });
        if (found != tiles_.end()) {
            (*found)->setVolume(volume);
            kept << *found;
            *found = nullptr;
            continue;
        }
        auto* tile = new VolumeTile(volume, rowContent_);
        connect(tile, &QAbstractButton::clicked, this, [this, tile] { emit volumeSelected(tile->volume()); });
        // A tile reached with the keyboard scrolls into view.
        connect(tile, &VolumeTile::focused, this, [this, tile] { row_->ensureWidgetVisible(tile, 0, 0); });
        tile->show();
        kept << tile;
    }
    for (VolumeTile* stale : std::as_const(tiles_))
        delete stale;
    tiles_ = kept;
    volumes_ = std::move(volumes);
    // Keyboard order follows the row.
    for (int i = 1; i < tiles_.size(); ++i)
        setTabOrder(tiles_[i - 1], tiles_[i]);
    layoutTiles();
    updateGeometry();
    update();
}

VolumePickerView::Layout VolumePickerView::layoutColumn() const {
    Layout column;
    const QRectF area = QRectF(rect()).adjusted(kPadding, kPadding, -kPadding, -kPadding);
    const QSize tile = VolumeTile::preferredSize();
    const int count = int(volumes_.size());
    const int rowWidth = count == 0 ? 0 : int(count * tile.width() + (count - 1) * kTileSpacing);
    const int shownWidth = std::min(rowWidth, std::max(0, int(area.width())));
    const bool scrolls = rowWidth > shownWidth;
    const int rowHeight =
        count == 0 ? 0 : tile.height() + (scrolls ? row_->horizontalScrollBar()->sizeHint().height() : 0);

    const qreal headline = lineHeight(headlineFont());
    const qreal introductionWidth = std::min(kIntroductionWidth, area.width());
    const QRectF introduction =
        QFontMetricsF(introductionFont())
            .boundingRect(QRectF(0, 0, introductionWidth, 1000), Qt::AlignHCenter | Qt::TextWordWrap,
                          volumePickerIntroduction(volumes_.size()));
    const qreal header = headline + kHeaderSpacing + std::ceil(introduction.height());
    const qreal total = header + (count == 0 ? 0 : kColumnSpacing + rowHeight);
    qreal y = std::round(area.top() + std::max(0.0, (area.height() - total) / 2));

    column.headline = QRectF(area.left(), y, area.width(), headline);
    y += headline + kHeaderSpacing;
    column.introduction = QRectF(area.center().x() - introductionWidth / 2, y, introductionWidth,
                                 std::ceil(introduction.height()));
    y += std::ceil(introduction.height()) + kColumnSpacing;
    column.row = QRect(int(std::round(area.center().x() - shownWidth / 2.0)), int(y), shownWidth, rowHeight);
    column.rowContent = QSize(rowWidth, tile.height());
    return column;
}

void VolumePickerView::layoutTiles() {
    const Layout column = layoutColumn();
    row_->setGeometry(column.row);
    rowContent_->resize(column.rowContent);
    const QSize tile = VolumeTile::preferredSize();
    for (int i = 0; i < tiles_.size(); ++i) {
        tiles_[i]->setGeometry(QRect(QPoint(int(std::round(i * (tile.width() + kTileSpacing))), 0), tile));
        tiles_[i]->syncHoverWithPointer();
    }
}

void VolumePickerView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) applySlimHorizontalScrollBar(row_);
    QWidget::changeEvent(event);
}

QSize VolumePickerView::sizeHint() const {
    return {760, 480};
}

void VolumePickerView::resizeEvent(QResizeEvent*) {
    layoutTiles();
}

void VolumePickerView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const Theme::Palette& palette = Theme::palette(this);
    const Layout column = layoutColumn();
    painter.setFont(headlineFont());
    painter.setPen(palette.ink);
    painter.drawText(column.headline, Qt::AlignHCenter | Qt::AlignVCenter,
                     volumePickerHeadline(volumes_.size()));
    painter.setFont(introductionFont());
    painter.setPen(palette.ink2);
    painter.drawText(column.introduction, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                     volumePickerIntroduction(volumes_.size()));
}

} // namespace quillmere
