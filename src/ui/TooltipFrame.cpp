#include "ui/TooltipFrame.hpp"

#include "ui/Painting.hpp"
#include "ui/ReferenceText.hpp"
#include "ui/StyleColors.hpp"

#include <QPainter>

namespace quillmere {
namespace {

constexpr qreal kShadowOpacity = 0.18;
constexpr qreal kShadowBlur = 6;
constexpr QPointF kShadowOffset(0, 2);

} // namespace

TooltipFrame::TooltipFrame(views::TooltipContent content) : content_(std::move(content)) {
    const views::SizeD ideal = views::tooltipSize(content_, reference_text::measurer());
    size_ = QSizeF(ideal.width, ideal.height);
}

QRectF TooltipFrame::rectAt(QPointF center) const {
    return QRectF(center - QPointF(size_.width() / 2, size_.height() / 2), size_);
}

void TooltipFrame::paint(QPainter& painter, QPointF center, bool dark) const {
    const StyleColors& colors = StyleColors::of(dark);
    const QRectF card = rectAt(center);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painting::paintRoundedShadow(painter, card, views::kTooltipCornerRadius,
                                 QColor(0, 0, 0, qRound(255 * kShadowOpacity)), kShadowBlur, kShadowOffset);
    painter.fillPath(painting::continuousRoundedRect(card, views::kTooltipCornerRadius),
                     colors.windowBackground);
    painter.strokePath(painting::strokeBorderPath(card, views::kTooltipCornerRadius, 1),
                       QPen(colors.separator, 1));
    qreal y = card.top() + views::kTooltipMarginY;
    for (const views::TooltipLine& line : content_.lines) {
        const QString text = QString::fromStdString(line.text);
        const reference_text::Style style{line.fontSize, reference_text::qtWeight(line.weight),
                                          colors.text(line.role)};
        reference_text::drawAt(painter, QPointF(card.left() + views::kTooltipMarginX, y), text, style);
        y += reference_text::measure(text, line.fontSize, style.weight).height() + views::kTooltipLineSpacing;
    }
    painter.restore();
}

} // namespace quillmere
