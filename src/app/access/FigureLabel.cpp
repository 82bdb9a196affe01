#include "app/access/FigureLabel.hpp"

#include "ui/ReferenceText.hpp"
#include "ui/Theme.hpp"

#include <QPainter>
#include <cmath>

namespace quillmere {

FigureLabel::FigureLabel(const QString& text, qreal pixelSize, QFont::Weight weight, QWidget* parent)
    : QLabel(text, parent), pixelSize_(pixelSize), weight_(weight) {
    setTextFormat(Qt::PlainText);
    // What asks the label's font (baselines, accessibility) sees the face that draws.
    setFont(Theme::uiFont(pixelSize, weight));
}

QSize FigureLabel::sizeHint() const {
    const reference_text::Style style{.size = pixelSize_, .weight = weight_, .equalWidthDigits = true};
    const QSizeF line = reference_text::measure(QString(), pixelSize_, weight_);
    const QMargins margins = contentsMargins();
    return QSize(static_cast<int>(std::ceil(reference_text::width(text(), style))) + margins.left() +
                     margins.right(),
                 static_cast<int>(std::ceil(line.height())) + margins.top() + margins.bottom());
}

QSize FigureLabel::minimumSizeHint() const {
    return sizeHint();
}

void FigureLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const reference_text::Style style{.size = pixelSize_,
                                      .weight = weight_,
                                      .color = palette().color(foregroundRole()),
                                      .equalWidthDigits = true};
    // Trailing alignment: the figures of a column end at the same edge.
    const QRect area = contentsRect();
    const qreal width = reference_text::width(text(), style);
    reference_text::drawAt(painter, QPointF(area.right() + 1 - width, area.top()), text(), style);
}

} // namespace quillmere
