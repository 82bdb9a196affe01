#include "ui/IconTile.hpp"

#include "ui/Painting.hpp"
#include "ui/Symbols.hpp"

#include <QLinearGradient>
#include <QPainter>
#include <cmath>

namespace quillmere {

namespace {

template <class... Fs> struct Overloaded : Fs... { using Fs::operator()...; };
template <class... Fs> Overloaded(Fs...) -> Overloaded<Fs...>;

void paintGlossAndRim(QPainter& painter, const QRectF& tile, const QPainterPath& shape) {
    const qreal s = tile.width();
    QLinearGradient gloss(QPointF(tile.center().x(), tile.top()),
                          QPointF(tile.center().x(), tile.top() + s * 0.56));
    gloss.setColorAt(0, Theme::tileGlossTop());
    gloss.setColorAt(1, Theme::tileGlossBottom());
    painter.fillPath(shape, gloss);

    const qreal width = IconTile::rimWidth(s);
    QColor faded = Theme::tileRim();
    faded.setAlphaF(0);
    QLinearGradient rim(QPointF(tile.center().x(), tile.top()), tile.center());
    rim.setColorAt(0, Theme::tileRim());
    rim.setColorAt(1, faded);
    QPen pen(QBrush(rim), width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(painting::strokeBorderPath(tile, IconTile::cornerRadius(s), width));
}

// Scales to cover the square with the image's own proportions; the shape's clip trims the
// overflow.
QRectF coverRect(const QSizeF& image, const QRectF& tile) {
    if (image.isEmpty()) return tile;
    const qreal scale = std::max(tile.width() / image.width(), tile.height() / image.height());
    const QSizeF size = image * scale;
    return QRectF(tile.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

} // namespace

IconTile::Kind IconTile::application(const QIcon& icon) {
    QSize largest(256, 256);
    const auto sizes = icon.availableSizes();
    for (const QSize& size : sizes)
        if (size.width() * size.height() > largest.width() * largest.height()) largest = size;
    return Application{icon.pixmap(largest).toImage()};
}

IconTile::IconTile(Kind kind, qreal size, QWidget* parent)
    : QWidget(parent), kind_(std::move(kind)), size_(size) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void IconTile::setReservesShadowRoom(bool on) {
    if (on == reservesShadowRoom_) return;
    reservesShadowRoom_ = on;
    updateGeometry();
    update();
}

QMarginsF IconTile::shadowBleed(qreal side) {
    return painting::shadowBleed(shadowBlur(side), QPointF(0, shadowOffset(side)));
}

QSize IconTile::sizeHint() const {
    QSizeF size(size_, size_);
    if (reservesShadowRoom_) {
        const QMarginsF bleed = shadowBleed(size_);
        size += QSizeF(bleed.left() + bleed.right(), bleed.top() + bleed.bottom());
    }
    return QSize(int(std::ceil(size.width())), int(std::ceil(size.height())));
}

QRectF IconTile::tileRect() const {
    if (!reservesShadowRoom_)
        return QRectF(QPointF(0, 0), QSizeF(size_, size_))
            .translated(QPointF(width() - size_, height() - size_) / 2);
    const QMarginsF bleed = shadowBleed(size_);
    const QRectF room = QRectF(rect()).marginsRemoved(bleed);
    return QRectF(room.center() - QPointF(size_ / 2, size_ / 2), QSizeF(size_, size_));
}

std::optional<Theme::TileStyle> IconTile::style(const Kind& kind) {
    return std::visit(
        Overloaded{
            [](const SystemDataCategory& c) -> std::optional<Theme::TileStyle> {
                const Theme::TileStyle* found = Theme::categoryStyle(c.id);
                return found ? *found : Theme::orphanGroupStyle();
            },
            [](const Application&) -> std::optional<Theme::TileStyle> { return std::nullopt; },
            [](FileKind k) -> std::optional<Theme::TileStyle> {
                const Theme::TileStyle* found = Theme::kindStyle(k);
                return found ? *found : Theme::orphanGroupStyle();
            },
            [](const OrphanGroup&) -> std::optional<Theme::TileStyle> { return Theme::orphanGroupStyle(); },
            [](const DropTarget&) -> std::optional<Theme::TileStyle> { return Theme::dropTargetStyle(); },
        },
        kind);
}

void IconTile::paint(QPainter& painter, const QRectF& tile, const Kind& kind) {
    const qreal s = std::min(tile.width(), tile.height());
    if (s <= 0) return;
    const QRectF square(tile.center() - QPointF(s / 2, s / 2), QSizeF(s, s));
    const qreal radius = cornerRadius(s);
    const QPainterPath shape = painting::continuousRoundedRect(square, radius);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painting::paintRoundedShadow(painter, square, radius, Theme::tileShadow(), shadowBlur(s),
                                 QPointF(0, shadowOffset(s)));
    painter.setClipPath(shape, Qt::IntersectClip);

    if (const auto* app = std::get_if<Application>(&kind)) {
        painter.drawImage(coverRect(app->image.size(), square), app->image);
    } else if (const auto tileStyle = style(kind)) {
        QLinearGradient face(square.topLeft(), square.bottomRight());
        face.setColorAt(0, tileStyle->gradient.start);
        face.setColorAt(1, tileStyle->gradient.end);
        painter.fillPath(shape, face);
        Symbols::draw(painter, square, tileStyle->symbolName, Theme::tileSymbol(), symbolSize(s));
    }
    paintGlossAndRim(painter, square, shape);
    painter.restore();
}

void IconTile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, tileRect(), kind_);
}

} // namespace quillmere
