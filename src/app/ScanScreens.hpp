#pragma once

#include "scan/ScanRecords.hpp"

#include <QAbstractButton>
#include <QImage>
#include <QWidget>
#include <optional>

class QVariantAnimation;

namespace quillmere {

// A round badge filled with the accent colour (top leading to bottom trailing, fading to 0.6),
// a soft accent shadow of `shadowRadius` 6 points down, and a white symbol on it.
void paintAccentBadge(QPainter& painter, const QRectF& badge, const QString& symbolName, double symbolSize,
                      double shadowRadius, const QColor& accent);

// A capsule-shaped button with an optional leading symbol; `prominent` fills it with a tint.
class CapsuleButton : public QAbstractButton {
    Q_OBJECT
public:
    CapsuleButton(const QString& title, const QString& symbolName, bool prominent, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString symbolName_;
    bool prominent_;
    bool hovered_ = false;
};

// The start screen: the chosen volume has no tree yet; one button starts the scan.
class ReadyToScanView : public QWidget {
    Q_OBJECT
public:
    explicit ReadyToScanView(QWidget* parent = nullptr);
    void setVolumeName(const QString& name);

signals:
    void startRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutChildren();
    QString volumeName_;
    CapsuleButton* button_;
};

// The percentage of the capacity walked, and the button that stops the scan.
class ScanProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit ScanProgressBar(QWidget* parent = nullptr);
    void setFigures(int64_t bytesScanned, int64_t totalCapacityBytes);
    QSize sizeHint() const override { return {360, 72}; }

signals:
    void stopRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int64_t bytesScanned_ = 0;
    int64_t totalCapacityBytes_ = 0;
    CapsuleButton* stop_;
};

// The screen shown for the whole of a scan: an animated illustration, the volume's name,
// the running figures and, once the first figures arrived, the progress bar.
class ScanningIllustrationView : public QWidget {
    Q_OBJECT
public:
    explicit ScanningIllustrationView(QWidget* parent = nullptr);
    void setVolume(const QString& name, int64_t totalCapacityBytes);
    void setProgress(const std::optional<ScanProgress>& progress);
    // Seconds since the illustration started moving; fixed in tests and under reduce motion.
    void setAnimationClock(std::optional<double> fixedSeconds);
    // The part that moves from frame to frame, and the only part the animation repaints.
    QRect illustrationBounds() const;
    // The title and status lines under it: a change of figures repaints only them (and the bar).
    QRect textBounds() const;

signals:
    void stopRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void paintIllustration(QPainter& painter, QPointF centre, double seconds) const;
    QPointF illustrationCentre() const;
    struct TextLines {
        QRectF title;
        QRectF status;
    };
    TextLines textLines() const;
    void followReducedMotion();
    void layoutChildren();
    QString volumeName_;
    int64_t totalCapacityBytes_ = 0;
    std::optional<ScanProgress> progress_;
    bool isAnimating_ = false;
    std::optional<double> fixedSeconds_;
    int timerId_ = 0;
    qint64 startedAtMs_ = 0;
    double barOpacity_ = 0;
    ScanProgressBar* bar_;
    QVariantAnimation* barFade_;
};

} // namespace quillmere
