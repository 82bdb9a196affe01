#include "app/ui/ProgressIndicator.hpp"

#include "app/ui/StyleColors.hpp"

#include <QPainter>
#include <QVariantAnimation>
#include <cmath>

namespace quillmere {

namespace {
constexpr int kSpokes = 12;
}

SmallProgressIndicator::SmallProgressIndicator(QWidget* parent)
    : QWidget(parent), turn_(new QVariantAnimation(this)) {
    setFixedSize(kSide, kSide);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    turn_->setStartValue(0);
    turn_->setEndValue(kSpokes);
    turn_->setDuration(1000);
    turn_->setLoopCount(-1);
    connect(turn_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const int step = value.toInt() % kSpokes;
        if (step == step_) return;
        step_ = step;
        update();
    });
}

void SmallProgressIndicator::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    turn_->start();
}

void SmallProgressIndicator::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    turn_->stop();
}

void SmallProgressIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = StyleColors::of(this).primary;
    const QPointF center(width() / 2.0, height() / 2.0);
    const qreal outer = kSide / 2.0 - 1;
    const qreal inner = outer * 0.5;
    QPen pen;
    pen.setWidthF(1.6);
    pen.setCapStyle(Qt::RoundCap);
    for (int i = 0; i < kSpokes; ++i) {
        // Spokes fade behind the leading one, as a turning light leaves a trail.
        const int behind = (step_ - i + kSpokes) % kSpokes;
        QColor color = ink;
        color.setAlphaF(static_cast<float>(0.85 - 0.6 * behind / (kSpokes - 1.0)));
        pen.setColor(color);
        painter.setPen(pen);
        const double angle = 2 * M_PI * i / kSpokes - M_PI / 2;
        const QPointF direction(std::cos(angle), std::sin(angle));
        painter.drawLine(center + direction * inner, center + direction * outer);
    }
}

} // namespace quillmere
