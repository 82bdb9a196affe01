#include "ui/ProgressIndicator.hpp"

#include "ui/ColorOpacity.hpp"
#include "ui/Theme.hpp"

#include <QPainter>
#include <QTimer>
#include <cmath>

namespace quillmere {

namespace {
constexpr int kSpokes = 12;
// Arcs turn smoothly; spokes step, so they need looking at only twice a step.
constexpr int kArcFrameMs = 30;
} // namespace

ProgressIndicator::Look ProgressIndicator::Look::spokes() {
    return Look{};
}

ProgressIndicator::Look ProgressIndicator::Look::arc(qreal side) {
    return Look{.shape = Shape::arc,
                .side = side,
                .turnMs = 600,
                .ink = Ink::secondary,
                .lineWidth = std::max(side / 8, 1.5)};
}

ProgressIndicator::ProgressIndicator(const Look& look, QWidget* parent)
    : QWidget(parent), look_(look), timer_(new QTimer(this)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    timer_->setInterval(look_.shape == Look::Shape::spokes ? std::max(1, look_.turnMs / (2 * kSpokes))
                                                           : kArcFrameMs);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (look_.shape == Look::Shape::spokes) {
            const int step = static_cast<int>(turn() * kSpokes) % kSpokes;
            if (step == step_) return;
            step_ = step;
        }
        update();
    });
}

QSize ProgressIndicator::sizeHint() const {
    const int side = static_cast<int>(std::ceil(look_.side));
    return {side, side};
}

bool ProgressIndicator::isTurning() const {
    return timer_->isActive();
}

void ProgressIndicator::setHeldStill(bool still) {
    heldStill_ = still;
    startOrStop();
}

void ProgressIndicator::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    startOrStop();
}

void ProgressIndicator::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    startOrStop();
}

void ProgressIndicator::startOrStop() {
    const bool turn = isVisible() && !heldStill_;
    if (turn && !timer_->isActive()) {
        clock_.start();
        timer_->start();
    } else if (!turn && timer_->isActive()) {
        timer_->stop();
    }
    step_ = 0;
    update();
}

qreal ProgressIndicator::turn() const {
    if (!timer_->isActive() || look_.turnMs <= 0) return 0;
    return std::fmod(static_cast<qreal>(clock_.elapsed()) / look_.turnMs, 1.0);
}

QColor ProgressIndicator::inkColor() const {
    return Theme::ink(this, look_.ink);
}

void ProgressIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(width() / 2.0, height() / 2.0);
    const QColor ink = inkColor();
    if (look_.shape == Look::Shape::spokes) {
        const int lead = timer_->isActive() ? step_ : 0;
        QPen pen;
        pen.setWidthF(look_.lineWidth);
        pen.setCapStyle(Qt::RoundCap);
        for (int i = 0; i < kSpokes; ++i) {
            // Spokes fade behind the leading one, as a turning light leaves a trail.
            const int behind = (lead - i + kSpokes) % kSpokes;
            pen.setColor(withOpacity(ink, look_.leadOpacity - (look_.leadOpacity - look_.trailOpacity) *
                                                                  behind / (kSpokes - 1.0)));
            painter.setPen(pen);
            const double angle = 2 * M_PI * i / kSpokes - M_PI / 2;
            const QPointF direction(std::cos(angle), std::sin(angle));
            painter.drawLine(centre + direction * look_.innerRadius, centre + direction * look_.outerRadius);
        }
        return;
    }
    const qreal width = look_.lineWidth;
    const qreal radius = (look_.side - width) / 2;
    const QRectF ring(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    painter.setPen(
        QPen(look_.track == Track::separator ? Theme::palette(this).line : withOpacity(ink, 0.18), width));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(ring);
    // It turns clockwise: the trailing end moves away from where it rests.
    const qreal trailing = look_.restAngle - turn() * 360;
    painter.setPen(QPen(ink, width, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(ring, qRound((trailing - look_.sweep) * 16), qRound(look_.sweep * 16));
}

} // namespace quillmere
