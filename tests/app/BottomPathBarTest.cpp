#include "app/BottomPathBar.hpp"

#include "app/MainTopBar.hpp"
#include "app/state/NavigationHistory.hpp"
#include "scan/ScannableVolume.hpp"
#include "ui/Theme.hpp"
#include "ui/UiTestSupport.hpp"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillmere;
using namespace quillmere::test;

namespace {

// "/" > Users > alice > Projects, as chains from the root.
std::vector<NavigationHistory::Visit> chains() {
    const FolderPath root = FolderPath::root("/");
    const FolderPath users = root.child("Users");
    const FolderPath alice = users.child("alice");
    const FolderPath projects = alice.child("Projects");
    const FileNode projectsNode = FileNode::folder(projects, "Projects", std::nullopt, {});
    const FileNode aliceNode = FileNode::folder(alice, "alice", std::nullopt, {projectsNode});
    const FileNode usersNode = FileNode::folder(users, "Users", std::nullopt, {aliceNode});
    const FileNode rootNode = FileNode::folder(root, "/", std::nullopt, {usersNode});
    return {{rootNode},
            {rootNode, usersNode},
            {rootNode, usersNode, aliceNode},
            {rootNode, usersNode, aliceNode, projectsNode}};
}

class PathBarTest : public ::testing::Test {
protected:
    PathBarTest() : bar(history) {
        bar.setPalette(Theme::qtPalette(false));
        bar.resize(700, BottomPathBar::kHeight);
        bar.show();
    }
    void drill(size_t levels) {
        const auto all = chains();
        history.reset(all[0][0], "Macintosh HD");
        for (size_t depth = 1; depth <= levels; ++depth)
            history.visit(all[depth]);
    }
    void clickCrumb(int index) {
        BreadcrumbView* crumbs = bar.breadcrumb();
        QTest::mouseClick(crumbs, Qt::LeftButton, {}, crumbs->nameRects().at(index).center().toPoint());
    }
    NavigationHistory history;
    BottomPathBar bar;
};

} // namespace

TEST_F(PathBarTest, ButtonsFollowTheHistory) {
    // No visit at all: only the volume's name, nothing to step to.
    EXPECT_FALSE(bar.backButton()->isEnabled());
    EXPECT_FALSE(bar.forwardButton()->isEnabled());
    EXPECT_EQ(bar.breadcrumb()->path(), QStringList{QString::fromStdString(ScannableVolume::startupName())});
    EXPECT_EQ(bar.breadcrumb()->focusPolicy(), Qt::NoFocus);

    history.reset(chains()[0][0], "Data");
    EXPECT_FALSE(bar.backButton()->isEnabled());
    EXPECT_FALSE(bar.forwardButton()->isEnabled());
    EXPECT_EQ(bar.breadcrumb()->path(), QStringList{"Data"});

    drill(2);
    history.goBack();
    EXPECT_TRUE(bar.backButton()->isEnabled());
    EXPECT_TRUE(bar.forwardButton()->isEnabled());
    EXPECT_EQ(bar.breadcrumb()->path(), (QStringList{"Macintosh HD", "Users"}));
    EXPECT_EQ(bar.backButton()->toolTip(), "Back");
    EXPECT_EQ(bar.forwardButton()->toolTip(), "Forward");

    QSignalSpy back(&bar, &BottomPathBar::backRequested);
    QSignalSpy forward(&bar, &BottomPathBar::forwardRequested);
    QTest::mouseClick(bar.backButton(), Qt::LeftButton);
    QTest::mouseClick(bar.forwardButton(), Qt::LeftButton);
    EXPECT_EQ(back.size(), 1);
    EXPECT_EQ(forward.size(), 1);
    history.goForward();
    QTest::mouseClick(bar.forwardButton(), Qt::LeftButton);
    EXPECT_EQ(forward.size(), 1);
}

TEST_F(PathBarTest, CrumbsClimbBackUpButTheLastDoesNothing) {
    drill(2);
    QSignalSpy selected(&bar, &BottomPathBar::crumbSelected);
    ASSERT_EQ(bar.breadcrumb()->nameRects().size(), 3);
    clickCrumb(2);
    EXPECT_TRUE(selected.isEmpty());
    clickCrumb(0);
    clickCrumb(1);
    ASSERT_EQ(selected.size(), 2);
    EXPECT_EQ(selected[0][0].toInt(), 0);
    EXPECT_EQ(selected[1][0].toInt(), 1);
    // A chevron is not part of any crumb.
    const QPoint chevron = bar.breadcrumb()->chevronRects()[0].center().toPoint();
    QTest::mouseClick(bar.breadcrumb(), Qt::LeftButton, {}, chevron);
    EXPECT_EQ(selected.size(), 2);

    QTest::mouseMove(bar.breadcrumb(), bar.breadcrumb()->nameRects()[0].center().toPoint());
    EXPECT_EQ(bar.breadcrumb()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(bar.breadcrumb(), bar.breadcrumb()->nameRects()[2].center().toPoint());
    EXPECT_EQ(bar.breadcrumb()->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(PathBarTest, LastCrumbIsPrimaryTheOthersSecondaryAndDisabledButtonsTertiary) {
    drill(1);
    const auto& p = Theme::light();
    const QImage image = renderOver(bar, p.bg1);
    const QPoint offset = bar.breadcrumb()->pos();
    const auto inkOf = [](QColor ink) { return [ink](QColor c) { return near(c, ink, 10); }; };
    const QRect first = bar.breadcrumb()->nameRects()[0].toRect().translated(offset);
    const QRect last = bar.breadcrumb()->nameRects()[1].toRect().translated(offset);
    EXPECT_GT(countPixels(image, first, inkOf(p.ink2)), 10);
    EXPECT_EQ(countPixels(image, first, inkOf(p.ink)), 0);
    EXPECT_GT(countPixels(image, last, inkOf(p.ink)), 10);
    // The thin chevrons are antialiased: judged by their darkest pixels.
    const auto darkerThan = [](int lightness) {
        return [lightness](QColor c) { return c.lightness() < lightness; };
    };
    EXPECT_GT(countPixels(image, bar.backButton()->geometry(), darkerThan(p.ink3.lightness() - 40)), 3);
    EXPECT_EQ(countPixels(image, bar.forwardButton()->geometry(), darkerThan(p.ink3.lightness() - 4)), 0);
    EXPECT_GT(countPixels(image, bar.forwardButton()->geometry(), darkerThan(p.bg1.lightness() - 40)), 3);
}

TEST_F(PathBarTest, ShortcutsAndKeysStepOnlyWhereTheButtonsWould) {
    drill(3);
    bar.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&bar));
    QSignalSpy back(&bar, &BottomPathBar::backRequested);
    QSignalSpy forward(&bar, &BottomPathBar::forwardRequested);
    QSignalSpy selected(&bar, &BottomPathBar::crumbSelected);
    QTest::keyClick(&bar, Qt::Key_Left, Qt::AltModifier);
    QTest::keyClick(&bar, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(back.size(), 1);
    EXPECT_EQ(forward.size(), 0);
    history.goBack();
    QTest::keyClick(&bar, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(forward.size(), 1);

    // Tab reaches the buttons, then the crumb of the parent folder; arrows move along the crumbs.
    bar.backButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(bar.backButton(), Qt::Key_Space);
    EXPECT_EQ(back.size(), 2);
    QTest::keyClick(bar.backButton(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), bar.forwardButton());
    QTest::keyClick(bar.forwardButton(), Qt::Key_Tab);
    BreadcrumbView* crumbs = bar.breadcrumb();
    ASSERT_EQ(QApplication::focusWidget(), crumbs);
    EXPECT_EQ(crumbs->focusedIndex(), 1);
    QTest::keyClick(crumbs, Qt::Key_Return);
    QTest::keyClick(crumbs, Qt::Key_Left);
    QTest::keyClick(crumbs, Qt::Key_Left);
    QTest::keyClick(crumbs, Qt::Key_Space);
    QTest::keyClick(crumbs, Qt::Key_End);
    QTest::keyClick(crumbs, Qt::Key_Right);
    QTest::keyClick(crumbs, Qt::Key_Enter);
    ASSERT_EQ(selected.size(), 3);
    EXPECT_EQ(selected[0][0].toInt(), 1);
    EXPECT_EQ(selected[1][0].toInt(), 0);
    EXPECT_EQ(selected[2][0].toInt(), 1); // never the folder shown

    bar.hide();
    QTest::keyClick(bar.window(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(back.size(), 2);
}

TEST_F(PathBarTest, LongPathsShortenTheLongestNamesToFitTheBar) {
    const FolderPath root = FolderPath::root("/");
    const std::string longName(80, 'x');
    const FolderPath deep = root.child(longName);
    const FileNode folder = FileNode::folder(deep, longName, std::nullopt, {});
    history.reset(FileNode::folder(root, "/", std::nullopt, {folder}), "Macintosh HD");
    history.visit({history.currentPath()[0], folder});
    bar.resize(360, BottomPathBar::kHeight);
    BreadcrumbView* crumbs = bar.breadcrumb();
    EXPECT_EQ(crumbs->shownName(0), "Macintosh HD");
    EXPECT_TRUE(crumbs->shownName(1).endsWith(QChar(0x2026)));
    EXPECT_LE(crumbs->geometry().right(), bar.width() - BottomPathBar::kPadding);
    EXPECT_LE(crumbs->nameRects().last().right(), crumbs->width());
}
