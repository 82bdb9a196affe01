#include "ui/WrappingLabel.hpp"

#include "ui/Theme.hpp"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace quillmere {
namespace {

constexpr int kWordFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
// How wide a label that breaks between words asks to be before it breaks.
constexpr int kPreferredWordsWidth = 420;
// A label that breaks anywhere has no natural width; this is what it asks for.
constexpr int kPreferredAnywhereWidth = 200;

// Lays `text` out in `width`, breaking anywhere; returns its height and draws it when asked.
qreal layoutAnywhere(const QString& text, const QFont& font, qreal width, QPainter* painter = nullptr) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    // One line per loop; a line takes at least one character, so the loop ends.
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max<qreal>(width, 1));
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    if (painter) layout.draw(painter, {});
    return y;
}

} // namespace

WrappingLabel::WrappingLabel(const QString& text, const QFont& font, Ink ink, Wrap wrap, QWidget* parent)
    : QWidget(parent), text_(text), font_(font), emphasisFont_(font), ink_(ink), wrap_(wrap) {
    setFont(font);
    if (wrap == Wrap::anywhere) {
        // A path may grow as tall as it must; it is read, so it keeps the pointer.
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Minimum);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
        return;
    }
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(wrap == Wrap::words);
    if (wrap == Wrap::none) policy.setHorizontalPolicy(QSizePolicy::Ignored);
    setSizePolicy(policy);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void WrappingLabel::setEmphasis(const QString& emphasis, QFont::Weight weight) {
    emphasis_ = emphasis;
    emphasisFont_ = Theme::uiFont(font_.pixelSize(), weight);
    updateGeometry();
    update();
}

int WrappingLabel::heightForWidth(int width) const {
    const QFontMetrics metrics(font_);
    switch (wrap_) {
    case Wrap::none:
        return metrics.height();
    case Wrap::words:
        return metrics.boundingRect(QRect(0, 0, std::max(width, 1), 100000), kWordFlags, text_).height();
    case Wrap::anywhere:
        break;
    }
    return static_cast<int>(std::ceil(layoutAnywhere(text_, font_, width)));
}

QSize WrappingLabel::sizeHint() const {
    if (wrap_ == Wrap::anywhere) return {kPreferredAnywhereWidth, heightForWidth(kPreferredAnywhereWidth)};
    const QFontMetrics metrics(font_);
    const int single =
        metrics.horizontalAdvance(text_) + QFontMetrics(emphasisFont_).horizontalAdvance(emphasis_) + 1;
    const int width = wrap_ == Wrap::words ? std::min(single, kPreferredWordsWidth) : single;
    return {width, heightForWidth(width)};
}

QSize WrappingLabel::minimumSizeHint() const {
    // A path keeps room for a few characters a line, so it never turns into a tall ribbon.
    return {wrap_ == Wrap::anywhere ? 40 : 0, QFontMetrics(font_).height()};
}

void WrappingLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Theme::ink(this, ink_));
    painter.setFont(font_);
    switch (wrap_) {
    case Wrap::anywhere:
        layoutAnywhere(text_, font_, width(), &painter);
        return;
    case Wrap::words:
        painter.drawText(rect(), kWordFlags, text_);
        return;
    case Wrap::none:
        break;
    }
    const QFontMetrics metrics(font_);
    if (emphasis_.isEmpty()) {
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(text_, Qt::ElideMiddle, width()));
        return;
    }
    // Two runs sharing one baseline.
    const int baseline = (height() + metrics.ascent() - metrics.descent()) / 2;
    painter.drawText(QPointF(0, baseline), text_);
    painter.setFont(emphasisFont_);
    painter.drawText(QPointF(metrics.horizontalAdvance(text_), baseline), emphasis_);
}

} // namespace quillmere
