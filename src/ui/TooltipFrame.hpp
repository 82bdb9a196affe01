#pragma once

#include "views/Tooltip.hpp"

#include <QPointF>
#include <QRectF>

class QPainter;

namespace quillmere {

// The drawn views' tooltip: its lines on a rounded card (corner radius 8, window background,
// separator border inside the edge, soft shadow), at its ideal size.
class TooltipFrame {
public:
    explicit TooltipFrame(views::TooltipContent content);

    QSizeF size() const { return size_; }
    // The card's rectangle when its centre is at `center`.
    QRectF rectAt(QPointF center) const;
    void paint(QPainter& painter, QPointF center, bool dark) const;

private:
    views::TooltipContent content_;
    QSizeF size_;
};

} // namespace quillmere
