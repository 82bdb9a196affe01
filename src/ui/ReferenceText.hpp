#pragma once

#include "views/TextMeasure.hpp"

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QSizeF>
#include <QString>

class QPainter;

// Text at fractional sizes. Qt's pixel sizes are whole numbers, so a label of 10.5 points
// drawn at a scale of 0.83 would round twice. Instead a text is set in one font built at a
// large multiple of its reference size, measured there, and drawn under a scale: what fits
// at one size then fits at every size, because only the transform changes.
namespace quillmere::reference_text {

QFont::Weight qtWeight(views::FontWeight weight);

// The interface font for a reference size (points, may be fractional), letter spacing in
// reference points.
QFont font(qreal size, QFont::Weight weight, qreal letterSpacing = 0);

// Width (advance) and line height of `text` at the reference size.
QSizeF measure(const QString& text, qreal size, QFont::Weight weight, qreal letterSpacing = 0);

// The measurer the disk views' layouts use: the metrics of the very font that draws.
views::TextMeasurer measurer();

struct Style {
    qreal size = 11;
    QFont::Weight weight = QFont::Normal;
    QColor color;
    qreal letterSpacing = 0;
    // Every digit in a cell as wide as the widest, so changing figures do not jitter.
    bool equalWidthDigits = false;
};

// Draws one line of `text` with its line box centred on `center` (painter coordinates), the
// reference size multiplied by `scale`.
void drawCentered(QPainter& painter, QPointF center, const QString& text, const Style& style,
                  qreal scale = 1);
// Draws one line with its line box's top-left corner at `topLeft`.
void drawAt(QPainter& painter, QPointF topLeft, const QString& text, const Style& style, qreal scale = 1);
// The reference-size width of a line drawn with `style`.
qreal width(const QString& text, const Style& style);

} // namespace quillmere::reference_text
