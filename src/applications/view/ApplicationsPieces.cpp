#include "applications/view/ApplicationsPieces.hpp"

#include "app/ui/IconTile.hpp"
#include "app/ui/Painting.hpp"
#include "app/ui/ProgressIndicator.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/Theme.hpp"
#include "applications/model/ApplicationsTexts.hpp"
#include "applications/view/ViewText.hpp"

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
    x += column(texts::kBundlesAlone, bytesText(summary_.finderTotalBytes), &palette.ink);
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

AppDropOverlay::AppDropOverlay(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAcceptDrops(false);
}

void AppDropOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    QRadialGradient scrim(centre, 340);
    scrim.setColorAt(0, QColor(242, 106, 33, qRound(0.22 * 255)));
    scrim.setColorAt(1, QColor(8, 7, 12, qRound(0.72 * 255)));
    painter.fillRect(rect(), scrim);

    const QFont titleFont = Theme::uiFont(19, QFont::DemiBold);
    const QFont bodyFont = Theme::uiFont(12.5);
    const qreal cardWidth = 430;
    const qreal textWidth = cardWidth - 60;
    const QRectF titleBounds = QFontMetricsF(titleFont).boundingRect(
        QRectF(0, 0, textWidth, 1000), Qt::AlignHCenter | Qt::TextWordWrap, qs(texts::kDropTitle));
    const QRectF bodyBounds = QFontMetricsF(bodyFont).boundingRect(
        QRectF(0, 0, textWidth, 1000), Qt::AlignHCenter | Qt::TextWordWrap, qs(texts::kDropBody));
    const qreal tile = 78;
    const qreal cardHeight = 34 + tile + 16 + titleBounds.height() + 16 + bodyBounds.height() + 30;
    const QRectF card(centre.x() - cardWidth / 2, centre.y() - cardHeight / 2, cardWidth, cardHeight);

    painting::paintRoundedShadow(painter, card, 20, QColor(240, 118, 28, qRound(0.55 * 255)), 44, {});
    const QPainterPath shape = painting::continuousRoundedRect(card, 20);
    painter.fillPath(shape, QColor(24, 22, 30, qRound(0.85 * 255)));
    QPen dash(QColor(255, 180, 84, qRound(0.55 * 255)), 2);
    dash.setDashPattern({7.0 / 2, 5.0 / 2});
    painter.setPen(dash);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(painting::strokeBorderPath(card, 20, 2));

    qreal y = card.top() + 34;
    painter.save();
    painter.translate(card.center().x(), y + tile / 2);
    painter.rotate(-7);
    IconTile::paint(painter, QRectF(-tile / 2, -tile / 2, tile, tile), IconTile::dropTarget());
    painter.restore();
    y += tile + 16;
    painter.setFont(titleFont);
    painter.setPen(QColor(244, 243, 248));
    painter.drawText(QRectF(card.left() + 30, y, textWidth, titleBounds.height()),
                     Qt::AlignHCenter | Qt::TextWordWrap, qs(texts::kDropTitle));
    y += titleBounds.height() + 16;
    painter.setFont(bodyFont);
    painter.setPen(QColor(162, 161, 177));
    painter.drawText(QRectF(card.left() + 30, y, textWidth, bodyBounds.height()),
                     Qt::AlignHCenter | Qt::TextWordWrap, qs(texts::kDropBody));
}

} // namespace quillmere
