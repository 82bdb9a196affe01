#include "app/ScanScreens.hpp"

#include "app/ScanScreenText.hpp"
#include "ui/ColorOpacity.hpp"
#include "ui/DesktopSettings.hpp"
#include "ui/FadeEffect.hpp"
#include "ui/Motion.hpp"
#include "ui/Painting.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"

#include <QDateTime>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <cmath>
#include <numbers>

namespace quillmere {
namespace {

// Brings an angle in degrees into [0, 360) and returns it as a fraction of a turn.
double hueFraction(double degrees) {
    return std::fmod(std::fmod(degrees, 360.0) + 360.0, 360.0) / 360.0;
}

QColor hsb(double hue, double saturation, double brightness, double opacity = 1) {
    return QColor::fromHsvF(static_cast<float>(hue), static_cast<float>(saturation),
                            static_cast<float>(brightness), static_cast<float>(opacity));
}

// A repeating ease-in-out pulse between 0 and 1 (auto-reversing), as a looping animation would run.
double pulse(double seconds, double period, double delay) {
    const double t = seconds - delay;
    if (t <= 0) return 0;
    double phase = std::fmod(t, 2 * period) / period; // 0..2
    if (phase > 1) phase = 2 - phase;
    return 0.5 - 0.5 * std::cos(phase * std::numbers::pi);
}

} // namespace

void paintAccentBadge(QPainter& painter, const QRectF& badge, const QString& symbolName, double symbolSize,
                      double shadowRadius, const QColor& accent) {
    painter.save();
    painter.setPen(Qt::NoPen);
    for (int i = 6; i >= 1; --i) { // the shadow, in rings that blur its edge
        const double spread = shadowRadius * i / 6 / 3;
        painter.setBrush(withOpacity(accent, 0.3 / 6));
        painter.drawEllipse(badge.translated(0, 6).adjusted(-spread, -spread, spread, spread));
    }
    QLinearGradient fill(badge.topLeft(), badge.bottomRight());
    fill.setColorAt(0, accent);
    fill.setColorAt(1, withOpacity(accent, 0.6));
    painter.setBrush(fill);
    painter.drawEllipse(badge);
    Symbols::draw(painter, badge, symbolName, Qt::white, symbolSize);
    painter.restore();
}

// ---- CapsuleButton ----

CapsuleButton::CapsuleButton(const QString& title, const QString& symbolName, bool prominent, QWidget* parent)
    : QAbstractButton(parent), symbolName_(symbolName), prominent_(prominent) {
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

QSize CapsuleButton::sizeHint() const {
    const QFont font = Theme::uiFont(prominent_ ? 13 : 12, prominent_ ? QFont::DemiBold : QFont::Medium);
    const QFontMetrics metrics(font);
    const int symbol = symbolName_.isEmpty() ? 0 : metrics.height() + 6;
    const int padding = prominent_ ? 10 + 16 : 6 + 12;
    return {metrics.horizontalAdvance(text()) + symbol + 2 * padding, prominent_ ? 34 : 26};
}

void CapsuleButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CapsuleButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CapsuleButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme::Palette& palette = Theme::palette(Theme::isDark(this));
    const QRectF area = QRectF(rect()).adjusted(1, 1, -1, -1);
    const double radius = area.height() / 2;
    const QColor accent = Theme::accent(Theme::isDark(this));
    QColor fill;
    QColor ink;
    if (prominent_) {
        fill = isDown() ? accent.darker(115) : (hovered_ ? accent.lighter(106) : accent);
        ink = Qt::white;
    } else {
        fill = Theme::isDark(this) ? QColor(255, 255, 255, isDown() ? 40 : (hovered_ ? 30 : 20))
                                   : QColor(0, 0, 0, isDown() ? 30 : (hovered_ ? 20 : 12));
        ink = palette.ink;
    }
    painter.setPen(prominent_ ? Qt::NoPen : QPen(palette.line, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(area, radius, radius);
    // The focus ring shows for keyboard focus only, as the platform draws it.
    if (painting::showsFocusRing(this)) {
        QPen ring(withOpacity(accent, 0.8), 2);
        painter.setPen(ring);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(area.adjusted(-0.5, -0.5, 0.5, 0.5), radius, radius);
    }
    const QFont font = Theme::uiFont(prominent_ ? 13 : 12, prominent_ ? QFont::DemiBold : QFont::Medium);
    const QFontMetrics metrics(font);
    const double symbolSide = symbolName_.isEmpty() ? 0 : metrics.height();
    const double gap = symbolName_.isEmpty() ? 0 : 6;
    const double contentWidth = symbolSide + gap + metrics.horizontalAdvance(text());
    double x = area.center().x() - contentWidth / 2;
    if (!symbolName_.isEmpty()) {
        Symbols::draw(painter, QRectF(x, area.center().y() - symbolSide / 2, symbolSide, symbolSide),
                      symbolName_, ink);
        x += symbolSide + gap;
    }
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(QRectF(x, area.top(), contentWidth, area.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     text());
}

// ---- ReadyToScanView ----

namespace {

constexpr double kBadgeSide = 72;
constexpr double kTextWidth = 340;

QRectF wrappedTextRect(const QFont& font, const QString& text, double width) {
    return QFontMetricsF(font).boundingRect(QRectF(0, 0, width, 1000), Qt::AlignHCenter | Qt::TextWordWrap,
                                            text);
}

} // namespace

ReadyToScanView::ReadyToScanView(QWidget* parent)
    : QWidget(parent), button_(new CapsuleButton("Scan", "magnifyingglass", true, this)) {
    connect(button_, &QAbstractButton::clicked, this, &ReadyToScanView::startRequested);
}

void ReadyToScanView::setVolumeName(const QString& name) {
    volumeName_ = name;
    button_->setText("Scan " + name);
    layoutChildren();
    update();
}

void ReadyToScanView::resizeEvent(QResizeEvent*) {
    layoutChildren();
}

// The column: badge, 22, title + 6 + sentence, 22, button; centred as a whole.
void ReadyToScanView::layoutChildren() {
    const QFont title = Theme::uiFont(17, QFont::DemiBold);
    const QFont body = Theme::uiFont(12, QFont::Normal);
    const double textHeight =
        QFontMetricsF(title).height() + 6 +
        wrappedTextRect(body, QString::fromStdString(readyToScanSentence(volumeName_.toStdString())),
                        kTextWidth)
            .height();
    const QSize buttonSize = button_->sizeHint();
    const double total = kBadgeSide + 22 + textHeight + 22 + buttonSize.height();
    const double top = (height() - total) / 2;
    button_->setGeometry(QRect(QPoint(static_cast<int>((width() - buttonSize.width()) / 2),
                                      static_cast<int>(top + kBadgeSide + 22 + textHeight + 22)),
                               buttonSize));
}

void ReadyToScanView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme::Palette& palette = Theme::palette(Theme::isDark(this));
    const QColor accent = Theme::accent(Theme::isDark(this));
    const QFont title = Theme::uiFont(17, QFont::DemiBold);
    const QFont body = Theme::uiFont(12, QFont::Normal);
    const QString sentence = QString::fromStdString(readyToScanSentence(volumeName_.toStdString()));
    const QRectF sentenceBox = wrappedTextRect(body, sentence, kTextWidth);
    const double textHeight = QFontMetricsF(title).height() + 6 + sentenceBox.height();
    const double total = kBadgeSide + 22 + textHeight + 22 + button_->sizeHint().height();
    const double top = (height() - total) / 2;
    const double centreX = width() / 2.0;

    const QRectF badge(centreX - kBadgeSide / 2, top, kBadgeSide, kBadgeSide);
    paintAccentBadge(painter, badge, "externaldrive.fill", 28, 18, accent);

    double y = badge.bottom() + 22;
    painter.setFont(title);
    painter.setPen(palette.ink);
    const double titleHeight = QFontMetricsF(title).height();
    painter.drawText(QRectF(0, y, width(), titleHeight), Qt::AlignHCenter | Qt::AlignVCenter,
                     "Nothing read yet");
    y += titleHeight + 6;
    painter.setFont(body);
    painter.setPen(palette.ink2);
    painter.drawText(QRectF(centreX - kTextWidth / 2, y, kTextWidth, sentenceBox.height()),
                     Qt::AlignHCenter | Qt::TextWordWrap, sentence);
}

// ---- ScanProgressBar ----

ScanProgressBar::ScanProgressBar(QWidget* parent)
    : QWidget(parent), stop_(new CapsuleButton("Stop scan", "stop.fill", false, this)) {
    stop_->setToolTip("Stop scanning and keep what's been found so far");
    connect(stop_, &QAbstractButton::clicked, this, &ScanProgressBar::stopRequested);
}

void ScanProgressBar::setFigures(int64_t bytesScanned, int64_t totalCapacityBytes) {
    bytesScanned_ = bytesScanned;
    totalCapacityBytes_ = totalCapacityBytes;
    update();
}

void ScanProgressBar::resizeEvent(QResizeEvent*) {
    const QSize button = stop_->sizeHint();
    const int textHeight = QFontMetrics(Theme::uiFont(11, QFont::Normal)).height();
    stop_->setGeometry((width() - button.width()) / 2, 5 + 9 + textHeight + 9, button.width(),
                       button.height());
}

void ScanProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme::Palette& palette = Theme::palette(Theme::isDark(this));
    const QColor accent = Theme::accent(Theme::isDark(this));
    const QRectF track(0, 0, width(), 5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(palette.ink, 0.08));
    painter.drawRoundedRect(track, 2.5, 2.5);
    const double fraction = scanProgressFraction(bytesScanned_, totalCapacityBytes_);
    if (fraction > 0) {
        const QRectF filled(0, 0, fraction * width(), 5);
        QLinearGradient gradient(filled.topLeft(), filled.topRight());
        gradient.setColorAt(0, accent);
        gradient.setColorAt(1, withOpacity(accent, 0.75));
        painter.setBrush(gradient);
        painter.drawRoundedRect(filled, 2.5, 2.5);
    }
    const QFont font = Theme::uiFont(11, QFont::Normal);
    painter.setFont(font);
    painter.setPen(palette.ink2);
    painter.drawText(QRectF(0, 5 + 9, width(), QFontMetricsF(font).height()),
                     Qt::AlignHCenter | Qt::AlignVCenter,
                     QString::fromStdString(scanProgressPercentText(bytesScanned_, totalCapacityBytes_)));
}

// ---- ScanningIllustrationView ----

namespace {
constexpr double kIllustrationSide = 220;
constexpr double kBarWidth = 360;
} // namespace

ScanningIllustrationView::ScanningIllustrationView(QWidget* parent)
    : QWidget(parent), bar_(new ScanProgressBar(this)), barFade_(new QVariantAnimation(this)) {
    bar_->hide();
    connect(bar_, &ScanProgressBar::stopRequested, this, &ScanningIllustrationView::stopRequested);
    connect(&platform::DesktopSettings::shared(), &platform::DesktopSettings::reducedMotionChanged, this,
            &ScanningIllustrationView::followReducedMotion);
    barFade_->setEasingCurve(QEasingCurve::InOutQuad);
    auto* fade = new FadeEffect(bar_);
    fade->setOpacity(0);
    bar_->setGraphicsEffect(fade);
    connect(barFade_, &QVariantAnimation::valueChanged, this, [this, fade](const QVariant& value) {
        barOpacity_ = value.toDouble();
        fade->setOpacity(barOpacity_);
    });
}

void ScanningIllustrationView::setVolume(const QString& name, int64_t totalCapacityBytes) {
    volumeName_ = name;
    totalCapacityBytes_ = totalCapacityBytes;
    if (progress_) bar_->setFigures(progress_->bytesScanned, totalCapacityBytes_);
    update();
}

void ScanningIllustrationView::setProgress(const std::optional<ScanProgress>& progress) {
    const bool arriving = progress && !progress_;
    const bool leaving = !progress && progress_;
    progress_ = progress;
    if (progress) bar_->setFigures(progress->bytesScanned, totalCapacityBytes_);
    // New figures change the status line and the bar, which repaints itself; nothing else on
    // the screen needs drawing again several times a second through a scan.
    if (!arriving && !leaving) {
        update(textBounds());
        return;
    }
    bar_->setVisible(progress.has_value());
    barFade_->stop();
    barFade_->setDuration(motionDuration(320));
    barFade_->setStartValue(barOpacity_);
    barFade_->setEndValue(progress ? 1.0 : 0.0);
    if (barFade_->duration() == 0) {
        barOpacity_ = progress ? 1.0 : 0.0;
        static_cast<FadeEffect*>(bar_->graphicsEffect())->setOpacity(barOpacity_);
    } else {
        barFade_->start();
    }
    layoutChildren();
    update();
}

void ScanningIllustrationView::setAnimationClock(std::optional<double> fixedSeconds) {
    fixedSeconds_ = fixedSeconds;
    update();
}

void ScanningIllustrationView::showEvent(QShowEvent*) {
    isAnimating_ = true;
    startedAtMs_ = QDateTime::currentMSecsSinceEpoch();
    followReducedMotion();
}

// The illustration moves while shown, unless the desktop asks for reduced motion; it follows
// a change of that setting at once.
void ScanningIllustrationView::followReducedMotion() {
    const bool moves = isVisible() && !prefersReducedMotion();
    if (moves && timerId_ == 0) timerId_ = startTimer(16);
    if (!moves && timerId_ != 0) {
        killTimer(timerId_);
        timerId_ = 0;
    }
    update();
}

void ScanningIllustrationView::hideEvent(QHideEvent*) {
    if (timerId_ != 0) killTimer(timerId_);
    timerId_ = 0;
}

// Only the illustration moves between frames: the backdrop, texts and bar under the rest are
// repainted when their figures change, not sixty times a second (at 2x that was most of a frame).
void ScanningIllustrationView::timerEvent(QTimerEvent*) {
    update(illustrationBounds());
}

void ScanningIllustrationView::resizeEvent(QResizeEvent*) {
    layoutChildren();
}

namespace {
double columnHeight(bool withBar) {
    const double text = QFontMetricsF(Theme::uiFont(15, QFont::DemiBold)).height() + 6 +
                        QFontMetricsF(Theme::uiFont(12, QFont::Normal)).height();
    return kIllustrationSide + 28 + text + (withBar ? 28 + 72 : 0);
}
} // namespace

void ScanningIllustrationView::layoutChildren() {
    bar_->setGeometry(static_cast<int>((width() - kBarWidth) / 2),
                      static_cast<int>(textLines().status.bottom() + 28), static_cast<int>(kBarWidth), 72);
}

QPointF ScanningIllustrationView::illustrationCentre() const {
    const double top = (height() - columnHeight(progress_.has_value())) / 2;
    return {width() / 2.0, top + kIllustrationSide / 2};
}

ScanningIllustrationView::TextLines ScanningIllustrationView::textLines() const {
    const double top = (height() - columnHeight(progress_.has_value())) / 2;
    const double y = top + kIllustrationSide + 28;
    const double titleHeight = QFontMetricsF(Theme::uiFont(15, QFont::DemiBold)).height();
    return {
        QRectF(0, y, width(), titleHeight),
        QRectF(0, y + titleHeight + 6, width(), QFontMetricsF(Theme::uiFont(12, QFont::Normal)).height())};
}

QRect ScanningIllustrationView::textBounds() const {
    const TextLines lines = textLines();
    return lines.title.united(lines.status).toAlignedRect();
}

QRect ScanningIllustrationView::illustrationBounds() const {
    // The sweep's stroke reaches 103.25 points from the centre, the petals less; two points more
    // keep the antialiased edge inside.
    constexpr double kReach = kIllustrationSide / 2 + 2;
    const QPointF centre = illustrationCentre();
    return QRectF(centre.x() - kReach, centre.y() - kReach, 2 * kReach, 2 * kReach).toAlignedRect();
}

void ScanningIllustrationView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme::Palette& palette = Theme::palette(Theme::isDark(this));
    // The animation's frames repaint only its square and new figures only the texts below it;
    // drawing the other part too would only be clipped away, after shaping both lines of text
    // sixty times a second.
    if (event->region().intersects(illustrationBounds())) {
        // Under reduce motion (or before showing) the illustration stands still at full size.
        double seconds = -1;
        if (fixedSeconds_)
            seconds = *fixedSeconds_;
        else if (isAnimating_ && timerId_ != 0)
            seconds = (QDateTime::currentMSecsSinceEpoch() - startedAtMs_) / 1000.0;
        paintIllustration(painter, illustrationCentre(), seconds);
    }
    if (!event->region().intersects(textBounds())) return;
    const TextLines lines = textLines();
    painter.setFont(Theme::uiFont(15, QFont::DemiBold));
    painter.setPen(palette.ink);
    painter.drawText(lines.title, Qt::AlignHCenter | Qt::AlignVCenter, "Scanning " + volumeName_);
    painter.setFont(Theme::uiFont(12, QFont::Normal));
    painter.setPen(palette.ink2);
    painter.drawText(lines.status, Qt::AlignHCenter | Qt::AlignVCenter,
                     QString::fromStdString(scanStatusLine(progress_)));
}

void ScanningIllustrationView::paintIllustration(QPainter& painter, QPointF centre, double seconds) const {
    const Theme::Palette& palette = Theme::palette(Theme::isDark(this));
    const QColor accent = Theme::accent(Theme::isDark(this));
    const bool still = seconds < 0;
    const double t = still ? 0 : seconds;
    const auto level = [&](double period, double delay) { return still ? 1.0 : pulse(t, period, delay); };

    // Sweep arc: the first fifth of a circle, brightening towards its end, turning every 2.4 s.
    painter.save();
    painter.translate(centre);
    painter.rotate(360.0 * std::fmod(t / 2.4, 1.0));
    constexpr int kSteps = 36;
    for (int k = 0; k < kSteps; ++k) {
        const double from = 0.2 * k / kSteps;
        QPen pen(withOpacity(accent, 0.9 * (from + 0.2 / kSteps)), 2.5, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        painter.drawArc(QRectF(-102, -102, 204, 204), static_cast<int>(-from * 360 * 16),
                        static_cast<int>(-(0.2 / kSteps) * 360 * 16 - 8));
    }
    painter.restore();

    // Outer petals.
    painter.save();
    painter.translate(centre);
    painter.rotate(360.0 * std::fmod(t / 24.0, 1.0));
    for (int i = 0; i < 12; ++i) {
        const double u = i / 12.0;
        const double p = level(1.2, u * 0.9);
        painter.save();
        painter.rotate(i * 30.0);
        painter.scale(0.35 + 0.65 * p, 0.35 + 0.65 * p);
        painter.setOpacity(0.2 + 0.8 * p);
        painter.setPen(Qt::NoPen);
        painter.setBrush(hsb(hueFraction(44 - 76 * u), 0.7 - 0.25 * u, 0.88 + 0.06 * u));
        painter.drawRoundedRect(QRectF(-6, -72 - 27, 12, 54), 6, 6);
        painter.restore();
    }
    painter.restore();

    // Inner petals, scaled about the bottom of their frame, turning the other way.
    painter.save();
    painter.translate(centre);
    painter.rotate(-360.0 * std::fmod(t / 17.0, 1.0));
    for (int i = 0; i < 8; ++i) {
        const double u = i / 8.0;
        const double p = level(1.2, u * 0.9);
        const double scale = 0.4 + 0.6 * p;
        painter.save();
        painter.translate(0, 13);
        painter.scale(scale, scale);
        painter.translate(0, -13);
        painter.rotate(i * 45.0 + 22.5);
        painter.setOpacity(0.15 + 0.85 * p);
        painter.setPen(Qt::NoPen);
        painter.setBrush(hsb(hueFraction(44 - 76 * (1 - u)), 0.55 - 0.15 * u, 0.82 + 0.06 * u, 0.65));
        painter.drawRoundedRect(QRectF(-3.5, -56 - 13, 7, 26), 3.5, 3.5);
        painter.restore();
    }
    painter.restore();

    // Orbiting dots.
    for (int k = 0; k < 3; ++k) {
        const double u = k / 3.0;
        const double period = 6 + 2.5 * k;
        painter.save();
        painter.translate(centre);
        painter.rotate(k * 120.0 + 360.0 * std::fmod(t / period, 1.0));
        const double diameter = 5 - u;
        painter.setPen(Qt::NoPen);
        painter.setBrush(withOpacity(accent, 0.8 - 0.25 * u));
        painter.drawEllipse(QPointF(0, -(48 + 7 * u)), diameter / 2, diameter / 2);
        painter.restore();
    }

    // Hub.
    painter.setPen(QPen(palette.line, 1));
    painter.setBrush(palette.bg1);
    painter.drawEllipse(centre, 41.5, 41.5);
}

} // namespace quillmere
