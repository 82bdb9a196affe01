#include "systemdata/view/SystemDataButton.hpp"

#include "ui/Theme.hpp"

#include <QEvent>
#include <QPainter>

namespace quillmere {

namespace {
QFont buttonFont(bool prominent) {
    return Theme::uiFont(prominent ? 12 : 11, prominent ? QFont::DemiBold : QFont::Medium);
}
} // namespace

SystemDataButton::SystemDataButton(const QString& title, bool prominent, QWidget* parent)
    : QAbstractButton(parent), prominent_(prominent) {
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

QSize SystemDataButton::sizeHint() const {
    const QFontMetrics metrics(buttonFont(prominent_));
    return {metrics.horizontalAdvance(text()) + (prominent_ ? 28 : 16), prominent_ ? 28 : 22};
}

bool SystemDataButton::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::HoverEnter:
        hovered_ = true;
        update();
        break;
    case QEvent::HoverLeave:
        hovered_ = false;
        update();
        break;
    default:
        break;
    }
    return QAbstractButton::event(event);
}

QColor SystemDataButton::prominentColor(bool dark) const {
    return Theme::accent(dark);
}

void SystemDataButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = Theme::isDark(this);
    const Theme::Palette& palette = Theme::palette(dark);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = prominent_ ? 7 : 6;
    QColor fill;
    QColor ink = palette.ink;
    QPen border(palette.line, 1);
    if (prominent_ && isEnabled()) {
        const QColor accent = prominentColor(dark);
        fill = isDown() ? accent.darker(115) : (hovered_ ? accent.lighter(106) : accent);
        ink = Qt::white;
        border = Qt::NoPen;
    } else {
        const int alpha = !isEnabled() ? 8 : isDown() ? 36 : hovered_ ? 24 : 14;
        fill = dark ? QColor(255, 255, 255, alpha) : QColor(0, 0, 0, alpha / 2 + 4);
        if (!isEnabled()) ink = palette.ink3;
    }
    painter.setPen(border);
    painter.setBrush(fill);
    painter.drawRoundedRect(area, radius, radius);
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.setPen(QPen(Theme::accent(dark), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(area.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
    }
    painter.setFont(buttonFont(prominent_));
    painter.setPen(ink);
    painter.drawText(area, Qt::AlignCenter, text());
}

} // namespace quillmere
