#include "reclaim/view/ScrollingBox.hpp"

#include "ui/Painting.hpp"
#include "ui/ScrollBars.hpp"
#include "ui/Theme.hpp"

#include <QEvent>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace quillmere {

namespace {
constexpr int kBorder = 1;
} // namespace

ScrollingBox::ScrollingBox(Look look, int spacing, QWidget* parent)
    : QWidget(parent), look_(look), scroll_(new QScrollArea(this)), content_(new QWidget), layout_(nullptr) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    layout_ = new QVBoxLayout(content_);
    layout_->setSpacing(spacing);
    const int inset = look == Look::warning ? 10 : 0;
    layout_->setContentsMargins(inset, inset, inset, inset);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidget(content_);
    scroll_->viewport()->setAutoFillBackground(false);
    content_->setAutoFillBackground(false);
    applySlimScrollBar(scroll_);
}

void ScrollingBox::addWidget(QWidget* widget) {
    layout_->addWidget(widget);
    updateGeometry();
}

int ScrollingBox::contentHeight(int width) const {
    return layout_->heightForWidth(std::max(width - 2 * kBorder, 1));
}

int ScrollingBox::heightForWidth(int width) const {
    return std::min(contentHeight(width), kMaxHeight - 2 * kBorder) + 2 * kBorder;
}

QSize ScrollingBox::sizeHint() const {
    return {420, heightForWidth(420)};
}

void ScrollingBox::resizeEvent(QResizeEvent*) {
    scroll_->setGeometry(rect().adjusted(kBorder, kBorder, -kBorder, -kBorder));
}

void ScrollingBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) applySlimScrollBar(scroll_);
    QWidget::changeEvent(event);
}

void ScrollingBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme::Palette& palette = Theme::palette(this);
    const QRectF box(rect());
    if (look_ == Look::warning) {
        QColor tint = Theme::warning(this);
        tint.setAlphaF(0.1 * tint.alphaF());
        painter.fillPath(painting::continuousRoundedRect(box, 8), tint);
        return;
    }
    painter.fillPath(painting::continuousRoundedRect(box, 8), palette.bg1);
    painter.setPen(QPen(palette.line, 1));
    painter.drawPath(painting::strokeBorderPath(box, 8, 1));
}

} // namespace quillmere
