#pragma once

#include <QAbstractScrollArea>

namespace quillmere {

// The frame the painted lists of the Applications screen share: content laid out as bands
// (headings and rows) from top to bottom, laid out again whenever the area or its viewport
// changes size; a point finds the row under it; the keyboard focus moves from row to row past
// the headings, and a tap or the space bar chooses a row. Subclasses lay out and paint.
class RowListArea : public QAbstractScrollArea {
    Q_OBJECT
public:
    // The index of the row under a viewport point; -1 over a heading, a gap or nothing.
    int rowAt(QPoint viewportPoint) const;
    // The row the keyboard is on; -1 for none.
    int focusedRow() const { return focused_; }

protected:
    struct Band {
        qreal top = 0;
        qreal height = 0;
        bool isRow = false;
    };

    explicit RowListArea(QWidget* parent = nullptr);

    // Lays the content out afresh; returns its height.
    virtual qreal layOut() = 0;
    virtual int bandCount() const = 0;
    virtual Band band(int index) const = 0;
    // A row was chosen by a tap or from the keyboard; the focus is on it already.
    virtual void rowChosen(int index) = 0;

    // Lays out again, lets go of a focus that is no longer on a row and fits the scroll range.
    void relayout();
    void choose(int index);

    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void moveFocus(int step);

    int focused_ = -1;
};

} // namespace quillmere
