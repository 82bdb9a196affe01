#include "app/MainTopBar.hpp"

#include "ui/UiTestSupport.hpp"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillmere;
using namespace quillmere::test;

namespace {

TopBarInputs onDiskWithTree() {
    return TopBarInputs{.selection = AppSection::macintoshHD,
                        .sectionsReachable = true,
                        .hasNodeSelected = false,
                        .canChooseAnotherDisk = true,
                        .hasTree = true};
}

class TopBarTest : public ::testing::Test {
protected:
    TopBarTest() {
        bar.setPalette(Theme::qtPalette(false));
        bar.setSectionsReachable(true);
        bar.setHasTree(true);
        bar.setCanChooseAnotherDisk(true);
        bar.resize(980, MainTopBar::kHeight);
        // A hidden widget is laid out only once shown.
        bar.show();
    }
    void showActive() {
        bar.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&bar));
    }
    static QPoint centreOf(const QWidget* w) { return w->rect().center(); }
    MainTopBar bar;
};

} // namespace

TEST(TopBarContentTest, ShowsEachControlOnlyUnderItsCondition) {
    const TopBarContent full = topBarContent(onDiskWithTree());
    EXPECT_EQ(full, (TopBarContent{true, true, true, true, false, true}));

    TopBarInputs in = onDiskWithTree();
    in.isScanning = true;
    EXPECT_EQ(topBarContent(in), TopBarContent{});
    in = onDiskWithTree();
    in.sectionsReachable = false;
    EXPECT_EQ(topBarContent(in), TopBarContent{});

    in = onDiskWithTree();
    in.canChooseAnotherDisk = false;
    EXPECT_FALSE(topBarContent(in).chooseAnotherDisk);
    in.hasNodeSelected = true;
    EXPECT_TRUE(topBarContent(in).detailsPanel);
    in.hasTree = false;
    EXPECT_FALSE(topBarContent(in).viewModeSwitcher);
    EXPECT_TRUE(topBarContent(in).rescan && topBarContent(in).settings && topBarContent(in).tabs);

    for (AppSection other : {AppSection::systemData, AppSection::applications}) {
        in = onDiskWithTree();
        in.hasNodeSelected = true;
        in.selection = other;
        EXPECT_FALSE(topBarContent(in).detailsPanel);
        EXPECT_FALSE(topBarContent(in).viewModeSwitcher);
        EXPECT_TRUE(topBarContent(in).chooseAnotherDisk);
    }
}

TEST(TopBarRowTest, TheSwitcherGivesUpItsTitlesFirstThenTheTabsAndNothingIsCut) {
    const TopBarRowWidths widths{.tabs = 300,
                                 .tabsIconOnly = 120,
                                 .hasSwitcher = true,
                                 .switcherFull = 520,
                                 .switcherIconOnly = 200,
                                 .buttons = 106};
    // Tabs, gap, switcher, gap, buttons: four spacings of 14 and two gaps of 12, 20 on each side.
    const qreal fullFits = 20 + 300 + 4 * 14 + 2 * 12 + 520 + 106 + 20;
    const TopBarRow wide = layoutTopBarRow(fullFits, widths);
    EXPECT_FALSE(wide.switcherIconOnly);
    EXPECT_FALSE(wide.tabsIconOnly);
    EXPECT_EQ(wide.tabsLeft, 20);
    EXPECT_EQ(wide.tabsWidth, 300);
    EXPECT_EQ(wide.switcherWidth, 520);
    EXPECT_EQ(wide.switcherLeft, 20 + 300 + 14 + 12 + 14);
    EXPECT_EQ(wide.buttonsLeft, fullFits - 20 - 106);
    EXPECT_TRUE(layoutTopBarRow(fullFits - 1, widths).switcherIconOnly);

    // Room beyond the minimum is shared by the two gaps.
    EXPECT_EQ(layoutTopBarRow(fullFits + 100, widths).switcherWidth, 620);

    // The symbol-only switcher keeps the titled tabs while they fit whole beside it...
    const qreal iconFits = fullFits - 320;
    const TopBarRow tight = layoutTopBarRow(iconFits, widths);
    EXPECT_TRUE(tight.switcherIconOnly);
    EXPECT_FALSE(tight.tabsIconOnly);
    EXPECT_EQ(tight.tabsWidth, 300);
    EXPECT_EQ(tight.switcherWidth, 200);
    // ...and one point less shows the tabs' symbols alone rather than a cut title.
    const TopBarRow cramped = layoutTopBarRow(iconFits - 1, widths);
    EXPECT_TRUE(cramped.tabsIconOnly);
    EXPECT_EQ(cramped.tabsWidth, 120);
    EXPECT_TRUE(cramped.switcherIconOnly); // with the tabs that small the titled one still does not fit

    // Without a switcher the tabs keep their titles as long as they fit.
    const TopBarRowWidths noSwitcher{.tabs = 300, .tabsIconOnly = 120, .buttons = 106};
    EXPECT_FALSE(layoutTopBarRow(20 + 300 + 3 * 14 + 2 * 12 + 106 + 20, noSwitcher).tabsIconOnly);
    EXPECT_TRUE(layoutTopBarRow(20 + 300 + 3 * 14 + 2 * 12 + 106 + 19, noSwitcher).tabsIconOnly);

    const TopBarRow empty = layoutTopBarRow(760, TopBarRowWidths{});
    EXPECT_EQ(empty.switcherWidth, 0);
    EXPECT_EQ(empty.tabsWidth, 0);
}

TEST(TopBarRowTest, CapWidthsShortensTheLongestFirst) {
    EXPECT_EQ(capWidths({10, 50, 40}, 200, 5), (std::vector<qreal>{10, 50, 40}));
    EXPECT_EQ(capWidths({10, 50, 40}, 80, 5), (std::vector<qreal>{10, 35, 35}));
    EXPECT_EQ(capWidths({10, 50, 40}, 10, 20), (std::vector<qreal>{10, 20, 20}));
    EXPECT_TRUE(capWidths({}, 0, 5).empty());
}

TEST_F(TopBarTest, TabTitlesAreWholeAt760OrTheTabsShowSymbolsAlone) {
    // One disk, a node selected: the titled tabs fit beside the symbol-only switcher.
    bar.setCanChooseAnotherDisk(false);
    bar.setHasNodeSelected(true);
    bar.resize(760, MainTopBar::kHeight);
    EXPECT_FALSE(bar.tabs()->isIconOnly());
    EXPECT_TRUE(bar.viewModeSwitcher()->isShowingIconOnly());
    for (AppSection section : {AppSection::macintoshHD, AppSection::systemData, AppSection::applications}) {
        const QAbstractButton* tab = bar.tabs()->tab(section);
        EXPECT_GE(tab->width(), tab->sizeHint().width());
        EXPECT_LE(tab->geometry().right(), bar.tabs()->width());
    }
    EXPECT_LE(bar.tabs()->geometry().right(), bar.viewModeSwitcher()->geometry().left());
    // With a fourth button there is no room for the titles: symbols alone, nothing overlapping.
    bar.setCanChooseAnotherDisk(true);
    EXPECT_TRUE(bar.tabs()->isIconOnly());
    EXPECT_LE(bar.tabs()->geometry().right(), bar.viewModeSwitcher()->geometry().left());
    EXPECT_LE(bar.viewModeSwitcher()->geometry().right(), bar.chooseAnotherDiskButton()->x());
    // Wide enough, both show their titles.
    bar.resize(1100, MainTopBar::kHeight);
    EXPECT_FALSE(bar.tabs()->isIconOnly());
    EXPECT_FALSE(bar.viewModeSwitcher()->isShowingIconOnly());
}

TEST_F(TopBarTest, ShowsButtonsInOrderAndKeepsItsHeightWhileScanning) {
    bar.setHasNodeSelected(true);
    const QList<QWidget*> order{bar.chooseAnotherDiskButton(), bar.rescanButton(), bar.detailsButton(),
                                bar.settingsButton()};
    for (int i = 0; i < order.size(); ++i) {
        ASSERT_FALSE(order[i]->isHidden());
        if (i > 0) {
            EXPECT_EQ(order[i]->x() - order[i - 1]->x(), 26 + 14);
        }
    }
    EXPECT_EQ(bar.settingsButton()->geometry().right() + 1, 980 - 20);
    EXPECT_EQ(bar.settingsButton()->y(), 52 - 10 - 32 + 3);
    EXPECT_EQ(bar.tabs()->x(), 20);
    EXPECT_EQ(bar.chooseAnotherDiskButton()->toolTip(), "Choose another disk");
    EXPECT_EQ(bar.detailsButton()->toolTip(), "Show or hide the details");
    EXPECT_EQ(bar.tabs()->tab(AppSection::systemData)->toolTip(), "System Data");

    bar.setCanChooseAnotherDisk(false);
    EXPECT_TRUE(bar.chooseAnotherDiskButton()->isHidden());
    bar.setIsScanning(true);
    for (QWidget* child : bar.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_TRUE(child->isHidden());
    EXPECT_EQ(bar.sizeHint().height(), MainTopBar::kHeight);
}

TEST_F(TopBarTest, SwitcherFallsBackToSymbolsWhenNarrowAndKeepsTheMode) {
    bar.setViewMode(DiskViewMode::byKind);
    bar.resize(1200, MainTopBar::kHeight);
    SegmentedPills* pills = bar.viewModeSwitcher();
    EXPECT_FALSE(pills->isShowingIconOnly());
    EXPECT_TRUE(pills->isSelected(4));
    bar.resize(760, MainTopBar::kHeight);
    EXPECT_TRUE(pills->isShowingIconOnly());
    EXPECT_TRUE(pills->isSelected(4));
    // Nothing overlaps at the window's minimum width.
    EXPECT_LE(bar.tabs()->geometry().right(), pills->geometry().left());
    EXPECT_LE(pills->rowRect().translated(pills->pos()).right(), bar.chooseAnotherDiskButton()->x());

    // The help texts carry an em dash and plain apostrophes.
    EXPECT_EQ(pills->pillToolTip(5),
              QString::fromUtf8("Untouched — the biggest files that haven't changed in years"));
}

TEST_F(TopBarTest, ClicksComeOutAsSignalsAndTabsMoveTheSelection) {
    showActive();
    QSignalSpy sections(&bar, &MainTopBar::sectionSelected);
    QSignalSpy modes(&bar, &MainTopBar::viewModeSelected);
    QSignalSpy choose(&bar, &MainTopBar::chooseAnotherDiskRequested);
    QSignalSpy rescan(&bar, &MainTopBar::rescanRequested);
    QSignalSpy settings(&bar, &MainTopBar::openSettingsRequested);

    QTest::mouseClick(bar.chooseAnotherDiskButton(), Qt::LeftButton, {},
                      centreOf(bar.chooseAnotherDiskButton()));
    QTest::mouseClick(bar.rescanButton(), Qt::LeftButton, {}, centreOf(bar.rescanButton()));
    QTest::mouseClick(bar.settingsButton(), Qt::LeftButton, {}, centreOf(bar.settingsButton()));
    EXPECT_EQ(choose.size(), 1);
    EXPECT_EQ(rescan.size(), 1);
    EXPECT_EQ(settings.size(), 1);

    SegmentedPills* pills = bar.viewModeSwitcher();
    QTest::mouseClick(pills, Qt::LeftButton, {}, pills->pillRects()[2].center().toPoint());
    ASSERT_EQ(modes.size(), 1);
    EXPECT_EQ(modes[0][0].value<DiskViewMode>(), DiskViewMode::list);
    EXPECT_EQ(bar.viewMode(), DiskViewMode::list);

    QAbstractButton* systemData = bar.tabs()->tab(AppSection::systemData);
    QTest::mouseClick(systemData, Qt::LeftButton, {}, centreOf(systemData));
    ASSERT_EQ(sections.size(), 1);
    EXPECT_EQ(sections[0][0].value<AppSection>(), AppSection::systemData);
    EXPECT_TRUE(systemData->isChecked());
    EXPECT_FALSE(bar.tabs()->tab(AppSection::macintoshHD)->isChecked());
    // Off the disk map the switcher goes, and clicks went to no other control.
    EXPECT_TRUE(pills->isHidden());
    EXPECT_EQ(choose.size() + rescan.size() + settings.size(), 3);
}

TEST_F(TopBarTest, KeyboardReachesAndOperatesEveryControlWithARingOnlyForTheKeyboard) {
    bar.setHasNodeSelected(true);
    showActive();
    QSignalSpy sections(&bar, &MainTopBar::sectionSelected);
    QSignalSpy toggles(&bar, &MainTopBar::toggleInspectorRequested);

    // Tab order: three tabs, the switcher, four buttons, starting over after the last.
    bar.settingsButton()->setFocus(Qt::TabFocusReason);
    QList<QWidget*> reached;
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget();
    }
    const QList<QWidget*> expected{bar.tabs()->tab(AppSection::macintoshHD),
                                   bar.tabs()->tab(AppSection::systemData),
                                   bar.tabs()->tab(AppSection::applications),
                                   bar.viewModeSwitcher(),
                                   bar.chooseAnotherDiskButton(),
                                   bar.rescanButton(),
                                   bar.detailsButton(),
                                   bar.settingsButton()};
    EXPECT_EQ(reached, expected);

    QTest::keyClick(bar.detailsButton(), Qt::Key_Return);
    QTest::keyClick(bar.detailsButton(), Qt::Key_Space);
    EXPECT_EQ(toggles.size(), 2);

    QAbstractButton* apps = bar.tabs()->tab(AppSection::applications);
    apps->setFocus(Qt::TabFocusReason);
    const auto& p = Theme::light();
    const QColor ring = over(
        [] {
            QColor c = Theme::accent(false);
            c.setAlphaF(0.85f);
            return c;
        }(),
        p.bg1);
    const QRect edge(apps->geometry().left(), apps->geometry().top() + 8, 2, 6);
    const auto isRing = [&](QColor c) { return near(c, ring, 10); };
    EXPECT_GT(countPixels(renderOver(bar, p.bg1), edge.translated(bar.tabs()->pos()), isRing), 4);

    QTest::keyClick(apps, Qt::Key_Space);
    ASSERT_EQ(sections.size(), 1);
    EXPECT_EQ(sections[0][0].value<AppSection>(), AppSection::applications);

    // After a click the window no longer shows keyboard focus.
    QTest::mouseClick(bar.rescanButton(), Qt::LeftButton, {}, centreOf(bar.rescanButton()));
    EXPECT_EQ(countPixels(renderOver(bar, p.bg1), edge.translated(bar.tabs()->pos()), isRing), 0);
}

TEST_F(TopBarTest, SelectedTabSitsOnThePillGradientInItsInk) {
    const QImage image = renderOver(bar, Theme::light().bg1);
    const auto& p = Theme::light();
    const QRect selected = bar.tabs()->tab(AppSection::macintoshHD)->geometry().translated(bar.tabs()->pos());
    const QRect other = bar.tabs()->tab(AppSection::systemData)->geometry().translated(bar.tabs()->pos());
    const QPoint padding(selected.left() + 4, selected.center().y());
    EXPECT_TRUE(near(image.pixelColor(padding),
                     mix(p.segmentSelectedGradient.start, p.segmentSelectedGradient.end, 0.5), 12));
    EXPECT_EQ(image.pixelColor(QPoint(other.left() + 4, other.center().y())), p.bg1);
    const auto inkOf = [](QColor ink) { return [ink](QColor c) { return near(c, ink, 12); }; };
    EXPECT_GT(countPixels(image, selected, inkOf(p.segmentSelectedText)), 20);
    EXPECT_GT(countPixels(image, other, inkOf(p.ink2)), 20);
    const QRect rescan = bar.rescanButton()->geometry();
    EXPECT_GT(countPixels(image, rescan, inkOf(p.ink)), 10);
}
