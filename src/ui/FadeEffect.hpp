#pragma once

#include "ui/WidgetPicture.hpp"

#include <QGraphicsEffect>

class QWidget;

namespace quillmere {

// Draws a widget at an opacity, as a plain opacity effect does, from a picture kept from frame
// to frame (see WidgetPicture).
class FadeEffect final : public QGraphicsEffect {
public:
    explicit FadeEffect(QWidget* widget);

    qreal opacity() const { return opacity_; }
    void setOpacity(qreal opacity);

protected:
    void draw(QPainter* painter) override;

private:
    QWidget* widget_;
    qreal opacity_ = 1;
    WidgetPicture picture_;
};

} // namespace quillmere
