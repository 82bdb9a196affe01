#include "ui/WidgetPicture.hpp"

#include "ui/PictureMemory.hpp"

#include <QWidget>

namespace quillmere {

void WidgetPicture::release() {
    picture_ = QImage();
}

const QImage& WidgetPicture::draw(QWidget& widget, qreal ratio) {
    const QSize pixels = (QSizeF(widget.size()) * ratio).toSize();
    if (pixels.isEmpty()) {
        picture_ = QImage();
        return picture_;
    }
    if (picture_.size() != pixels || picture_.devicePixelRatio() != ratio) {
        picture_ = QImage(); // its memory back first, for the new picture to take
        picture_ = blankPicture(pixels, ratio);
    }
    picture_.fill(Qt::transparent);
    widget.render(&picture_, QPoint(), QRegion(), QWidget::DrawChildren);
    return picture_;
}

} // namespace quillmere
