#pragma once

#include "ui/Theme.hpp"

#include <QList>
#include <QRectF>
#include <QString>
#include <QVariant>
#include <QWidget>

class QPainter;

namespace quillmere {

// The segmented control: a row of small rounded pills in groups, thin separators between the
// groups, the pill whose option equals the selection highlighted. Options are any value a
// QVariant holds and compares (enums included).
//
// The row draws no track of its own; callers that want one paint `segmentTrack` behind it.
// When the widget is narrower than the row with titles, it shows symbols only (entries
// without a symbol keep their title), the same control in its narrow variant.
//
// Keyboard: Tab focuses the control; the arrow keys, Home and End move between pills and
// Space or Return selects the focused one.
class SegmentedPills : public QWidget {
    Q_OBJECT
public:
    struct Entry {
        QVariant option;
        QString title;
        QString systemImage; // empty: the pill shows its title in every variant
        QString help;        // empty: the title is the tooltip
    };
    using Group = QList<Entry>;

    template <class Option>
    static Entry entry(const Option& option, const QString& title, const QString& systemImage = {},
                       const QString& help = {}) {
        return Entry{QVariant::fromValue(option), title, systemImage, help};
    }

    explicit SegmentedPills(QWidget* parent = nullptr);
    SegmentedPills(QList<Group> groups, QVariant selection, QWidget* parent = nullptr);

    const QList<Group>& groups() const { return groups_; }
    void setGroups(QList<Group> groups);

    QVariant selection() const { return selection_; }
    template <class Option> Option selectionAs() const { return selection_.value<Option>(); }
    // Sets what is highlighted without announcing it (the owner of the value is the caller).
    void setSelection(const QVariant& option);

    // Symbols only, whatever the width.
    bool iconOnly() const { return iconOnly_; }
    void setIconOnly(bool on);
    // Symbols only whenever the titled row does not fit the widget's width (on by default).
    bool fallsBackToIconOnly() const { return fallsBack_; }
    void setFallsBackToIconOnly(bool on);
    bool isShowingIconOnly() const;

    // Widths of the two variants of the row as currently selected.
    int fullWidth() const;
    int iconOnlyWidth() const;

    // Geometry of what is shown, in widget coordinates: one rectangle per entry in the order
    // of the groups and their entries, and one per separator.
    QList<QRectF> pillRects() const;
    QList<QRectF> separatorRects() const;
    // The area the row covers (centred in the widget when the widget is wider), for a caller
    // that draws a track hugging the pills.
    QRectF rowRect() const;
    // Where the row sits across a widget wider than it: centred unless told otherwise.
    Qt::Alignment alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment alignment);
    int entryCount() const;
    const Entry* entryAt(int index) const;
    bool isSelected(int index) const;
    // What hovering the pill shows: its help, else its title.
    QString pillToolTip(int index) const;
    // The pill the keyboard acts on; -1 when there is none.
    int focusedIndex() const { return focusIndex_; }
    // Selects the entry at `index` exactly as a click on its pill does.
    void activate(int index);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The background of a selected pill (also used by the section tabs); nothing when not
    // selected.
    static void paintPillBackground(QPainter& painter, const QRectF& pill, bool selected,
                                    const Theme::Palette& palette);

    static constexpr qreal kPillHeight = 22;
    static constexpr qreal kSpacing = 3;
    static constexpr qreal kCornerRadius = 7;

signals:
    // A pill was clicked or chosen with the keyboard; sent also when its option was already the
    // selection.
    void optionSelected(const QVariant& option);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct RowLayout {
        QList<QRectF> pills;
        QList<QRectF> separators;
        qreal width = 0;
        QPointF origin;
    };
    RowLayout layoutRow(bool symbolsOnly) const;
    RowLayout currentLayout() const;
    int pillAt(const QPointF& point) const;
    void moveFocus(int index);
    QFont labelFont(bool selected) const;

    QList<Group> groups_;
    QVariant selection_;
    bool iconOnly_ = false;
    bool fallsBack_ = true;
    int pressedIndex_ = -1;
    bool pressedInside_ = false;
    int focusIndex_ = -1;
    bool showFocusRing_ = false;
    Qt::Alignment alignment_ = Qt::AlignHCenter;
};

} // namespace quillmere
