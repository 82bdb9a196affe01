#include "ui/SegmentedPills.hpp"

#include "UiTestSupport.hpp"
#include "ui/Symbols.hpp"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillmere;
using namespace quillmere::test;

namespace {

enum class View { rings, treemap, list, largest, kinds };
using E = SegmentedPills;

QList<SegmentedPills::Group> twoGroups() {
    return {{E::entry(View::rings, "Rings", "chart.pie.fill", "Rings help"),
             E::entry(View::treemap, "Treemap", "square.grid.3x2.fill"),
             E::entry(View::list, "List", "list.bullet")},
            {E::entry(View::largest, "Largest"), E::entry(View::kinds, "Kinds", "square.stack.3d.up.fill")}};
}

class PillsTest : public ::testing::Test {
protected:
    PillsTest() : pills(twoGroups(), QVariant::fromValue(View::treemap)) {
        pills.setPalette(Theme::qtPalette(false));
        pills.resize(pills.sizeHint());
    }
    QImage render(bool dark) {
        pills.setPalette(Theme::qtPalette(dark));
        return renderOver(pills, Theme::palette(dark).bg1);
    }
    QPoint centre(int index) const { return pills.pillRects().at(index).center().toPoint(); }
    // Inside the pill's padding at mid-height, where no label ink falls.
    QPoint paddingSpot(int index) const {
        const QRectF r = pills.pillRects().at(index);
        return QPoint(int(r.left()) + 3, int(r.center().y()));
    }
    SegmentedPills pills;
};

} // namespace

TEST_F(PillsTest, RowLaysOutPillsSeparatorsAndSpacing) {
    const auto rects = pills.pillRects();
    const auto separators = pills.separatorRects();
    ASSERT_EQ(rects.size(), 5);
    ASSERT_EQ(separators.size(), 1);
    for (const QRectF& r : rects)
        EXPECT_EQ(r.height(), 22);
    EXPECT_EQ(rects[1].left() - rects[0].right(), 3);
    // Spacing, padding, the 1-point line, padding, spacing.
    EXPECT_EQ(rects[3].left() - rects[2].right(), 3 + 4 + 1 + 4 + 3);
    EXPECT_EQ(separators[0].size(), QSizeF(1, 14));
    EXPECT_EQ(separators[0].left(), rects[2].right() + 3 + 4);
    EXPECT_EQ(pills.sizeHint(), QSize(int(rects[4].right() - rects[0].left()), 22));

    SegmentedPills empty({}, {});
    EXPECT_EQ(empty.sizeHint().width(), 0);
    EXPECT_TRUE(empty.pillRects().isEmpty());
    SegmentedPills withEmptyGroup({{E::entry(1, "A")}, {}, {E::entry(2, "B")}}, {});
    EXPECT_EQ(withEmptyGroup.separatorRects().size(), 2);
    SegmentedPills single({{E::entry(1, "A"), E::entry(2, "B")}}, {});
    EXPECT_TRUE(single.separatorRects().isEmpty());
}

TEST_F(PillsTest, SelectedPillIsFilledWithTheGradientAndInkedInItsColour) {
    const QImage light = render(false);
    const auto& p = Theme::light();
    const QPoint spot = paddingSpot(1);
    const qreal t = (spot.y() - pills.pillRects()[1].top() + 0.5) / 22.0;
    const QColor expected = mix(p.segmentSelectedGradient.start, p.segmentSelectedGradient.end, t);
    EXPECT_TRUE(near(light.pixelColor(spot), expected, 4)) << light.pixelColor(spot).name().toStdString();
    EXPECT_EQ(light.pixelColor(paddingSpot(0)), p.bg1);

    const QRect selected = pills.pillRects()[1].toRect();
    const QRect unselected = pills.pillRects()[0].toRect();
    const auto is = [](QColor c) { return [c](QColor px) { return near(px, c, 12); }; };
    EXPECT_GT(countPixels(light, selected, is(p.segmentSelectedText)), 8);
    EXPECT_GT(countPixels(light, unselected, is(p.ink2)), 8);
    EXPECT_EQ(countPixels(light, unselected, is(p.segmentSelectedText)), 0);

    // Dark: the translucent gradient over the backdrop, white ink.
    const QImage dark = render(true);
    const auto& d = Theme::dark();
    const QColor darkExpected =
        over(mix(d.segmentSelectedGradient.start, d.segmentSelectedGradient.end, t), d.bg1);
    EXPECT_TRUE(near(dark.pixelColor(spot), darkExpected, 4)) << dark.pixelColor(spot).name().toStdString();
    EXPECT_GT(countPixels(dark, selected, is(Qt::white)), 8);
    const QRectF sep = pills.separatorRects()[0];
    const QPoint line(int(sep.left()), int(sep.center().y()));
    EXPECT_TRUE(near(dark.pixelColor(line), over(d.line, d.bg1), 2));
    EXPECT_TRUE(near(light.pixelColor(line), over(p.line, p.bg1), 2));
}

TEST_F(PillsTest, HighlightFollowsOptionEquality) {
    pills.setSelection(QVariant::fromValue(View::largest));
    EXPECT_TRUE(pills.isSelected(3));
    EXPECT_FALSE(pills.isSelected(1));
    pills.setSelection(QVariant::fromValue(42));
    for (int i = 0; i < pills.entryCount(); ++i)
        EXPECT_FALSE(pills.isSelected(i));
    const QImage none = render(false);
    for (int i = 0; i < pills.entryCount(); ++i)
        EXPECT_EQ(none.pixelColor(paddingSpot(i)), Theme::light().bg1);

    SegmentedPills twins({{E::entry(7, "One"), E::entry(7, "Same"), E::entry(8, "Other")}},
                         QVariant::fromValue(7));
    EXPECT_TRUE(twins.isSelected(0));
    EXPECT_TRUE(twins.isSelected(1));
    EXPECT_FALSE(twins.isSelected(2));
}

TEST_F(PillsTest, FallsBackToSymbolsWhenTheTitledRowDoesNotFit) {
    const int full = pills.fullWidth();
    pills.resize(full, 22);
    EXPECT_FALSE(pills.isShowingIconOnly());
    pills.resize(full - 1, 22);
    ASSERT_TRUE(pills.isShowingIconOnly());
    const auto rects = pills.pillRects();
    EXPECT_EQ(rects[0].width(), 16 + 2 * 7);
    // An entry without a symbol keeps its title, with the narrow padding.
    EXPECT_GT(rects[3].width(), 30);
    const QImage narrow = renderOver(pills, Theme::light().bg1);
    EXPECT_GT(
        countPixels(narrow, rects[3].toRect(), [](QColor c) { return near(c, Theme::light().ink2, 12); }), 8);
    EXPECT_EQ(pills.minimumSizeHint().width(), pills.iconOnlyWidth());
    EXPECT_LT(pills.iconOnlyWidth(), full);

    pills.resize(full + 40, 22);
    pills.setIconOnly(true);
    EXPECT_TRUE(pills.isShowingIconOnly());
    EXPECT_EQ(pills.sizeHint().width(), pills.iconOnlyWidth());
    // The row is centred in a wider widget.
    EXPECT_NEAR(pills.rowRect().center().x(), pills.width() / 2.0, 1);
    pills.setIconOnly(false);
    pills.setFallsBackToIconOnly(false);
    pills.resize(full - 30, 22);
    EXPECT_FALSE(pills.isShowingIconOnly());
}

TEST_F(PillsTest, ClicksWriteTheSelectionEvenWhenUnchanged) {
    QSignalSpy spy(&pills, &SegmentedPills::optionSelected);
    QTest::mouseClick(&pills, Qt::LeftButton, {}, centre(4));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<View>(), View::kinds);
    EXPECT_EQ(pills.selectionAs<View>(), View::kinds);
    QTest::mouseClick(&pills, Qt::LeftButton, {}, centre(4));
    EXPECT_EQ(spy.count(), 2);

    // Between two pills, and a press dragged off its pill, select nothing.
    const QRectF a = pills.pillRects()[0];
    QTest::mouseClick(&pills, Qt::LeftButton, {}, QPoint(int(a.right()) + 1, int(a.center().y())));
    QTest::mousePress(&pills, Qt::LeftButton, {}, centre(0));
    QTest::mouseRelease(&pills, Qt::LeftButton, {}, centre(2));
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(pills.selectionAs<View>(), View::kinds);
}

TEST_F(PillsTest, KeyboardMovesBetweenPillsAndSelects) {
    EXPECT_EQ(pills.focusPolicy(), Qt::TabFocus);
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&pills, &in);
    EXPECT_EQ(pills.focusedIndex(), 1); // starts on the selection

    QSignalSpy spy(&pills, &SegmentedPills::optionSelected);
    QTest::keyClick(&pills, Qt::Key_Right);
    QTest::keyClick(&pills, Qt::Key_Right);
    EXPECT_EQ(pills.focusedIndex(), 3);
    EXPECT_EQ(spy.count(), 0);
    QTest::keyClick(&pills, Qt::Key_Space);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(pills.selectionAs<View>(), View::largest);
    QTest::keyClick(&pills, Qt::Key_End);
    QTest::keyClick(&pills, Qt::Key_Right);
    EXPECT_EQ(pills.focusedIndex(), 4);
    QTest::keyClick(&pills, Qt::Key_Home);
    QTest::keyClick(&pills, Qt::Key_Left);
    EXPECT_EQ(pills.focusedIndex(), 0);
    QTest::keyClick(&pills, Qt::Key_Return);
    EXPECT_EQ(pills.selectionAs<View>(), View::rings);
}

TEST_F(PillsTest, TooltipsAndAccessibleNamesComeFromTheEntries) {
    EXPECT_EQ(pills.pillToolTip(0), "Rings help");
    EXPECT_EQ(pills.pillToolTip(1), "Treemap");
    EXPECT_TRUE(pills.pillToolTip(9).isEmpty());

    pills.setIconOnly(true);
    QAccessibleInterface* control = QAccessible::queryAccessibleInterface(&pills);
    ASSERT_NE(control, nullptr);
    ASSERT_EQ(control->childCount(), 5);
    EXPECT_EQ(control->child(2)->text(QAccessible::Name), "List");
    EXPECT_TRUE(control->child(1)->state().selected);
    EXPECT_FALSE(control->child(0)->state().selected);
}
