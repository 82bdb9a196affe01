#include "ui/WidgetPicture.hpp"

#include "ui/PictureMemory.hpp"

#include <QWidget>

namespace quillmere {

void WidgetPicture::release() {
    picture_ = QImage();
}

namespace {

QSize picturePixels(const QWidget& widget, qreal ratio) {
    return (QSizeF(widget.size()) * ratio).toSize();
}

} // namespace

const QImage& WidgetPicture::drawOnce(QWidget& widget, qreal ratio) {
    if (!picture_.isNull() && picture_.size() == picturePixels(widget, ratio) &&
        picture_.devicePixelRatio() == ratio)
        return picture_;
    return draw(widget, ratio);
}

const QImage& WidgetPicture::draw(QWidget& widget, qreal ratio) {
    const QSize pixels = picturePixels(widget, ratio);
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
