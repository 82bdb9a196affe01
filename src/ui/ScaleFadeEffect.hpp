#pragma once

#include "ui/WidgetPicture.hpp"

#include <QGraphicsEffect>
#include <functional>

class QWidget;

namespace quillmere {

// Draws a widget scaled about its centre and faded: the way a replaced view enters (from 0.96
// and transparent) and leaves.
class ScaleFadeEffect : public QGraphicsEffect {
public:
    explicit ScaleFadeEffect(QWidget* widget);
    // 0 is the start (scaled to `fromScale`, transparent), 1 the widget as it is.
    void setProgress(qreal progress);
    void setFromScale(qreal scale) { fromScale_ = scale; }
    // A view on its way out takes no input and goes when its fade ends: it is drawn once, and
    // that picture fades (drawn anew only for a new size). A transition's frame then draws only
    // the view coming in, which may still be filling in.
    void setHeldStill(bool still) { heldStill_ = still; }

protected:
    void draw(QPainter* painter) override;

private:
    QWidget* widget_;
    WidgetPicture picture_;
    qreal progress_ = 0;
    qreal fromScale_ = 0.96;
    bool heldStill_ = false;
};

// Runs the transition on `widget` from 0 to 1 (`entering`) or from 1 to 0 (held still) over
// `durationMs` along the ease-in-out curve, then removes the effect; `finished` runs at the end
// (at once when the duration is 0).
void animateScaleFade(QWidget* widget, bool entering, int durationMs, std::function<void()> finished = {});

} // namespace quillmere
