#include "app/ui/ReferenceText.hpp"

#include "app/ui/Theme.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace quillmere::reference_text {
namespace {

// Fonts are built this many times larger than their reference size: every size the design
// uses (down to quarter points) becomes a whole pixel size.
constexpr qreal kMultiplier = 8;

QFontMetricsF metricsOf(const QFont& font) {
    return QFontMetricsF(font);
}

qreal widestDigit(const QFontMetricsF& metrics) {
    qreal widest = 0;
    for (QChar digit = u'0'; digit <= u'9'; digit = QChar(digit.unicode() + 1))
        widest = std::max(widest, metrics.horizontalAdvance(digit));
    return widest;
}

// Width at the multiplied size.
qreal scaledWidth(const QString& text, const QFont& font, bool equalWidthDigits) {
    const QFontMetricsF metrics = metricsOf(font);
    if (!equalWidthDigits) return metrics.horizontalAdvance(text);
    const qreal cell = widestDigit(metrics);
    qreal total = 0;
    for (const QChar c : text)
        total += c.isDigit() ? cell : metrics.horizontalAdvance(c);
    return total;
}

} // namespace

QFont::Weight qtWeight(views::FontWeight weight) {
    switch (weight) {
    case views::FontWeight::semibold:
        return QFont::DemiBold;
    case views::FontWeight::bold:
        return QFont::Bold;
    case views::FontWeight::regular:
        break;
    }
    return QFont::Normal;
}

QFont font(qreal size, QFont::Weight weight, qreal letterSpacing) {
    QFont f = Theme::uiFont(size * kMultiplier, weight);
    if (letterSpacing != 0) f.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing * kMultiplier);
    // Hinting at the large size would not match the scaled-down drawing.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QSizeF measure(const QString& text, qreal size, QFont::Weight weight, qreal letterSpacing) {
    const QFont f = font(size, weight, letterSpacing);
    const QFontMetricsF metrics = metricsOf(f);
    return QSizeF(metrics.horizontalAdvance(text) / kMultiplier, metrics.height() / kMultiplier);
}

views::TextMeasurer measurer() {
    return [](std::string_view text, double size, views::FontWeight weight) {
        const QSizeF measured = measure(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                                        size, qtWeight(weight));
        return views::TextSize{measured.width(), measured.height()};
    };
}

qreal width(const QString& text, const Style& style) {
    return scaledWidth(text, font(style.size, style.weight, style.letterSpacing), style.equalWidthDigits) /
           kMultiplier;
}

void drawAt(QPainter& painter, QPointF topLeft, const QString& text, const Style& style, qreal scale) {
    if (text.isEmpty() || scale <= 0) return;
    const QFont f = font(style.size, style.weight, style.letterSpacing);
    const QFontMetricsF metrics = metricsOf(f);
    painter.save();
    painter.translate(topLeft);
    painter.scale(scale / kMultiplier, scale / kMultiplier);
    painter.setFont(f);
    painter.setPen(style.color);
    if (!style.equalWidthDigits) {
        painter.drawText(QPointF(0, metrics.ascent()), text);
    } else {
        const qreal cell = widestDigit(metrics);
        qreal x = 0;
        for (const QChar c : text) {
            const qreal advance = metrics.horizontalAdvance(c);
            if (c.isDigit()) {
                painter.drawText(QPointF(x + (cell - advance) / 2, metrics.ascent()), QString(c));
                x += cell;
            } else {
                painter.drawText(QPointF(x, metrics.ascent()), QString(c));
                x += advance;
            }
        }
    }
    painter.restore();
}

void drawCentered(QPainter& painter, QPointF center, const QString& text, const Style& style, qreal scale) {
    const QFont f = font(style.size, style.weight, style.letterSpacing);
    const qreal w = scaledWidth(text, f, style.equalWidthDigits) / kMultiplier;
    const qreal h = metricsOf(f).height() / kMultiplier;
    drawAt(painter, center - QPointF(w * scale / 2, h * scale / 2), text, style, scale);
}

} // namespace quillmere::reference_text
