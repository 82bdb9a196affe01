#include "systemdata/view/SystemDataRowView.hpp"

#include "base/Format.hpp"
#include "systemdata/view/SystemDataButton.hpp"
#include "systemdata/view/SystemDataScreenText.hpp"
#include "ui/IconTile.hpp"
#include "ui/Theme.hpp"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace quillmere {

namespace text = systemdata_screen_text;

namespace {

constexpr double kSide = 20;
constexpr double kVertical = 12;
constexpr double kSpacing = 12;
constexpr double kTile = 24;
constexpr double kSizeWidth = 64;
constexpr double kButtonWidth = 76;
constexpr double kMinimumGap = 8;
constexpr double kLineGap = 2;

QFont nameFont() {
    return Theme::uiFont(12.8, QFont::DemiBold);
}
QFont explanationFont() {
    return Theme::uiFont(11.5);
}
QFont sizeFont() {
    return Theme::uiFont(13, QFont::DemiBold);
}

double wrappedHeight(const QFont& font, double width, const QString& content, const QPaintDevice* device) {
    if (content.isEmpty()) return 0;
    const QFontMetricsF metrics(font, device);
    return metrics.boundingRect(QRectF(0, 0, std::max(width, 1.0), 1e6), Qt::TextWordWrap, content).height();
}

} // namespace

SystemDataRowView::SystemDataRowView(const SystemDataSlice& slice, QWidget* parent)
    : QWidget(parent), category_(slice.category), isRemainder_(slice.isRemainder) {
    const SystemDataRowAction action = rowAction(category_, isRemainder_);
    const QString title = action == SystemDataRowAction::reclaim    ? text::reclaim()
                          : action == SystemDataRowAction::noAction ? text::noAction()
                                                                    : text::leaveAlone();
    button_ = new SystemDataButton(title, false, this);
    if (action == SystemDataRowAction::reclaim) {
        connect(button_, &QAbstractButton::clicked, this, &SystemDataRowView::reclaimRequested);
    } else {
        // Disabled, with the reason it is left alone as its tooltip.
        button_->setEnabled(false);
        button_->setToolTip(QString::fromStdString(category_.reclaimabilityReason.value_or("")));
    }
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

QString SystemDataRowView::sizeText() const {
    return QString::fromStdString(formatByteCount(std::max<int64_t>(category_.sizeBytes, 0)));
}

SystemDataRowView::Columns SystemDataRowView::columns(int width) const {
    const double right = width - kSide;
    const QRectF button(right - kButtonWidth, kVertical, kButtonWidth, button_->sizeHint().height());
    const QRectF size(button.left() - kSpacing - kSizeWidth, kVertical, kSizeWidth, 20);
    const double wordsLeft = kSide + kTile + kSpacing;
    const double wordsRight = size.left() - kSpacing - kMinimumGap;
    return {QRectF(kSide, kVertical, kTile, kTile),
            QRectF(wordsLeft, kVertical, std::max(wordsRight - wordsLeft, 40.0), 0), size, button};
}

double SystemDataRowView::wordsHeight(double width) const {
    return wrappedHeight(nameFont(), width, QString::fromStdString(category_.name), this) + kLineGap +
           wrappedHeight(explanationFont(), width, QString::fromStdString(category_.explanation), this);
}

int SystemDataRowView::heightForWidth(int width) const {
    const Columns c = columns(width);
    const double content = std::max({kTile, wordsHeight(c.words.width()), c.button.height()});
    return static_cast<int>(std::ceil(kVertical + content + kVertical));
}

QSize SystemDataRowView::sizeHint() const {
    return {600, heightForWidth(600)};
}

void SystemDataRowView::resizeEvent(QResizeEvent*) {
    button_->setGeometry(columns(width()).button.toRect());
}

void SystemDataRowView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme::Palette& palette = Theme::palette(Theme::isDark(this));
    if (isRemainder_) {
        QColor tint = palette.ink;
        tint.setAlphaF(0.03f);
        painter.fillRect(rect(), tint);
    }
    const Columns c = columns(width());
    IconTile::paint(painter, c.tile, IconTile::systemDataCategory(QString::fromStdString(category_.id)));

    const QString name = QString::fromStdString(category_.name);
    const double nameHeight = wrappedHeight(nameFont(), c.words.width(), name, this);
    painter.setPen(palette.ink);
    painter.setFont(nameFont());
    painter.drawText(QRectF(c.words.left(), c.words.top(), c.words.width(), nameHeight),
                     Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, name);
    const QString explanation = QString::fromStdString(category_.explanation);
    painter.setPen(palette.ink2);
    painter.setFont(explanationFont());
    painter.drawText(QRectF(c.words.left(), c.words.top() + nameHeight + kLineGap, c.words.width(),
                            wrappedHeight(explanationFont(), c.words.width(), explanation, this)),
                     Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, explanation);

    painter.setPen(palette.ink);
    painter.setFont(sizeFont());
    painter.drawText(c.size, Qt::AlignRight | Qt::AlignTop, sizeText());
}

} // namespace quillmere
