#include "ui/SegmentedPills.hpp"

#include "ui/Painting.hpp"
#include "ui/Symbols.hpp"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QHash>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace quillmere {

namespace {

constexpr qreal kFontSize = 12;
constexpr qreal kIconOnlyFrame = 16;
constexpr qreal kPaddingIconOnly = 7;
constexpr qreal kPaddingFull = 11;
constexpr qreal kLabelGap = 5;
constexpr qreal kSeparatorWidth = 1;
constexpr qreal kSeparatorHeight = 14;
constexpr qreal kSeparatorPadding = 4;
constexpr qreal kPressedOpacity = 0.55;

// One pill as seen by assistive technology: its title, and whether it is the selection.
class PillAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    PillAccessible(SegmentedPills* pills, int index) : pills_(pills), index_(index) {}

    bool isValid() const override { return pills_ && index_ < pills_->entryCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return pills_ ? pills_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(pills_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override {
        const auto* entry = isValid() ? pills_->entryAt(index_) : nullptr;
        if (!entry) return {};
        if (t == QAccessible::Name) return entry->title;
        if (t == QAccessible::Description) return entry->help;
        return {};
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.selectable = true;
        s.focusable = true;
        s.selected = pills_->isSelected(index_);
        s.focused = pills_->hasFocus() && pills_->focusedIndex() == index_;
        s.invisible = !pills_->isVisible();
        return s;
    }

    QRect rect() const override {
        if (!isValid()) return {};
        const QRect local = pills_->pillRects().value(index_).toAlignedRect();
        return QRect(pills_->mapToGlobal(local.topLeft()), local.size());
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && isValid()) pills_->activate(index_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<SegmentedPills> pills_;
    int index_;
};

class PillsAccessible : public QAccessibleWidget {
public:
    explicit PillsAccessible(SegmentedPills* pills) : QAccessibleWidget(pills, QAccessible::PageTabList) {}
    ~PillsAccessible() override {
        for (const QAccessible::Id id : std::as_const(children_))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return pills()->entryCount(); }

    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        if (const auto found = children_.constFind(index); found != children_.constEnd())
            return QAccessible::accessibleInterface(*found);
        auto* child = new PillAccessible(pills(), index);
        children_.insert(index, QAccessible::registerAccessibleInterface(child));
        return child;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        for (auto it = children_.constBegin(); it != children_.constEnd(); ++it)
            if (QAccessible::accessibleInterface(it.value()) == child) return it.key();
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint local = pills()->mapFromGlobal(QPoint(x, y));
        const auto rects = pills()->pillRects();
        for (int i = 0; i < rects.size(); ++i)
            if (rects[i].contains(local)) return child(i);
        return nullptr;
    }

private:
    SegmentedPills* pills() const { return static_cast<SegmentedPills*>(widget()); }
    mutable QHash<int, QAccessible::Id> children_;
};

QAccessibleInterface* accessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("quillmere::SegmentedPills") && object && object->isWidgetType())
        return new PillsAccessible(static_cast<SegmentedPills*>(object));
    return nullptr;
}

void installAccessibleFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    (void)installed;
}

} // namespace

SegmentedPills::SegmentedPills(QWidget* parent) : QWidget(parent) {
    installAccessibleFactory();
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

SegmentedPills::SegmentedPills(QList<Group> groups, QVariant selection, QWidget* parent)
    : SegmentedPills(parent) {
    groups_ = std::move(groups);
    selection_ = std::move(selection);
}

void SegmentedPills::setGroups(QList<Group> groups) {
    groups_ = std::move(groups);
    if (focusIndex_ >= entryCount()) focusIndex_ = entryCount() - 1;
    updateGeometry();
    update();
}

void SegmentedPills::setSelection(const QVariant& option) {
    selection_ = option;
    updateGeometry();
    update();
}

void SegmentedPills::setIconOnly(bool on) {
    if (on == iconOnly_) return;
    iconOnly_ = on;
    updateGeometry();
    update();
}

void SegmentedPills::setFallsBackToIconOnly(bool on) {
    if (on == fallsBack_) return;
    fallsBack_ = on;
    updateGeometry();
    update();
}

void SegmentedPills::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

bool SegmentedPills::isShowingIconOnly() const {
    return iconOnly_ || (fallsBack_ && width() < fullWidth());
}

int SegmentedPills::fullWidth() const {
    return int(std::ceil(layoutRow(false).width));
}

int SegmentedPills::iconOnlyWidth() const {
    return int(std::ceil(layoutRow(true).width));
}

int SegmentedPills::entryCount() const {
    int count = 0;
    for (const Group& group : groups_)
        count += int(group.size());
    return count;
}

const SegmentedPills::Entry* SegmentedPills::entryAt(int index) const {
    if (index < 0) return nullptr;
    for (const Group& group : groups_) {
        if (index < group.size()) return &group[index];
        index -= int(group.size());
    }
    return nullptr;
}

QString SegmentedPills::pillToolTip(int index) const {
    const Entry* entry = entryAt(index);
    if (!entry) return {};
    return entry->help.isEmpty() ? entry->title : entry->help;
}

bool SegmentedPills::isSelected(int index) const {
    const Entry* entry = entryAt(index);
    return entry && entry->option == selection_;
}

QFont SegmentedPills::labelFont(bool selected) const {
    return Theme::uiFont(kFontSize, selected ? QFont::DemiBold : QFont::Medium);
}

SegmentedPills::RowLayout SegmentedPills::layoutRow(bool symbolsOnly) const {
    RowLayout row;
    qreal x = 0;
    bool first = true;
    const auto place = [&](qreal width) {
        if (!first) x += kSpacing;
        first = false;
        const qreal left = x;
        x += width;
        return left;
    };
    const QFontMetricsF selectedMetrics(labelFont(true));
    const QFontMetricsF plainMetrics(labelFont(false));
    int index = 0;
    for (int g = 0; g < groups_.size(); ++g) {
        if (g >= 1) {
            const qreal left = place(kSeparatorPadding * 2 + kSeparatorWidth);
            row.separators << QRectF(left + kSeparatorPadding, (kPillHeight - kSeparatorHeight) / 2,
                                     kSeparatorWidth, kSeparatorHeight);
        }
        for (const Entry& entry : groups_[g]) {
            const bool selected = isSelected(index++);
            const bool hasSymbol = !entry.systemImage.isEmpty();
            const QFontMetricsF& metrics = selected ? selectedMetrics : plainMetrics;
            qreal content = 0;
            if (symbolsOnly && hasSymbol)
                content = kIconOnlyFrame;
            else if (!hasSymbol)
                content = metrics.horizontalAdvance(entry.title);
            else
                content = Symbols::boxSide(kFontSize) + kLabelGap + metrics.horizontalAdvance(entry.title);
            // Whole-pixel widths keep every pill's edges on pixel boundaries.
            const qreal width = std::ceil(content + 2 * (symbolsOnly ? kPaddingIconOnly : kPaddingFull));
            row.pills << QRectF(place(width), 0, width, kPillHeight);
        }
    }
    row.width = x;
    return row;
}

SegmentedPills::RowLayout SegmentedPills::currentLayout() const {
    RowLayout row = layoutRow(isShowingIconOnly());
    const qreal room = std::max(0.0, width() - row.width);
    const qreal left = (alignment_ & Qt::AlignLeft)    ? 0
                       : (alignment_ & Qt::AlignRight) ? room
                                                       : std::round(room / 2);
    row.origin = QPointF(left, std::round((height() - kPillHeight) / 2));
    for (QRectF& r : row.pills)
        r.translate(row.origin);
    for (QRectF& r : row.separators)
        r.translate(row.origin);
    return row;
}

QList<QRectF> SegmentedPills::pillRects() const {
    return currentLayout().pills;
}

QList<QRectF> SegmentedPills::separatorRects() const {
    return currentLayout().separators;
}

QRectF SegmentedPills::rowRect() const {
    const RowLayout row = currentLayout();
    return QRectF(row.origin, QSizeF(row.width, kPillHeight));
}

QSize SegmentedPills::sizeHint() const {
    return QSize(iconOnly_ ? iconOnlyWidth() : fullWidth(), int(kPillHeight));
}

QSize SegmentedPills::minimumSizeHint() const {
    return QSize(iconOnly_ || fallsBack_ ? iconOnlyWidth() : fullWidth(), int(kPillHeight));
}

void SegmentedPills::paintPillBackground(QPainter& painter, const QRectF& pill, bool selected,
                                         const Theme::Palette& palette) {
    if (!selected) return;
    QLinearGradient fill(QPointF(pill.center().x(), pill.top()), QPointF(pill.center().x(), pill.bottom()));
    fill.setColorAt(0, palette.segmentSelectedGradient.start);
    fill.setColorAt(1, palette.segmentSelectedGradient.end);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(painting::continuousRoundedRect(pill, kCornerRadius), fill);
    painter.restore();
}

void SegmentedPills::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const bool dark = Theme::isDark(this);
    const Theme::Palette& palette = Theme::palette(dark);
    const bool symbolsOnly = isShowingIconOnly();
    const RowLayout row = currentLayout();

    for (const QRectF& separator : row.separators)
        painter.fillRect(separator, palette.line);

    for (int i = 0; i < row.pills.size(); ++i) {
        const Entry& entry = *entryAt(i);
        const QRectF pill = row.pills[i];
        const bool selected = isSelected(i);
        paintPillBackground(painter, pill, selected, palette);

        painter.save();
        if (i == pressedIndex_ && pressedInside_) painter.setOpacity(kPressedOpacity);
        const QColor ink = selected ? palette.segmentSelectedText : palette.ink2;
        const QFont font = labelFont(selected);
        const bool hasSymbol = !entry.systemImage.isEmpty();
        painter.setFont(font);
        painter.setPen(ink);
        if (symbolsOnly && hasSymbol) {
            Symbols::draw(painter, pill, entry.systemImage, ink, kFontSize);
        } else if (!hasSymbol) {
            painter.drawText(pill, Qt::AlignCenter, entry.title);
        } else {
            const qreal symbol = Symbols::boxSide(kFontSize);
            const qreal padding = symbolsOnly ? kPaddingIconOnly : kPaddingFull;
            const QRectF content = pill.adjusted(padding, 0, -padding, 0);
            Symbols::draw(painter, QRectF(content.left(), pill.top(), symbol, pill.height()),
                          entry.systemImage, ink, kFontSize);
            painter.setPen(ink);
            painter.drawText(content.adjusted(symbol + kLabelGap, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                             entry.title);
        }
        painter.restore();

        if (showFocusRing_ && hasFocus() && i == focusIndex_) {
            QColor ring = Theme::accent(dark);
            ring.setAlphaF(0.85f);
            painter.setPen(QPen(ring, 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(painting::strokeBorderPath(pill, kCornerRadius, 1.5));
        }
    }
}

int SegmentedPills::pillAt(const QPointF& point) const {
    const auto rects = pillRects();
    for (int i = 0; i < rects.size(); ++i)
        if (rects[i].contains(point)) return i;
    return -1;
}

void SegmentedPills::activate(int index) {
    const Entry* entry = entryAt(index);
    if (!entry) return;
    const QVariant option = entry->option;
    if (hasFocus()) focusIndex_ = index;
    selection_ = option;
    updateGeometry();
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent changed(this, QAccessible::SelectionAdd);
        changed.setChild(index);
        QAccessible::updateAccessibility(&changed);
    }
    emit optionSelected(option);
}

void SegmentedPills::moveFocus(int index) {
    const int count = entryCount();
    if (count == 0) return;
    focusIndex_ = std::clamp(index, 0, count - 1);
    showFocusRing_ = true;
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent focused(this, QAccessible::Focus);
        focused.setChild(focusIndex_);
        QAccessible::updateAccessibility(&focused);
    }
}

void SegmentedPills::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressedIndex_ = pillAt(event->position());
    pressedInside_ = pressedIndex_ >= 0;
    showFocusRing_ = false;
    if (pressedIndex_ < 0) event->ignore();
    update();
}

void SegmentedPills::mouseMoveEvent(QMouseEvent* event) {
    if (pressedIndex_ < 0) return;
    const bool inside = pillAt(event->position()) == pressedIndex_;
    if (inside != pressedInside_) {
        pressedInside_ = inside;
        update();
    }
}

void SegmentedPills::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || pressedIndex_ < 0) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int index = pressedIndex_;
    const bool inside = pillAt(event->position()) == index;
    pressedIndex_ = -1;
    pressedInside_ = false;
    update();
    if (inside) activate(index);
}

void SegmentedPills::keyPressEvent(QKeyEvent* event) {
    const int count = entryCount();
    if (count == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int current = std::clamp(focusIndex_, 0, count - 1);
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        moveFocus(current - 1);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        moveFocus(current + 1);
        break;
    case Qt::Key_Home:
        moveFocus(0);
        break;
    case Qt::Key_End:
        moveFocus(count - 1);
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        focusIndex_ = current;
        showFocusRing_ = true;
        activate(current);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void SegmentedPills::focusInEvent(QFocusEvent* event) {
    const int count = entryCount();
    focusIndex_ = -1;
    for (int i = 0; i < count && focusIndex_ < 0; ++i)
        if (isSelected(i)) focusIndex_ = i;
    if (focusIndex_ < 0 && count > 0) focusIndex_ = 0;
    const auto reason = event->reason();
    showFocusRing_ =
        reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
    update();
    QWidget::focusInEvent(event);
}

void SegmentedPills::focusOutEvent(QFocusEvent* event) {
    showFocusRing_ = false;
    update();
    QWidget::focusOutEvent(event);
}

void SegmentedPills::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) update();
    QWidget::changeEvent(event);
}

bool SegmentedPills::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = pillAt(help->pos());
        if (index >= 0) {
            QToolTip::showText(help->globalPos(), pillToolTip(index), this,
                               pillRects().value(index).toAlignedRect());
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

} // namespace quillmere
