#include "app/DiskViewSlot.hpp"

#include "app/CenterView.hpp"
#include "app/Placeholders.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"
#include "ui/Motion.hpp"
#include "views/widgets/SunburstView.hpp"
#include "views/widgets/TreemapView.hpp"

#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

FileNode file(const FolderPath& parent, const std::string& name, int64_t size) {
    return FileNode::under(parent, name, NodeFields{.allocatedSize = size, .fileCount = 1});
}

// / holds "docs" (a folder of two files) and "movie".
FileNode diskTree(bool withMovie = true) {
    const FolderPath root = FolderPath::root("/");
    const FolderPath docs = root.child("docs");
    std::vector<FileNode> children{
        FileNode::folder(docs, "docs", std::nullopt, {file(docs, "a.txt", 200), file(docs, "b.txt", 100)})};
    if (withMovie) children.push_back(file(root, "movie", 600));
    return FileNode::folder(root, "/", std::nullopt, std::move(children));
}

struct Screen {
    QTemporaryDir folder;
    AppSettings settings{folder.filePath("settings.ini")};
    NavigationHistory history;
    ScanState scanState{std::nullopt,
                        SnapshotIO{[](ScanSnapshot) {}, [] { return std::optional<ScanSnapshot>(); }}};
    SelectionState selection;
    LaunchOptions options{{"quillmere"}, false};
    CenterView center{ScannableVolume{"/", "Disk", std::string("uuid"), 10'000, 9'000, true, false, true},
                      history,
                      scanState,
                      selection,
                      settings,
                      options};
    Screen() {
        center.resize(1000, 600);
        center.show();
        history.reset(diskTree(), "Disk");
    }
    DiskViewSlot* slot() { return center.findChild<DiskViewSlot*>(); }
    SunburstView* sunburst() { return qobject_cast<SunburstView*>(slot()->view()); }
};

TEST(DiskViewSlot, TheSunburstIsUpdatedInPlaceAndMadeAnewForAnotherFolder) {
    Screen s;
    QPointer<SunburstView> first = s.sunburst();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->inputs().layout.usedBytes, 900);
    EXPECT_EQ(first->inputs().layout.totalCapacityBytes, 10'000);
    EXPECT_FALSE(first->inputs().parentName);

    // A selection and the inset reach the same view.
    s.selection.setSelectedNode(*diskTree().find("/movie"));
    s.center.setDetailsPanelInset(334);
    EXPECT_EQ(s.sunburst(), first);
    EXPECT_EQ(first->inputs().selectedPath, "/movie");
    EXPECT_EQ(first->inputs().detailsPanelInset, 334);
    // The sunburst places itself: it keeps the whole width.
    EXPECT_EQ(first->width(), 1000);

    // A deletion keeps the view and lets the fall animate.
    s.history.remap(diskTree(false));
    EXPECT_EQ(s.sunburst(), first);
    EXPECT_EQ(first->inputs().layout.usedBytes, 300);

    // Opening a folder makes a new view one level down; going up another one.
    s.center.openFolder({*diskTree(false).find("/docs")});
    SunburstView* down = s.sunburst();
    EXPECT_NE(down, first.data());
    EXPECT_EQ(down->inputs().parentName, "Disk");
    EXPECT_FALSE(down->isTransitionRunning()); // a drill-down does not glide
    EXPECT_EQ(down->inputs().layout.totalCapacityBytes, 300);
    EXPECT_FALSE(s.selection.selectedNode());
    s.center.goUp();
    EXPECT_NE(s.sunburst(), down);
    EXPECT_FALSE(s.sunburst()->inputs().parentName);
}

TEST(DiskViewSlot, OtherViewsArePaddedByThePanelTheRingsPlaceThemselves) {
    Screen s;
    s.settings.setDiskViewMode(DiskViewMode::treemap);
    auto* treemap = qobject_cast<TreemapView*>(s.slot()->view());
    ASSERT_TRUE(treemap);
    s.center.setDetailsPanelInset(334);
    // The padding eases in: its end is waited for, however late a busy machine draws it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return treemap->width() == 1000 - 334; }, 20000)) << treemap->width();
    s.settings.setDiskViewMode(DiskViewMode::sunburst);
    QPointer<SunburstView> rings = s.sunburst();
    ASSERT_TRUE(rings);
    EXPECT_EQ(rings->inputs().detailsPanelInset, 334);
    // The padding eases out again, from the treemap's width to the whole page.
    EXPECT_TRUE(QTest::qWaitFor([&] { return rings && rings->width() == 1000; }, 20000));
    ASSERT_TRUE(rings);
    EXPECT_EQ(rings->inputs().detailsPanelInset, 334);
}

// A navigation step brings the next folder in with the transition while the old view leaves;
// a finished scan or another mode replaces the view at once, leaving nothing behind.
TEST(DiskViewSlot, OnlyANavigationStepBringsTheNewViewInWithTheTransition) {
    Screen s;
    if (prefersReducedMotion()) GTEST_SKIP() << "this desktop asks for reduced motion";
    const auto views = [&] { return s.slot()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(); };
    const auto settled = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return views();
    };
    // The scan's tree, shown when the history was reset: no transition.
    EXPECT_FALSE(s.slot()->view()->graphicsEffect());

    s.settings.setDiskViewMode(DiskViewMode::treemap);
    ASSERT_TRUE(qobject_cast<TreemapView*>(s.slot()->view()));
    EXPECT_FALSE(s.slot()->view()->graphicsEffect());
    EXPECT_EQ(settled(), 1);

    s.center.openFolder({*diskTree().find("/docs")});
    QPointer<QWidget> entering = s.slot()->view();
    EXPECT_TRUE(entering->graphicsEffect());
    EXPECT_EQ(settled(), 2); // the old view leaves with it

    // A scan finishing meanwhile shows its root at once; the view that was entering goes too.
    s.history.reset(diskTree(), "Disk");
    EXPECT_FALSE(s.slot()->view()->graphicsEffect());
    EXPECT_NE(s.slot()->view(), entering.data());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(entering);

    // Back is a step too.
    s.center.openFolder({*diskTree().find("/docs")});
    s.history.goBack();
    EXPECT_EQ(s.slot()->identity(), QString("TreemapView\n/")); // the root again
    EXPECT_TRUE(s.slot()->view()->graphicsEffect());
}

TEST(DiskViewSlot, AViewReturningAfterTheStartScreenIsNew) {
    DiskViewSlot slot;
    slot.resize(400, 300);
    slot.setMotionDuration([](int) { return 0; });
    int made = 0;
    int updated = 0;
    const auto make = [&] {
        ++made;
        return new QWidget;
    };
    const auto update = [&](QWidget*) { ++updated; };
    slot.present("a", make, update);
    slot.present("a", make, update);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(updated, 1);
    slot.forget();
    slot.present("a", make, update);
    slot.present("b", make, update);
    EXPECT_EQ(made, 3);
    EXPECT_EQ(slot.identity(), "b");
    EXPECT_EQ(slot.view()->geometry(), QRect(0, 0, 400, 300));
}

} // namespace
} // namespace quillmere
