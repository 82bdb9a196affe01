#pragma once

#include "ui/Ink.hpp"

#include <QElapsedTimer>
#include <QWidget>

class QTimer;

namespace quillmere {

// A turning indicator for work of unknown length: twelve spokes whose brightest steps round
// while the rest fade behind it, or an arc running round a faint ring. It turns only while
// shown, so a hidden one costs nothing. A host that follows the desktop's wish for reduced
// motion holds it still, on its resting frame.
class ProgressIndicator : public QWidget {
    Q_OBJECT
public:
    // Colours are taken from the window's scheme on every paint.
    using Ink = quillmere::Ink;
    // What the arc runs round: the separator colour, or the arc's own ink faded.
    enum class Track { separator, fadedInk };

    struct Look {
        enum class Shape { spokes, arc };
        Shape shape = Shape::spokes;
        qreal side = 16;
        int turnMs = 1000; // one whole turn
        Ink ink = Ink::primary;
        qreal lineWidth = 1.6;
        // Spokes: how far from the centre each starts and ends, and the opacity of the leading
        // spoke and of the last one trailing it.
        qreal innerRadius = 3.5;
        qreal outerRadius = 7;
        qreal leadOpacity = 0.85;
        qreal trailOpacity = 0.25;
        // Arc: how many degrees it spans, clockwise from its trailing end, which rests at
        // `restAngle` degrees (counter-clockwise from three o'clock).
        qreal sweep = 100;
        qreal restAngle = 100;
        Track track = Track::fadedInk;

        // The small spinner: spokes in the primary ink, 16 across, turning once a second.
        static Look spokes();
        // A ring `side` across with an arc in the secondary ink, stroked an eighth of the side
        // (at least 1.5), turning in 0.6 seconds.
        static Look arc(qreal side);
    };

    explicit ProgressIndicator(QWidget* parent = nullptr) : ProgressIndicator(Look::spokes(), parent) {}
    explicit ProgressIndicator(const Look& look, QWidget* parent = nullptr);

    // Drawn centred in the widget, which may be wider or taller than the look's side.
    QSize sizeHint() const override;
    bool isTurning() const;
    // Stopped on its resting frame while `still`, even when shown.
    void setHeldStill(bool still);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void startOrStop();
    // How far round it is, from 0 at rest up to 1.
    qreal turn() const;
    QColor inkColor() const;

    Look look_;
    QTimer* timer_;
    QElapsedTimer clock_;
    int step_ = 0;
    bool heldStill_ = false;
};

} // namespace quillmere
