#include "app/BottomPathBar.hpp"

#include "app/MainTopBar.hpp"
#include "app/state/NavigationHistory.hpp"
#include "ui/Painting.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <cmath>

namespace quillmere {

namespace {

// Room for a letter or two and the ellipsis when names have to give way.
constexpr qreal kShortestName = 28;
constexpr qreal kFocusRingWidth = 1.5;
constexpr qreal kFocusRingPadding = 4;

QFont nameFont(bool last) {
    return Theme::uiFont(BreadcrumbView::kNameSize, last ? QFont::DemiBold : QFont::Normal);
}

} // namespace

// ---- BreadcrumbView ----

BreadcrumbView::BreadcrumbView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    updateFocusPolicy();
}

void BreadcrumbView::setPath(const QStringList& path) {
    if (path == path_) return;
    path_ = path;
    pressedIndex_ = -1;
    if (!isClickable(focusIndex_)) focusIndex_ = int(path_.size()) - 2;
    updateFocusPolicy();
    unsetCursor();
    updateGeometry();
    update();
}

void BreadcrumbView::updateFocusPolicy() {
    // With nothing to climb to there is nothing for the keyboard to do here.
    setFocusPolicy(path_.size() >= 2 ? Qt::TabFocus : Qt::NoFocus);
    if (path_.size() < 2 && hasFocus()) clearFocus();
}

qreal BreadcrumbView::naturalWidth() const {
    qreal width = 0;
    for (int i = 0; i < path_.size(); ++i) {
        if (i >= 1) width += kSpacing + Symbols::boxSide(kChevronSize) + kSpacing;
        // Each name's box is rounded up to whole pixels, as the layout places it.
        width += std::ceil(QFontMetricsF(nameFont(i + 1 == path_.size())).horizontalAdvance(path_[i]));
    }
    return width;
}

BreadcrumbView::Layout BreadcrumbView::layoutRow() const {
    Layout row;
    const int count = int(path_.size());
    if (count == 0) return row;
    std::vector<qreal> widths;
    for (int i = 0; i < count; ++i)
        widths.push_back(std::ceil(QFontMetricsF(nameFont(i + 1 == count)).horizontalAdvance(path_[i])));
    const qreal chevron = Symbols::boxSide(kChevronSize);
    const qreal chrome = (count - 1) * (2 * kSpacing + chevron);
    const std::vector<qreal> shown = capWidths(widths, width() - chrome, kShortestName);
    const qreal lineHeight = std::ceil(QFontMetricsF(nameFont(true)).height());
    const qreal top = std::round((height() - lineHeight) / 2);
    qreal x = 0;
    for (int i = 0; i < count; ++i) {
        if (i >= 1) {
            x += kSpacing;
            row.chevrons << QRectF(x, top, chevron, lineHeight);
            x += chevron + kSpacing;
        }
        const qreal w = std::floor(shown[size_t(i)]);
        row.names << QRectF(x, top, w, lineHeight);
        row.shown << (shown[size_t(i)] < widths[size_t(i)]
                          ? QFontMetricsF(nameFont(i + 1 == count)).elidedText(path_[i], Qt::ElideRight, w)
                          : path_[i]);
        x += w;
    }
    return row;
}

QList<QRectF> BreadcrumbView::nameRects() const {
    return layoutRow().names;
}

QList<QRectF> BreadcrumbView::chevronRects() const {
    return layoutRow().chevrons;
}

QString BreadcrumbView::shownName(int index) const {
    return layoutRow().shown.value(index);
}

QSize BreadcrumbView::sizeHint() const {
    return {int(std::ceil(naturalWidth())), int(std::ceil(QFontMetricsF(nameFont(true)).height()))};
}

QSize BreadcrumbView::minimumSizeHint() const {
    return {0, sizeHint().height()};
}

int BreadcrumbView::clickableCrumbAt(const QPointF& point) const {
    const QList<QRectF> names = nameRects();
    for (int i = 0; i < names.size(); ++i)
        if (isClickable(i) && names[i].contains(point)) return i;
    return -1;
}

void BreadcrumbView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const Theme::Palette& palette = Theme::palette(this);
    const Layout row = layoutRow();
    for (const QRectF& chevron : row.chevrons)
        Symbols::draw(painter, chevron, "chevron.right", palette.ink3, kChevronSize);
    for (int i = 0; i < row.names.size(); ++i) {
        const bool last = i + 1 == row.names.size();
        painter.setFont(nameFont(last));
        painter.setPen(last ? palette.ink : palette.ink2);
        painter.drawText(row.names[i], Qt::AlignLeft | Qt::AlignVCenter, row.shown[i]);
    }
    if (painting::showsFocusRing(this) && isClickable(focusIndex_)) {
        QColor ring = Theme::accent(this);
        ring.setAlphaF(0.85f);
        painter.setPen(QPen(ring, kFocusRingWidth));
        painter.setBrush(Qt::NoBrush);
        const QRectF around = row.names[focusIndex_].adjusted(-kFocusRingPadding, -1, kFocusRingPadding, 1);
        painter.drawPath(painting::strokeBorderPath(around, 5, kFocusRingWidth));
    }
}

void BreadcrumbView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressedIndex_ = clickableCrumbAt(event->position());
    if (pressedIndex_ < 0) event->ignore();
}

void BreadcrumbView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || pressedIndex_ < 0) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int index = pressedIndex_;
    pressedIndex_ = -1;
    if (clickableCrumbAt(event->position()) == index) emit crumbSelected(index);
}

void BreadcrumbView::mouseMoveEvent(QMouseEvent* event) {
    // Names act on a click without looking like buttons, so the pointer says so.
    if (clickableCrumbAt(event->position()) >= 0)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    QWidget::mouseMoveEvent(event);
}

void BreadcrumbView::leaveEvent(QEvent* event) {
    unsetCursor();
    QWidget::leaveEvent(event);
}

void BreadcrumbView::keyPressEvent(QKeyEvent* event) {
    const int last = int(path_.size()) - 2; // the last clickable crumb
    if (last < 0 || event->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int current = std::clamp(focusIndex_, 0, last);
    switch (event->key()) {
    case Qt::Key_Left:
        focusIndex_ = std::max(0, current - 1);
        break;
    case Qt::Key_Right:
        focusIndex_ = std::min(last, current + 1);
        break;
    case Qt::Key_Home:
        focusIndex_ = 0;
        break;
    case Qt::Key_End:
        focusIndex_ = last;
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        focusIndex_ = current;
        emit crumbSelected(current);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    update();
}

void BreadcrumbView::focusInEvent(QFocusEvent* event) {
    // The parent folder is the likeliest step back up.
    focusIndex_ = int(path_.size()) - 2;
    update();
    QWidget::focusInEvent(event);
}

void BreadcrumbView::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void BreadcrumbView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) update();
    QWidget::changeEvent(event);
}

// ---- BottomPathBar ----

BottomPathBar::BottomPathBar(NavigationHistory& history, QWidget* parent)
    : QWidget(parent), history_(history), back_(new TopBarIconButton("chevron.left", "Back", this)),
      forward_(new TopBarIconButton("chevron.right", "Forward", this)),
      breadcrumb_(new BreadcrumbView(this)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(back_, &QAbstractButton::clicked, this, &BottomPathBar::backRequested);
    connect(forward_, &QAbstractButton::clicked, this, &BottomPathBar::forwardRequested);
    connect(breadcrumb_, &BreadcrumbView::crumbSelected, this, &BottomPathBar::crumbSelected);
    for (const auto& [keys, step] :
         {std::pair{QKeySequence(Qt::ALT | Qt::Key_Left), &BottomPathBar::goBack},
          std::pair{QKeySequence(Qt::ALT | Qt::Key_Right), &BottomPathBar::goForward}}) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, step);
    }
    connect(&history_, &NavigationHistory::visitsChanged, this, &BottomPathBar::refresh);
    connect(&history_, &NavigationHistory::currentIndexChanged, this, &BottomPathBar::refresh);
    connect(&history_, &NavigationHistory::volumeNameChanged, this, &BottomPathBar::refresh);
    refresh();
}

void BottomPathBar::goBack() {
    if (back_->isEnabled()) emit backRequested();
}

void BottomPathBar::goForward() {
    if (forward_->isEnabled()) emit forwardRequested();
}

void BottomPathBar::refresh() {
    back_->setEnabled(history_.canGoBack());
    forward_->setEnabled(history_.canGoForward());
    QStringList crumbs;
    for (const std::string& crumb : history_.breadcrumb())
        crumbs << QString::fromStdString(crumb);
    breadcrumb_->setPath(crumbs);
    layoutRow();
}

QSize BottomPathBar::sizeHint() const {
    return {2 * kPadding + 2 * TopBarIconButton::kSide + kButtonSpacing + kSpacing +
                breadcrumb_->sizeHint().width(),
            kHeight};
}

QSize BottomPathBar::minimumSizeHint() const {
    return {2 * kPadding + 2 * TopBarIconButton::kSide + kButtonSpacing, kHeight};
}

void BottomPathBar::resizeEvent(QResizeEvent*) {
    layoutRow();
}

void BottomPathBar::layoutRow() {
    const int buttonTop = (height() - TopBarIconButton::kSide) / 2;
    back_->move(kPadding, buttonTop);
    forward_->move(kPadding + TopBarIconButton::kSide + kButtonSpacing, buttonTop);
    const int left = forward_->geometry().right() + 1 + kSpacing;
    // The breadcrumb keeps to the leading side: no wider than its names, nor than the bar.
    const int room = std::max(0, width() - kPadding - left);
    breadcrumb_->setGeometry(left, 0, std::min(room, breadcrumb_->sizeHint().width()), height());
}

} // namespace quillmere
