#include "app/InspectorWidgets.hpp"

#include "ui/ColorOpacity.hpp"
#include "ui/Painting.hpp"
#include "ui/StyleColors.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"

#include <QEnterEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace quillmere {
namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QColor calloutTint(views::inspector::CalloutKind kind, bool dark) {
    switch (kind) {
    case views::inspector::CalloutKind::cloud:
        return StyleColors::of(dark).blue;
    case views::inspector::CalloutKind::clone:
        return Theme::accent(dark);
    case views::inspector::CalloutKind::protectedItem:
        break;
    }
    return Theme::warning(dark);
}

QString calloutSymbol(views::inspector::CalloutKind kind) {
    switch (kind) {
    case views::inspector::CalloutKind::cloud:
        return "icloud";
    case views::inspector::CalloutKind::clone:
        return "doc.on.doc";
    case views::inspector::CalloutKind::protectedItem:
        break;
    }
    return "lock.fill";
}

QString elidedMiddle(const QString& text, const QFont& font, qreal width) {
    return QFontMetricsF(font).elidedText(text, Qt::ElideMiddle, width);
}

} // namespace

InspectorIconTile::InspectorIconTile(bool isDirectory, QWidget* parent)
    : QWidget(parent), isDirectory_(isDirectory) {
    setFixedSize(30, 30);
}

void InspectorIconTile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = Theme::accent(this);
    QLinearGradient gradient(QPointF(0, 0), QPointF(30, 30));
    gradient.setColorAt(0, withOpacity(accent, 0.9));
    gradient.setColorAt(1, accent);
    painter.fillPath(painting::continuousRoundedRect(QRectF(0, 0, 30, 30), 8), gradient);
    Symbols::draw(painter, QRectF(0, 0, 30, 30), isDirectory_ ? "folder.fill" : "doc.fill", Qt::white, 13);
}

CalloutWidget::CalloutWidget(const views::inspector::Callout& callout, bool dark, QWidget* parent)
    : QWidget(parent), kind_(callout.kind), text_(QString::fromStdString(callout.boldLead + callout.text)),
      tint_(calloutTint(callout.kind, dark)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(8);
    auto* symbol = new QLabel(this);
    symbol->setPixmap(Symbols::icon(calloutSymbol(kind_), tint_, 12).pixmap(14, 14));
    symbol->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(this);
    text->setWordWrap(true);
    text->setTextFormat(Qt::RichText);
    text->setFont(Theme::uiFont(11.5));
    const QString lead = callout.boldLead.empty()
                             ? QString()
                             : "<b>" + QString::fromStdString(callout.boldLead).toHtmlEscaped() + "</b>";
    text->setText(
        QString("<span style=\"color:%1\">%2%3</span>")
            .arg(tint_.name(QColor::HexArgb), lead, QString::fromStdString(callout.text).toHtmlEscaped()));
    row->addWidget(symbol, 0, Qt::AlignTop);
    row->addWidget(text, 1);
}

void CalloutWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(painting::continuousRoundedRect(QRectF(rect()), 8), withOpacity(tint_, 0.14));
}

FactRow::FactRow(const views::inspector::Fact& fact, QWidget* parent) : QWidget(parent) {
    const StyleColors& colors = StyleColors::of(parent);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 8, 0, 8);
    row->setSpacing(12);
    auto* label = new QLabel(QString::fromStdString(fact.label), this);
    label->setFont(Theme::uiFont(12));
    label->setStyleSheet(QString("color:%1").arg(colors.secondary.name(QColor::HexArgb)));
    auto* value = new QLabel(QString::fromStdString(fact.value), this);
    value->setFont(Theme::uiFont(12, QFont::Medium));
    value->setStyleSheet(QString("color:%1").arg(colors.primary.name(QColor::HexArgb)));
    value->setWordWrap(true);
    value->setAlignment(Qt::AlignRight | Qt::AlignTop);
    value->setObjectName("value");
    row->addWidget(label, 0, Qt::AlignTop);
    row->addStretch(1);
    row->addWidget(value, 0, Qt::AlignTop);
}

void FactRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(QRectF(0, height() - 1, width(), 1), StyleColors::of(this).separator);
}

ContentsRowWidget::ContentsRowWidget(views::inspector::ContentsRow row, QWidget* parent)
    : QAbstractButton(parent), row_(std::move(row)) {
    setEnabled(true);
    setToolTip(QString::fromStdString(row_.helpText));
    setFocusPolicy(row_.isOpenable ? Qt::TabFocus : Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize ContentsRowWidget::sizeHint() const {
    const qreal text = QFontMetricsF(Theme::uiFont(12)).height();
    return QSize(200, static_cast<int>(std::ceil(7 + text + 5 + 3 + 7)));
}

QRectF ContentsRowWidget::barTrackRect() const {
    return QRectF(8, height() - 7 - 3, std::max(0, width() - 16), 3);
}

QRectF ContentsRowWidget::barFillRect() const {
    const QRectF track = barTrackRect();
    return QRectF(track.topLeft(), QSizeF(track.width() * row_.barFraction, track.height()));
}

void ContentsRowWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = Theme::isDark(this);
    const StyleColors& colors = StyleColors::of(dark);
    const QColor accent = Theme::accent(dark);
    if (row_.isOpenable && hovered_)
        painter.fillPath(painting::continuousRoundedRect(QRectF(rect()), 6),
                         withOpacity(colors.primary, 0.05));
    const QFont nameFont = Theme::uiFont(12);
    const QFont sizeFont = Theme::uiFont(11, QFont::Medium);
    const qreal lineHeight = QFontMetricsF(nameFont).height();
    const QRectF line(8, 7, width() - 16, lineHeight);
    Symbols::draw(painter, QRectF(line.left(), line.top(), 12, line.height()),
                  QString::fromStdString(row_.symbol), accent, 10);
    qreal right = line.right();
    Symbols::draw(painter, QRectF(right - 9, line.top(), 9, line.height()), "chevron.right",
                  withOpacity(colors.tertiary, row_.isOpenable ? 1 : 0), 9);
    right -= 9 + 8;
    const QString size = QString::fromStdString(row_.sizeText);
    const qreal sizeWidth = QFontMetricsF(sizeFont).horizontalAdvance(size);
    painter.setFont(sizeFont);
    painter.setPen(colors.secondary);
    painter.drawText(QRectF(right - sizeWidth, line.top(), sizeWidth, line.height()), Qt::AlignVCenter, size);
    right -= sizeWidth + 8;
    const qreal nameLeft = line.left() + 12 + 8;
    painter.setFont(nameFont);
    painter.setPen(colors.primary);
    painter.drawText(
        QRectF(nameLeft, line.top(), std::max<qreal>(0, right - nameLeft), line.height()), Qt::AlignVCenter,
        elidedMiddle(fromUtf8(row_.node.name()), nameFont, std::max<qreal>(0, right - nameLeft)));
    const QRectF track = barTrackRect();
    painter.fillPath(painting::continuousRoundedRect(track, 1.5), withOpacity(colors.primary, 0.08));
    const QRectF fill = barFillRect();
    if (fill.width() > 0)
        painter.fillPath(painting::continuousRoundedRect(fill, std::min<qreal>(1.5, fill.width() / 2)),
                         withOpacity(accent, 0.75));
}

void ContentsRowWidget::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    hovered_ = true;
    if (row_.isOpenable) setCursor(Qt::PointingHandCursor);
    update();
}

void ContentsRowWidget::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    hovered_ = false;
    unsetCursor();
    update();
}

InspectorButton::InspectorButton(const QString& title, const QString& symbol, QColor prominentTint,
                                 QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol), tint_(prominentTint) {
    setText(title);
    setFont(Theme::uiFont(12, QFont::Medium));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

QSize InspectorButton::sizeHint() const {
    return QSize(static_cast<int>(QFontMetricsF(font()).horizontalAdvance(text())) + 40, 28);
}

void InspectorButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = Theme::isDark(this);
    const StyleColors& colors = StyleColors::of(dark);
    const Theme::Palette& palette = Theme::palette(dark);
    painter.setOpacity(isEnabled() ? 1 : 0.4);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool prominent = tint_.isValid();
    QColor ink = colors.primary;
    if (prominent) {
        painter.fillPath(painting::continuousRoundedRect(frame, 7), isDown() ? tint_.darker(115) : tint_);
        ink = Qt::white;
    } else {
        painter.fillPath(painting::continuousRoundedRect(frame, 7), isDown() ? palette.line : palette.fill);
        painter.strokePath(painting::strokeBorderPath(QRectF(rect()), 7, 1), QPen(palette.line, 1));
    }
    if (hasFocus())
        painter.strokePath(painting::strokeBorderPath(QRectF(rect()), 7, 2), QPen(Theme::accent(dark), 2));
    const QFontMetricsF metrics(font());
    const qreal textWidth = std::min<qreal>(metrics.horizontalAdvance(text()), width() - 34);
    const qreal total = 14 + 6 + textWidth;
    const qreal left = (width() - total) / 2;
    Symbols::draw(painter, QRectF(left, 0, 14, height()), symbol_, ink, 12);
    painter.setFont(font());
    painter.setPen(ink);
    painter.drawText(QRectF(left + 20, 0, textWidth, height()), Qt::AlignVCenter | Qt::AlignLeft,
                     metrics.elidedText(text(), Qt::ElideRight, textWidth));
}

} // namespace quillmere
