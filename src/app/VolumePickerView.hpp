#pragma once

#include "scan/ScannableVolume.hpp"

#include <QAbstractButton>
#include <QList>
#include <QString>
#include <QWidget>
#include <vector>

class QScrollArea;
class QVariantAnimation;

namespace quillmere {

// What a tile shows of its volume.
double usedFraction(const ScannableVolume& volume);
// Truncated, not rounded: a volume 99.9 % full shows 99 %.
int usedPercentage(const ScannableVolume& volume);
QString usedPercentageText(const ScannableVolume& volume);
QString freeOfTotalText(const ScannableVolume& volume);
QString driveSymbol(const ScannableVolume& volume);

QString volumePickerHeadline(size_t volumeCount);
QString volumePickerIntroduction(size_t volumeCount);

// One volume: its fullness ring with the percentage, its name and its free and total bytes.
// A click, Space, Return or Enter chooses it. Hovering tints it and grows the ring.
class VolumeTile : public QAbstractButton {
    Q_OBJECT
public:
    explicit VolumeTile(ScannableVolume volume, QWidget* parent = nullptr);

    const ScannableVolume& volume() const { return volume_; }
    void setVolume(ScannableVolume volume);
    bool isHovering() const { return isHovering_; }
    // The ring's current scale: 1, or 1.04 while hovered (in between while it grows).
    qreal ringScale() const { return ringScale_; }
    // The square the unscaled ring is drawn in, in tile coordinates.
    QRectF ringRect() const;
    bool showsFocusRing() const;
    // Asks the pointer where it is: a tile laid out afresh (the picker appearing or resized,
    // the row scrolled) may have moved from under a still pointer, and no leave event says so.
    void syncHoverWithPointer();

    QSize sizeHint() const override { return preferredSize(); }
    QSize minimumSizeHint() const override { return preferredSize(); }
    static QSize preferredSize();

    static constexpr qreal kWidth = 168;
    static constexpr qreal kRingSide = 108;
    static constexpr qreal kRingLineWidth = 11;
    static constexpr qreal kHoverScale = 1.04;

signals:
    void focused();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setHovering(bool hovering);
    void paintRing(QPainter& painter) const;

    ScannableVolume volume_;
    bool isHovering_ = false;
    qreal ringScale_ = 1;
    QVariantAnimation* growth_;
};

// The screen shown while no volume is chosen: a headline, a line of introduction and one tile
// per volume, in the order given, in one row. A row wider than the screen scrolls sideways.
class VolumePickerView : public QWidget {
    Q_OBJECT
public:
    explicit VolumePickerView(QWidget* parent = nullptr);

    const std::vector<ScannableVolume>& volumes() const { return volumes_; }
    void setVolumes(std::vector<ScannableVolume> volumes);
    const QList<VolumeTile*>& tiles() const { return tiles_; }
    // The scrolling row that holds the tiles.
    QScrollArea* row() const { return row_; }

    QSize sizeHint() const override;

    static constexpr qreal kPadding = 30;
    static constexpr qreal kTileSpacing = 18;

signals:
    void volumeSelected(const quillmere::ScannableVolume& volume);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Layout {
        QRectF headline;
        QRectF introduction;
        QRect row; // the scrolling row, in the picker
        QSize rowContent;
    };
    Layout layoutColumn() const;
    void layoutTiles();

    std::vector<ScannableVolume> volumes_;
    QScrollArea* row_;
    QWidget* rowContent_;
    QList<VolumeTile*> tiles_;
};

} // namespace quillmere
