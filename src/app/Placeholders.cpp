#include "app/Placeholders.hpp"

#include "ui/Theme.hpp"

#include <QPainter>
#include <QPushButton>

namespace quillmere {

PlaceholderView::PlaceholderView(const QString& viewName, const QString& detail, QWidget* parent)
    : QWidget(parent), viewName_(viewName), detail_(detail) {}

void PlaceholderView::setDetail(const QString& detail) {
    detail_ = detail;
    update();
}

void PlaceholderView::setAction(const QString& title) {
    if (!action_) {
        action_ = new QPushButton(this);
        action_->setCursor(Qt::PointingHandCursor);
        connect(action_, &QPushButton::clicked, this, &PlaceholderView::actionTriggered);
    }
    action_->setText(title);
    action_->adjustSize();
    resizeEvent(nullptr);
}

void PlaceholderView::resizeEvent(QResizeEvent*) {
    if (action_) action_->move((width() - action_->width()) / 2, height() / 2 + 40);
}

void PlaceholderView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme::Palette& palette = Theme::palette(Theme::isDark(this));
    const bool compact = height() < 120; // a bar rather than a screen
    const QRectF shown(rect());
    const QRectF card = compact ? shown.adjusted(12, 6, -12, -6) : shown.adjusted(16, 12, -16, -12);
    painter.setPen(QPen(palette.line, 1, Qt::DashLine));
    painter.setBrush(palette.fill);
    painter.drawRoundedRect(card, 14, 14);
    QFont title = Theme::uiFont(17, QFont::DemiBold);
    painter.setFont(title);
    painter.setPen(palette.ink2);
    if (compact) {
        title.setPixelSize(12);
        painter.setFont(title);
        painter.drawText(card, Qt::AlignCenter, viewName_);
        return;
    }
    painter.drawText(QRectF(card.left(), card.center().y() - 30, card.width(), 26), Qt::AlignCenter,
                     viewName_);
    if (!detail_.isEmpty()) {
        painter.setFont(Theme::uiFont(12));
        painter.setPen(palette.ink3);
        painter.drawText(QRectF(card.left() + 20, card.center().y(), card.width() - 40, 36),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, detail_);
    }
}

} // namespace quillmere
