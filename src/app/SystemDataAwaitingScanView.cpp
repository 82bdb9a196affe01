#include "app/SystemDataAwaitingScanView.hpp"

#include "app/ScanScreens.hpp"
#include "base/Format.hpp"
#include "ui/DesktopSettings.hpp"
#include "ui/Motion.hpp"
#include "ui/ProgressIndicator.hpp"
#include "ui/Theme.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace quillmere {
namespace {

constexpr double kBadgeSide = 64;
constexpr double kBadgeSymbolSize = 24;
constexpr double kBadgeShadowRadius = 16;
constexpr double kItemSpacing = 20;
constexpr double kTitleToText = 6;
constexpr double kTextWidth = 320;

QFont titleFont() {
    return Theme::uiFont(15, QFont::DemiBold);
}
QFont sentenceFont() {
    return Theme::uiFont(12);
}

} // namespace

std::string systemDataAwaitingTitle(bool canStartScan) {
    return canStartScan ? "Nothing scanned yet" : "Waiting on the scan";
}

std::string systemDataAwaitingSentence(const std::string& volumeName,
                                       const std::optional<ScanProgress>& progress, bool canStartScan) {
    std::string sentence = "The caches, backups and other files the file manager hides show up here once " +
                           volumeName + " has been walked.";
    if (!canStartScan && progress)
        sentence += " " + formatGroupedInteger(progress->filesScanned) + " files read so far.";
    return sentence;
}

// ---- SystemDataAwaitingScanView ----

SystemDataAwaitingScanView::SystemDataAwaitingScanView(QWidget* parent)
    : QWidget(parent), button_(new CapsuleButton("Scan", "magnifyingglass", true, this)) {
    button_->hide();
    connect(button_, &QAbstractButton::clicked, this, &SystemDataAwaitingScanView::startScanRequested);
}

void SystemDataAwaitingScanView::setVolumeName(const QString& name) {
    volumeName_ = name;
    button_->setText("Scan " + name);
    relayout();
}

void SystemDataAwaitingScanView::setProgress(const std::optional<ScanProgress>& progress) {
    progress_ = progress;
    relayout();
}

void SystemDataAwaitingScanView::setCanStartScan(bool canStart) {
    canStartScan_ = canStart;
    button_->setVisible(canStart);
    relayout();
}

QString SystemDataAwaitingScanView::title() const {
    return QString::fromStdString(systemDataAwaitingTitle(canStartScan_));
}

QString SystemDataAwaitingScanView::sentence() const {
    return QString::fromStdString(
        systemDataAwaitingSentence(volumeName_.toStdString(), progress_, canStartScan_));
}

// Badge, 20, title + 6 + sentence, 20, button; the column centred both ways.
SystemDataAwaitingScanView::Column SystemDataAwaitingScanView::layoutColumn() const {
    const double titleHeight = std::ceil(QFontMetricsF(titleFont()).height());
    const double sentenceHeight = std::ceil(
        QFontMetricsF(sentenceFont())
            .boundingRect(QRectF(0, 0, kTextWidth, 1000), Qt::AlignHCenter | Qt::TextWordWrap, sentence())
            .height());
    const QSize button = canStartScan_ ? button_->sizeHint() : QSize();
    const double total = kBadgeSide + kItemSpacing + titleHeight + kTitleToText + sentenceHeight +
                         (canStartScan_ ? kItemSpacing + button.height() : 0);
    const double centreX = width() / 2.0;
    double y = std::round(std::max(0.0, (height() - total) / 2));
    Column column;
    column.badge = QRectF(centreX - kBadgeSide / 2, y, kBadgeSide, kBadgeSide);
    y += kBadgeSide + kItemSpacing;
    column.title = QRectF(0, y, width(), titleHeight);
    y += titleHeight + kTitleToText;
    column.sentence = QRectF(centreX - kTextWidth / 2, y, kTextWidth, sentenceHeight);
    y += sentenceHeight + kItemSpacing;
    column.button = QRect(QPoint(int(std::round(centreX - button.width() / 2.0)), int(y)), button);
    return column;
}

void SystemDataAwaitingScanView::relayout() {
    if (canStartScan_) button_->setGeometry(layoutColumn().button);
    update();
}

void SystemDataAwaitingScanView::resizeEvent(QResizeEvent*) {
    relayout();
}

void SystemDataAwaitingScanView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const bool dark = Theme::isDark(this);
    const Theme::Palette& palette = Theme::palette(dark);
    const Column column = layoutColumn();
    paintAccentBadge(painter, column.badge, "questionmark.circle.fill", kBadgeSymbolSize, kBadgeShadowRadius,
                     Theme::accent(dark));
    painter.setFont(titleFont());
    painter.setPen(palette.ink);
    painter.drawText(column.title, Qt::AlignHCenter | Qt::AlignVCenter, title());
    painter.setFont(sentenceFont());
    painter.setPen(palette.ink2);
    painter.drawText(column.sentence, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, sentence());
}

// ---- ReadingSystemDataView ----

namespace {
constexpr int kIndicatorSide = 22;
constexpr double kIndicatorToText = 12;

// A ring in the separator colour with an arc in the accent colour, turning once a second.
ProgressIndicator::Look readingLook() {
    ProgressIndicator::Look look = ProgressIndicator::Look::arc(kIndicatorSide);
    look.turnMs = 1000;
    look.ink = ProgressIndicator::Ink::accent;
    look.track = ProgressIndicator::Track::separator;
    look.lineWidth = 2.5;
    look.sweep = 0.28 * 360;
    look.restAngle = 90;
    return look;
}
} // namespace

ReadingSystemDataView::ReadingSystemDataView(QWidget* parent)
    : QWidget(parent), indicator_(new ProgressIndicator(readingLook(), this)) {
    indicator_->setHeldStill(prefersReducedMotion());
    connect(&platform::DesktopSettings::shared(), &platform::DesktopSettings::reducedMotionChanged,
            indicator_, &ProgressIndicator::setHeldStill);
}

bool ReadingSystemDataView::isTurning() const {
    return indicator_->isTurning();
}

int ReadingSystemDataView::indicatorTop() const {
    const double textHeight = std::ceil(QFontMetricsF(sentenceFont()).height());
    return int(std::round((height() - kIndicatorSide - kIndicatorToText - textHeight) / 2));
}

void ReadingSystemDataView::resizeEvent(QResizeEvent*) {
    // As wide as the view, so the indicator centred in it stands where the text is centred.
    indicator_->setGeometry(0, indicatorTop(), width(), kIndicatorSide);
}

void ReadingSystemDataView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont font = sentenceFont();
    painter.setFont(font);
    painter.setPen(Theme::palette(this).ink2);
    painter.drawText(QRectF(0, indicatorTop() + kIndicatorSide + kIndicatorToText, width(),
                            std::ceil(QFontMetricsF(font).height())),
                     Qt::AlignCenter, kReadingSystemDataText);
}

} // namespace quillmere
