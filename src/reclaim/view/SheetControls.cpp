#include "reclaim/view/SheetControls.hpp"

#include "ui/Painting.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"

#include <QEvent>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <cmath>

namespace quillmere {

namespace {

QColor systemGreen(bool dark) {
    return dark ? QColor(48, 209, 88) : QColor(40, 167, 69);
}

QColor systemRed(bool dark) {
    return dark ? QColor(255, 69, 58) : QColor(220, 53, 47);
}

} // namespace

TrashTile::TrashTile(QWidget* parent) : QWidget(parent) {
    setFixedSize(46, 46);
}

void TrashTile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor warning = Theme::warning(this);
    QColor faded = warning;
    faded.setAlphaF(0.75 * warning.alphaF());
    QLinearGradient gradient(QPointF(23, 0), QPointF(23, 46));
    gradient.setColorAt(0, warning);
    gradient.setColorAt(1, faded);
    painter.fillPath(painting::continuousRoundedRect(QRectF(rect()), 11), gradient);
    Symbols::draw(painter, QRectF(rect()), "trash.fill", Qt::white, 19);
}

ResultSymbol::ResultSymbol(bool failed, QWidget* parent) : QWidget(parent), failed_(failed) {
    setFixedSize(int(std::ceil(Symbols::boxSide(22))), int(std::ceil(Symbols::boxSide(22))));
}

void ResultSymbol::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = Theme::isDark(this);
    Symbols::draw(painter, QRectF(rect()),
                  failed_ ? "exclamationmark.triangle.fill" : "checkmark.circle.fill",
                  failed_ ? Theme::accent(dark) : systemGreen(dark), 22);
}

SheetButton::SheetButton(const QString& title, Style style, QWidget* parent)
    : SystemDataButton(title, style != Style::bordered, parent), style_(style) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SheetButton::sizeHint() const {
    const QSize hint = SystemDataButton::sizeHint();
    return {std::max(hint.width(), 76), 28};
}

QColor SheetButton::prominentColor(bool dark) const {
    return style_ == Style::destructive ? systemRed(dark) : SystemDataButton::prominentColor(dark);
}

SheetDivider::SheetDivider(QWidget* parent) : QWidget(parent) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SheetDivider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::palette(this).line);
}

ProgressIndicator::Look sheetSpinnerLook() {
    ProgressIndicator::Look look = ProgressIndicator::Look::spokes();
    look.turnMs = 960;
    look.ink = ProgressIndicator::Ink::secondary;
    look.innerRadius = 3.6;
    look.outerRadius = 6.8;
    look.leadOpacity = 1;
    look.trailOpacity = 2.0 / 13;
    return look;
}

} // namespace quillmere
