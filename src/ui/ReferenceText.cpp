#include "ui/ReferenceText.hpp"

#include "ui/Theme.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <map>
#include <memory>
#include <tuple>

namespace quillmere::reference_text {
namespace {

// Fonts are built this many times larger than their reference size: every size the design
// uses (down to quarter points) becomes a whole pixel size.
constexpr qreal kMultiplier = 8;

qreal widestDigitOf(const QFontMetricsF& metrics) {
    qreal widest = 0;
    for (QChar digit = u'0'; digit <= u'9'; digit = QChar(digit.unicode() + 1))
        widest = std::max(widest, metrics.horizontalAdvance(digit));
    return widest;
}

// A font with its metrics, built once per size, weight and spacing: a canvas draws dozens of
// labels per frame, and building a font and its metrics costs more than drawing the text.
struct CachedFont {
    QFont font;
    QFontMetricsF metrics;
    qreal widestDigit;
};

QFont buildFont(qreal size, QFont::Weight weight, qreal letterSpacing) {
    QFont f = Theme::uiFont(size * kMultiplier, weight);
    if (letterSpacing != 0) f.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing * kMultiplier);
    // Hinting at the large size would not match the scaled-down drawing.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

const CachedFont& cachedFont(qreal size, QFont::Weight weight, qreal letterSpacing) {
    // Fonts belong to the interface thread; the cache lives there too.
    static thread_local std::map<std::tuple<qreal, int, qreal>, std::unique_ptr<CachedFont>> cache;
    auto& slot = cache[{size, int(weight), letterSpacing}];
    if (!slot) {
        QFont f = buildFont(size, weight, letterSpacing);
        QFontMetricsF metrics(f);
        const qreal widest = widestDigitOf(metrics);
        slot = std::make_unique<CachedFont>(CachedFont{std::move(f), metrics, widest});
    }
    return *slot;
}

const CachedFont& cachedFont(const Style& style) {
    return cachedFont(style.size, style.weight, style.letterSpacing);
}

// Width at the multiplied size.
qreal scaledWidth(const QString& text, const CachedFont& font, bool equalWidthDigits) {
    const QFontMetricsF& metrics = font.metrics;
    if (!equalWidthDigits) return metrics.horizontalAdvance(text);
    const qreal cell = font.widestDigit;
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
    return cachedFont(size, weight, letterSpacing).font;
}

QSizeF measure(const QString& text, qreal size, QFont::Weight weight, qreal letterSpacing) {
    const QFontMetricsF& metrics = cachedFont(size, weight, letterSpacing).metrics;
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
    return scaledWidth(text, cachedFont(style), style.equalWidthDigits) / kMultiplier;
}

void drawAt(QPainter& painter, QPointF topLeft, const QString& text, const Style& style, qreal scale) {
    if (text.isEmpty() || scale <= 0) return;
    const CachedFont& cached = cachedFont(style);
    const QFontMetricsF& metrics = cached.metrics;
    painter.save();
    painter.translate(topLeft);
    painter.scale(scale / kMultiplier, scale / kMultiplier);
    painter.setFont(cached.font);
    painter.setPen(style.color);
    if (!style.equalWidthDigits) {
        painter.drawText(QPointF(0, metrics.ascent()), text);
    } else {
        const qreal cell = cached.widestDigit;
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
    const CachedFont& cached = cachedFont(style);
    const qreal w = scaledWidth(text, cached, style.equalWidthDigits) / kMultiplier;
    const qreal h = cached.metrics.height() / kMultiplier;
    drawAt(painter, center - QPointF(w * scale / 2, h * scale / 2), text, style, scale);
}

} // namespace quillmere::reference_text
