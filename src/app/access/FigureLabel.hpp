#pragma once

#include <QLabel>

namespace quillmere {

// A plain-text label whose digits each take the width of the widest, so amounts stacked in
// a column line up and a changing figure does not shift its neighbours. Drawn in the
// interface font through the kit's reference-size text; the colour is the label's window text.
class FigureLabel : public QLabel {
public:
    FigureLabel(const QString& text, qreal pixelSize, QFont::Weight weight, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal pixelSize_;
    QFont::Weight weight_;
};

} // namespace quillmere
