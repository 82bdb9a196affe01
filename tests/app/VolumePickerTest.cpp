#include "app/VolumePickerView.hpp"
#include "ui/Theme.hpp"
#include "ui/UiTestSupport.hpp"

#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace quillmere;
using namespace quillmere::test;

namespace {

// Without a reserve for the administrator: what is not available is used.
ScannableVolume volume(std::string name, int64_t total, int64_t available, bool removable = false) {
    return ScannableVolume{"/media/" + name, name,       std::nullopt,     total, available, false,
                           removable,        !removable, total - available};
}

// The ring's pixel at `clockwise` turns from the top, on the middle of its stroke.
QPoint onRing(const VolumeTile& tile, double clockwise) {
    const QRectF ring = tile.ringRect();
    const double radius = (ring.width() - VolumeTile::kRingLineWidth) / 2;
    const double angle = clockwise * 2 * std::numbers::pi;
    return QPointF(ring.center().x() + radius * std::sin(angle), ring.center().y() - radius * std::cos(angle))
        .toPoint();
}

} // namespace

TEST(VolumePickerFiguresTest, FractionIsClampedAndPercentageTruncated) {
    const ScannableVolume empty = volume("Fallback", 0, 0);
    EXPECT_EQ(usedFraction(empty), 0);
    EXPECT_EQ(usedPercentageText(empty), "0%");
    EXPECT_EQ(freeOfTotalText(empty), "Zero KB free of Zero KB");

    EXPECT_EQ(usedFraction(volume("Odd", 100, 150)), 0);
    EXPECT_EQ(usedFraction(volume("Negative", -5, 0)), 0);
    EXPECT_EQ(usedFraction(volume("Full", 100, 0)), 1);
    EXPECT_EQ(usedPercentageText(volume("Full", 100, 0)), "100%");
    const ScannableVolume nearlyFull = volume("Nearly", 1000, 1);
    EXPECT_DOUBLE_EQ(usedFraction(nearlyFull), 0.999);
    EXPECT_EQ(usedPercentageText(nearlyFull), "99%");

    EXPECT_EQ(freeOfTotalText(volume("Disk", 2'000'000'000, 500'000'000)), "500 MB free of 2 GB");

    // Blocks kept for the administrator are neither used nor free to others: the ring shows
    // what df counts as used, while the text says what the user may still write.
    ScannableVolume reserved = volume("Reserved", 1000, 200);
    reserved.usedCapacityBytes = 100;
    EXPECT_DOUBLE_EQ(usedFraction(reserved), 0.1);
    EXPECT_EQ(usedPercentageText(reserved), "10%");
    EXPECT_EQ(freeOfTotalText(reserved), "200 bytes free of 1 KB");
}

TEST(VolumePickerFiguresTest, HeadlineDependsOnHowManyVolumes) {
    EXPECT_EQ(volumePickerHeadline(1), "Ready to scan");
    EXPECT_EQ(volumePickerIntroduction(1),
              "Nothing gets read until you start it, and you can stop partway through.");
    for (size_t count : {size_t(0), size_t(2), size_t(5)}) {
        EXPECT_EQ(volumePickerHeadline(count), "Which disk?");
        EXPECT_EQ(volumePickerIntroduction(count),
                  "Quillmere will map whichever one you pick. Nothing gets read until you start it.");
    }
}

TEST(VolumePickerTest, OneTilePerVolumeInOrderEachChoosingItsVolume) {
    VolumePickerView picker;
    picker.resize(980, 560);
    picker.show();
    const std::vector<ScannableVolume> volumes{volume("Disk", 1000, 250), volume("Stick", 100, 90, true)};
    picker.setVolumes(volumes);
    ASSERT_EQ(picker.tiles().size(), 2);
    const auto inPicker = [&](const VolumeTile* tile) {
        return QRect(tile->mapTo(&picker, QPoint(0, 0)), tile->size());
    };
    const QRect first = inPicker(picker.tiles()[0]);
    const QRect second = inPicker(picker.tiles()[1]);
    EXPECT_EQ(first.width(), 168);
    EXPECT_EQ(second.left() - first.right() - 1, 18);
    EXPECT_EQ(first.top(), second.top());
    EXPECT_NEAR((first.left() + second.right()) / 2.0, 490, 1);
    EXPECT_EQ(picker.tiles()[1]->toolTip(), "Scan Stick");

    std::vector<ScannableVolume> chosen;
    QObject::connect(&picker, &VolumePickerView::volumeSelected,
                     [&](const ScannableVolume& v) { chosen.push_back(v); });
    QTest::mouseClick(picker.tiles()[1], Qt::LeftButton);
    QTest::keyClick(picker.tiles()[0], Qt::Key_Return);
    ASSERT_EQ(chosen.size(), 2);
    EXPECT_EQ(chosen[0], volumes[1]);
    EXPECT_EQ(chosen[1], volumes[0]);

    // Reading the list again keeps the tile of a volume still listed, with its new figures.
    VolumeTile* stick = picker.tiles()[1];
    picker.setVolumes({volume("Stick", 100, 10, true)});
    ASSERT_EQ(picker.tiles().size(), 1);
    EXPECT_EQ(picker.tiles()[0], stick);
    EXPECT_EQ(usedPercentage(stick->volume()), 90);

    // Tiles that do not fit the width stay in their row, which scrolls; a tile reached with
    // the keyboard scrolls into view, and nothing lies outside the picker.
    std::vector<ScannableVolume> many;
    for (char name = 'A'; name <= 'H'; ++name)
        many.push_back(volume(std::string(1, name), 1, 1));
    picker.setVolumes(many);
    picker.resize(700, 508);
    for (VolumeTile* tile : picker.tiles())
        EXPECT_EQ(inPicker(tile).top(), inPicker(picker.tiles()[0]).top());
    QScrollBar* scroll = picker.row()->horizontalScrollBar();
    EXPECT_GT(scroll->maximum(), 0);
    EXPECT_TRUE(picker.rect().contains(picker.row()->geometry()));
    EXPECT_GE(picker.row()->viewport()->height(), VolumeTile::preferredSize().height());
    picker.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&picker));
    picker.tiles().back()->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(scroll->value(), scroll->maximum());
    const QRect last = inPicker(picker.tiles().back());
    EXPECT_TRUE(picker.row()->geometry().contains(last)) << last.x() << " " << last.right();
}

TEST(VolumePickerTest, RingDrawsTheUsedFractionClockwiseFromTheTop) {
    const auto& p = Theme::light();
    const QColor track = over(
        [&] {
            QColor c = p.ink;
            c.setAlphaF(0.1f);
            return c;
        }(),
        p.bg1);
    const QColor accent = Theme::accent(false);
    const auto render = [&](const ScannableVolume& v) {
        auto tile = std::make_unique<VolumeTile>(v);
        tile->setPalette(Theme::qtPalette(false));
        return std::pair{renderOver(*tile, p.bg1), std::move(tile)};
    };
    const auto isAccentish = [&](QColor c) { return c.red() > 200 && c.blue() < 120 && c.green() > 100; };

    auto [quarter, tile] = render(volume("Quarter", 100, 75));
    EXPECT_TRUE(isAccentish(quarter.pixelColor(onRing(*tile, 0.125))));
    EXPECT_TRUE(near(quarter.pixelColor(onRing(*tile, 0.5)), track, 6));
    EXPECT_TRUE(near(quarter.pixelColor(onRing(*tile, 0.75)), track, 6));
    EXPECT_TRUE(near(quarter.pixelColor(onRing(*tile, 0.01)), accent, 16));

    auto [none, emptyTile] = render(volume("Empty", 100, 100));
    for (double at : {0.02, 0.25, 0.5, 0.75, 0.98})
        EXPECT_TRUE(near(none.pixelColor(onRing(*emptyTile, at)), track, 6)) << at;

    auto [full, fullTile] = render(volume("Full", 100, 0));
    for (double at : {0.25, 0.5, 0.75})
        EXPECT_TRUE(isAccentish(full.pixelColor(onRing(*fullTile, at)))) << at;
}

TEST(VolumePickerTest, ATileMovedFromUnderAStillPointerIsNoLongerHovered) {
    QWidget stage;
    stage.resize(600, 400);
    VolumeTile tile(volume("Disk", 100, 50), &stage);
    tile.move(0, 0);
    stage.show();
    QCursor::setPos(stage.mapToGlobal(QPoint(40, 40)));
    QEnterEvent enter(QPointF(40, 40), QPointF(40, 40), stage.mapToGlobal(QPointF(40, 40)));
    QApplication::sendEvent(&tile, &enter);
    ASSERT_TRUE(tile.isHovering());
    tile.move(300, 100); // laid out again; the pointer has not moved
    EXPECT_FALSE(tile.isHovering());
    tile.move(10, 10); // and back under it
    EXPECT_TRUE(tile.isHovering());
    tile.hide();
    EXPECT_FALSE(tile.isHovering());

    // The same when the picker lays its row out again (the tile keeps its place in the row).
    VolumePickerView picker;
    picker.setVolumes({volume("A", 1, 1), volume("B", 1, 1)});
    picker.resize(800, 500);
    picker.show();
    VolumeTile* first = picker.tiles()[0];
    const QPoint over = first->mapToGlobal(first->rect().center());
    QCursor::setPos(over);
    QEnterEvent onTile(first->rect().center(), first->rect().center(), over);
    QApplication::sendEvent(first, &onTile);
    ASSERT_TRUE(first->isHovering());
    picker.resize(800, 900); // the column moves down
    EXPECT_FALSE(first->isHovering());
    QCursor::setPos(5000, 5000); // out of the way of later tests
}

TEST(VolumePickerTest, HoverTintsTheTileAndGrowsTheRing) {
    QCursor::setPos(5000, 5000); // the pointer starts away from the tile
    VolumeTile tile(volume("Disk", 100, 50));
    tile.setPalette(Theme::qtPalette(false));
    tile.resize(tile.sizeHint());
    tile.show();
    EXPECT_EQ(tile.cursor().shape(), Qt::PointingHandCursor);
    const auto& p = Theme::light();
    const QPoint corner(tile.width() / 2, tile.height() - 8); // in the bottom padding
    EXPECT_EQ(renderOver(tile, p.bg1).pixelColor(corner), p.bg1);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&tile, &enter);
    EXPECT_TRUE(tile.isHovering());
    QColor tint = p.ink;
    tint.setAlphaF(0.07f);
    EXPECT_TRUE(near(renderOver(tile, p.bg1).pixelColor(corner), over(tint, p.bg1), 2));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return qFuzzyCompare(tile.ringScale(), VolumeTile::kHoverScale); }, 20000));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&tile, &leave);
    EXPECT_FALSE(tile.isHovering());
    EXPECT_TRUE(QTest::qWaitFor([&] { return qFuzzyCompare(tile.ringScale(), 1.0); }, 20000));
    EXPECT_EQ(renderOver(tile, p.bg1).pixelColor(corner), p.bg1);
}
