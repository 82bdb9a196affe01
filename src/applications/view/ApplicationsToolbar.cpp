#include "applications/view/ApplicationsToolbar.hpp"

#include "applications/model/ApplicationsTexts.hpp"
#include "applications/view/ViewText.hpp"
#include "ui/IconTile.hpp"
#include "ui/Painting.hpp"
#include "ui/ProgressIndicator.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"

#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QToolButton>

namespace quillmere {
namespace {

void paintBox(QPainter& painter, const QRectF& rect, qreal radius, const Theme::Palette& palette) {
    painter.fillPath(painting::continuousRoundedRect(rect, radius), palette.fill);
    painter.setPen(QPen(palette.line, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(painting::strokeBorderPath(rect, radius, 1));
}

} // namespace

ApplicationsSummaryStrip::ApplicationsSummaryStrip(QWidget* parent)
    : QWidget(parent), spinner_(new ProgressIndicator(ProgressIndicator::Look::arc(12), this)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ApplicationsSummaryStrip::setSummary(const ApplicationsSummary& summary, bool isSettling) {
    summary_ = summary;
    isSettling_ = isSettling;
    spinner_->setVisible(isSettling);
    update();
}

QSize ApplicationsSummaryStrip::sizeHint() const {
    return QSize(300, 11 + 14 + 2 + 22 + 11);
}

void ApplicationsSummaryStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme::Palette& palette = Theme::palette(this);
    paintBox(painter, QRectF(rect()), 12, palette);

    const QFont label = Theme::uiFont(11, QFont::DemiBold);
    const QFont value = Theme::uiFont(17, QFont::Bold);
    const QFontMetricsF labelMetrics(label);
    const QFontMetricsF valueMetrics(value);
    const qreal top = 11;
    const qreal valueTop = top + labelMetrics.height() + 2;
    qreal x = 14;

    const auto column = [&](std::string_view title, const QString& text, const QColor* solid) {
        painter.setFont(label);
        painter.setPen(palette.ink3);
        painter.drawText(QPointF(x, top + labelMetrics.ascent()), qs(title));
        painter.setFont(value);
        const qreal textWidth = valueMetrics.horizontalAdvance(text);
        const QRectF textRect(x, valueTop, textWidth, valueMetrics.height());
        if (solid) {
            painter.setPen(*solid);
        } else {
            QLinearGradient gradient(textRect.topLeft(), textRect.topRight());
            gradient.setColorAt(0, Theme::actionGradient().start);
            gradient.setColorAt(1, Theme::actionGradient().end);
            painter.setPen(QPen(QBrush(gradient), 1));
        }
        painter.drawText(QPointF(x, valueTop + valueMetrics.ascent()), text);
        return std::max(labelMetrics.horizontalAdvance(qs(title)), textWidth);
    };
    const auto divider = [&] {
        x += 14;
        const qreal middle = height() / 2.0;
        painter.fillRect(QRectF(x, middle - 11, 1, 22), palette.line);
        x += 1 + 14;
    };

    const QString real = bytesText(summary_.realTotalBytes);
    qreal used = column(texts::kReallyTakingUp, real, nullptr);
    if (isSettling_) {
        const qreal realWidth = valueMetrics.horizontalAdvance(real);
        spinner_->move(qRound(x + realWidth + 6), qRound(valueTop + (valueMetrics.height() - 12) / 2));
        used = std::max(used, realWidth + 6 + 12);
    }
    x += used;
    divider();
    x += column(texts::kAppsAlone, bytesText(summary_.finderTotalBytes), &palette.ink);
    divider();
    column(texts::kApplications, QString::number(summary_.applicationCount), &palette.ink);
}

SearchField::SearchField(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), clear_(new QToolButton(this)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(30);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10 + 16 + 7, 0, 10, 0);
    layout->setSpacing(7);
    layout->addWidget(edit_, 1);
    layout->addWidget(clear_);
    edit_->setFrame(false);
    edit_->setPlaceholderText(qs(texts::kSearchPlaceholder));
    edit_->setFont(Theme::uiFont(12.5));
    clear_->setAutoRaise(true);
    clear_->setCursor(Qt::ArrowCursor);
    clear_->setFocusPolicy(Qt::TabFocus);
    clear_->hide();
    connect(edit_, &QLineEdit::textChanged, this,
            [this](const QString& text) { clear_->setVisible(!text.isEmpty()); });
    connect(edit_, &QLineEdit::textEdited, this, &SearchField::textEdited);
    connect(clear_, &QToolButton::clicked, this, [this] {
        edit_->clear();
        emit textEdited({});
    });
    restyle();
}

QString SearchField::text() const {
    return edit_->text();
}

void SearchField::setText(const QString& text) {
    if (edit_->text() != text) edit_->setText(text);
}

bool SearchField::showsClearButton() const {
    return !edit_->text().isEmpty();
}

QSize SearchField::sizeHint() const {
    return QSize(240, 30);
}

void SearchField::restyle() {
    const Theme::Palette& palette = Theme::palette(this);
    edit_->setStyleSheet(
        QString("QLineEdit { background: transparent; color: %1; }").arg(palette.ink.name(QColor::HexArgb)));
    QPalette editPalette = edit_->palette();
    editPalette.setColor(QPalette::PlaceholderText, palette.ink3);
    edit_->setPalette(editPalette);
    clear_->setIcon(Symbols::icon("xmark.circle.fill", palette.ink3, 12, devicePixelRatioF()));
    clear_->setStyleSheet("QToolButton { border: none; background: transparent; }");
}

void SearchField::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) restyle();
    QWidget::changeEvent(event);
}

void SearchField::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme::Palette& palette = Theme::palette(this);
    paintBox(painter, QRectF(rect()), 8, palette);
    Symbols::draw(painter, QRectF(10, 0, 16, height()), "magnifyingglass", palette.ink3, 12);
}

} // namespace quillmere
