#include "reclaim/view/ConfirmRow.hpp"

#include "reclaim/view/SheetControls.hpp"
#include "ui/Theme.hpp"

#include <QFontMetricsF>
#include <QPainter>

namespace quillmere {

namespace {
constexpr qreal kInsetX = 11;
constexpr qreal kInsetY = 7;
constexpr qreal kGap = 8;
constexpr int kReasonFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

QFont rowFont() {
    return Theme::uiFont(12);
}
QFont reasonFont() {
    return Theme::uiFont(10.5);
}
} // namespace

ConfirmRow::ConfirmRow(const QString& name, const QString& sizeText, bool isKept,
                       std::optional<QString> keptReason, QWidget* parent)
    : QWidget(parent), name_(name), sizeText_(sizeText), isKept_(isKept), keptReason_(std::move(keptReason)) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

ConfirmRow::Places ConfirmRow::places(int width) const {
    const QFontMetricsF metrics(rowFont());
    const qreal sizeWidth = metrics.horizontalAdvance(sizeText_);
    const qreal wordsWidth = std::max<qreal>(width - 2 * kInsetX - sizeWidth - kGap, 1);
    Places p;
    p.name = QRectF(kInsetX, kInsetY, wordsWidth, metrics.height());
    if (keptReason_) {
        const QRectF bound = QFontMetricsF(reasonFont())
                                 .boundingRect(QRectF(0, 0, wordsWidth, 100000), kReasonFlags, *keptReason_);
        p.reason = QRectF(kInsetX, p.name.bottom() + 2, wordsWidth, bound.height());
    }
    const qreal words = keptReason_ ? p.reason.bottom() - kInsetY : p.name.height();
    // Top-aligned beside a reason, centred otherwise.
    const qreal sizeTop = keptReason_ ? kInsetY : kInsetY + (words - metrics.height()) / 2;
    p.size = QRectF(width - kInsetX - sizeWidth, sizeTop, sizeWidth, metrics.height());
    return p;
}

int ConfirmRow::heightForWidth(int width) const {
    const Places p = places(width);
    return int(std::ceil(std::max(p.name.bottom(), p.reason.bottom()) + kInsetY));
}

QSize ConfirmRow::sizeHint() const {
    return {420, heightForWidth(420)};
}

void ConfirmRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const Places p = places(width());
    const QColor ink = Theme::ink(this, isKept_ ? Ink::secondary : Ink::primary);
    painter.setFont(rowFont());
    painter.setPen(ink);
    const QFontMetricsF metrics(rowFont());
    painter.drawText(p.name, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(name_, Qt::ElideMiddle, p.name.width()));
    painter.setPen(Theme::ink(this, Ink::secondary));
    painter.drawText(p.size, Qt::AlignRight | Qt::AlignVCenter, sizeText_);
    if (keptReason_) {
        painter.setFont(reasonFont());
        painter.setPen(Theme::ink(this, Ink::tertiary));
        painter.drawText(p.reason, kReasonFlags, *keptReason_);
    }
}

} // namespace quillmere
