#include "applications/view/AppDropOverlay.hpp"

#include "applications/model/ApplicationsTexts.hpp"
#include "applications/view/ViewText.hpp"
#include "ui/IconTile.hpp"
#include "ui/Painting.hpp"
#include "ui/Theme.hpp"

#include <QPainter>
#include <QRadialGradient>

namespace quillmere {

AppDropOverlay::AppDropOverlay(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAcceptDrops(false);
}

void AppDropOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    QRadialGradient scrim(centre, 340);
    scrim.setColorAt(0, QColor(242, 106, 33, qRound(0.22 * 255)));
    scrim.setColorAt(1, QColor(8, 7, 12, qRound(0.72 * 255)));
    painter.fillRect(rect(), scrim);

    const QFont titleFont = Theme::uiFont(19, QFont::DemiBold);
    const QFont bodyFont = Theme::uiFont(12.5);
    const qreal cardWidth = 430;
    const qreal textWidth = cardWidth - 60;
    const QRectF titleBounds = QFontMetricsF(titleFont).boundingRect(
        QRectF(0, 0, textWidth, 1000), Qt::AlignHCenter | Qt::TextWordWrap, qs(texts::kDropTitle));
    const QRectF bodyBounds = QFontMetricsF(bodyFont).boundingRect(
        QRectF(0, 0, textWidth, 1000), Qt::AlignHCenter | Qt::TextWordWrap, qs(texts::kDropBody));
    const qreal tile = 78;
    const qreal cardHeight = 34 + tile + 16 + titleBounds.height() + 16 + bodyBounds.height() + 30;
    const QRectF card(centre.x() - cardWidth / 2, centre.y() - cardHeight / 2, cardWidth, cardHeight);

    painting::paintRoundedShadow(painter, card, 20, QColor(240, 118, 28, qRound(0.55 * 255)), 44, {});
    const QPainterPath shape = painting::continuousRoundedRect(card, 20);
    painter.fillPath(shape, QColor(24, 22, 30, qRound(0.85 * 255)));
    QPen dash(QColor(255, 180, 84, qRound(0.55 * 255)), 2);
    dash.setDashPattern({7.0 / 2, 5.0 / 2});
    painter.setPen(dash);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(painting::strokeBorderPath(card, 20, 2));

    qreal y = card.top() + 34;
    painter.save();
    painter.translate(card.center().x(), y + tile / 2);
    painter.rotate(-7);
    IconTile::paint(painter, QRectF(-tile / 2, -tile / 2, tile, tile), IconTile::dropTarget());
    painter.restore();
    y += tile + 16;
    painter.setFont(titleFont);
    painter.setPen(QColor(244, 243, 248));
    painter.drawText(QRectF(card.left() + 30, y, textWidth, titleBounds.height()),
                     Qt::AlignHCenter | Qt::TextWordWrap, qs(texts::kDropTitle));
    y += titleBounds.height() + 16;
    painter.setFont(bodyFont);
    painter.setPen(QColor(162, 161, 177));
    painter.drawText(QRectF(card.left() + 30, y, textWidth, bodyBounds.height()),
                     Qt::AlignHCenter | Qt::TextWordWrap, qs(texts::kDropBody));
}

} // namespace quillmere
