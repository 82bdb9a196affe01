#include "applications/view/RowListArea.hpp"

#include <QEvent>
#include <QKeyEvent>
#include <QScrollBar>

namespace quillmere {

RowListArea::RowListArea(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
}

void RowListArea::relayout() {
    const qreal contentHeight = layOut();
    if (focused_ >= bandCount() || (focused_ >= 0 && !band(focused_).isRow)) focused_ = -1;
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    bar->setSingleStep(16);
    bar->setRange(0, std::max(0, qCeil(contentHeight) - viewport()->height()));
}

void RowListArea::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

bool RowListArea::viewportEvent(QEvent* event) {
    // The scroll range follows the viewport's own size, which settles after the area's.
    if (event->type() == QEvent::Resize) relayout();
    return QAbstractScrollArea::viewportEvent(event);
}

int RowListArea::rowAt(QPoint point) const {
    const qreal y = point.y() + verticalScrollBar()->value();
    for (int index = 0; index < bandCount(); ++index) {
        const Band placed = band(index);
        if (placed.isRow && y >= placed.top && y < placed.top + placed.height) return index;
    }
    return -1;
}

void RowListArea::choose(int index) {
    focused_ = index;
    rowChosen(index);
    viewport()->update();
}

void RowListArea::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        if (const int index = rowAt(event->position().toPoint()); index >= 0) choose(index);
    QAbstractScrollArea::mousePressEvent(event);
}

void RowListArea::moveFocus(int step) {
    const int count = bandCount();
    int index = focused_;
    do {
        index = index < 0 ? (step > 0 ? 0 : count - 1) : index + step;
    } while (index >= 0 && index < count && !band(index).isRow);
    if (index < 0 || index >= count) return;
    focused_ = index;
    // Scrolls the least that shows the whole row.
    const Band shown = band(index);
    QScrollBar* bar = verticalScrollBar();
    if (shown.top < bar->value())
        bar->setValue(qFloor(shown.top));
    else if (shown.top + shown.height > bar->value() + viewport()->height())
        bar->setValue(qCeil(shown.top + shown.height - viewport()->height()));
    viewport()->update();
}

void RowListArea::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Down:
        moveFocus(1);
        return;
    case Qt::Key_Up:
        moveFocus(-1);
        return;
    case Qt::Key_Space:
        if (focused_ >= 0) choose(focused_);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void RowListArea::focusInEvent(QFocusEvent* event) {
    if (focused_ < 0 && event->reason() != Qt::MouseFocusReason) moveFocus(1);
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void RowListArea::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

} // namespace quillmere
