#pragma once

#include <QImage>

class QWidget;

namespace quillmere {

// A widget drawn offscreen for an effect that fades or scales it, into one picture kept from
// frame to frame. A fading screen is drawn offscreen every frame; a window-sized picture made
// anew each time costs more in fresh memory (tens of megabytes a frame at 2x) than in drawing.
// Pictures given up are kept for the next effect, so a transition starts without fresh memory.
class WidgetPicture {
public:
    // `widget` and its children drawn afresh, at the origin, at `ratio` pixels a point,
    // transparent where they draw nothing. Only for use inside the widget's effect.
    const QImage& draw(QWidget& widget, qreal ratio);
    // The picture drawn last, while it still fits `widget` at `ratio`; else drawn afresh.
    const QImage& drawOnce(QWidget& widget, qreal ratio);
    // Gives the picture's memory back, for an effect that will not draw offscreen for a while.
    void release();

private:
    QImage picture_;
};

} // namespace quillmere
