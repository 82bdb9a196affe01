#include "reclaim/SheetTestSupport.hpp"
#include "reclaim/view/DeleteConfirmationSheet.hpp"
#include "reclaim/view/DeleteSteps.hpp"
#include "reclaim/view/ScrollingBox.hpp"
#include "reclaim/view/SheetControls.hpp"
#include "systemdata/ReclaimerTestSupport.hpp"
#include "ui/WrappingLabel.hpp"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <future>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using namespace testing;

struct Finished {
    int calls = 0;
    std::optional<FileNode> newRoot;
    std::optional<Reclaimer::Outcome> outcome;
    DeleteConfirmationSheet::OnFinished callback() {
        return [this](std::optional<FileNode> root, const Reclaimer::Outcome& o) {
            ++calls;
            newRoot = std::move(root);
            outcome = o;
        };
    }
};

bool waitForResult(DeleteConfirmationSheet& sheet) {
    if (sheet.outcome()) return true;
    QEventLoop loop;
    QObject::connect(&sheet, &DeleteConfirmationSheet::workFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return sheet.outcome().has_value();
}

void press(QWidget& widget, int key) {
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&widget, &down);
}

FileNode scratchTree(const ReclaimFixture& fixture) {
    writeFile(fixture / "disk/keep.txt", 100);
    writeFile(fixture / "disk/old/a.bin", 5000);
    return folder(fixture / "disk", {file(fixture / "disk/keep.txt", 4096),
                                     folder(fixture / "disk/old", {file(fixture / "disk/old/a.bin", 8192)})});
}

TEST(DeleteSheetFlow, ConfirmMovesTheNodeAndDoneHandsOverTheRebuiltTreeOnce) {
    ReclaimFixture fixture;
    const FileNode root = scratchTree(fixture);
    Finished finished;
    DeleteConfirmationSheet sheet(ReclaimTarget::node(*root.find(fixture / "disk/old")), root,
                                  finished.callback(), [&] { return fixture.reclaimer(); });
    sheet.show();
    press(sheet, Qt::Key_Return);
    EXPECT_TRUE(sheet.isWorking() || sheet.outcome());
    ASSERT_TRUE(waitForResult(sheet));
    EXPECT_FALSE(sheet.isWorking());
    EXPECT_TRUE(fixture.inTrash("old"));
    ASSERT_TRUE(sheet.resultView());
    EXPECT_FALSE(sheet.resultView()->failed());
    EXPECT_EQ(finished.calls, 0); // nothing reaches the presenter before Done
    press(sheet, Qt::Key_Return);
    EXPECT_EQ(finished.calls, 1);
    ASSERT_TRUE(finished.newRoot);
    EXPECT_FALSE(finished.newRoot->find(fixture / "disk/old"));
    EXPECT_TRUE(finished.newRoot->find(fixture / "disk/keep.txt"));
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    sheet.close();
    sheet.finishWithResult();
    EXPECT_EQ(finished.calls, 1);
}

TEST(DeleteSheetFlow, CancelAndEscapeTouchNothingAndNeverFinish) {
    ReclaimFixture fixture;
    const FileNode root = scratchTree(fixture);
    for (const bool byKey : {false, true}) {
        Finished finished;
        DeleteConfirmationSheet sheet(ReclaimTarget::node(*root.find(fixture / "disk/old")), root,
                                      finished.callback(), [&] { return fixture.reclaimer(); });
        sheet.show();
        if (byKey)
            press(sheet, Qt::Key_Escape);
        else
            sheet.confirmView()->cancelButton()->click();
        EXPECT_FALSE(sheet.isVisible());
        EXPECT_EQ(sheet.result(), QDialog::Rejected);
        EXPECT_EQ(finished.calls, 0);
        EXPECT_FALSE(sheet.outcome());
    }
    EXPECT_TRUE(exists(fixture / "disk/old/a.bin"));
    EXPECT_TRUE(fixture.files->moved.empty());
}

TEST(DeleteSheetFlow, WhileWorkingKeysAndCloseRequestsAreIgnoredAndAfterwardsCloseIsDone) {
    ReclaimFixture fixture;
    const FileNode root = scratchTree(fixture);
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    fixture.files->beforeMove = [&](const std::string&) {
        entered.set_value();
        released.wait();
    };
    Finished finished;
    DeleteConfirmationSheet sheet(ReclaimTarget::node(*root.find(fixture / "disk/old")), root,
                                  finished.callback(), [&] { return fixture.reclaimer(); });
    sheet.show();
    sheet.confirm();
    entered.get_future().wait();
    EXPECT_TRUE(sheet.isWorking());
    EXPECT_FALSE(sheet.confirmView()->confirmButton()->isEnabled());
    EXPECT_TRUE(sheet.confirmView()->spinner()->isTurning());
    EXPECT_FALSE(sheet.confirmView()->cancelButton()->isEnabled());
    press(sheet, Qt::Key_Escape);
    press(sheet, Qt::Key_Return);
    sheet.close();
    sheet.reject();
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_TRUE(sheet.confirmView());
    EXPECT_EQ(finished.calls, 0);
    release.set_value();
    ASSERT_TRUE(waitForResult(sheet));
    sheet.close(); // the window manager's close button on the result step acts as Done
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(finished.calls, 1);
    EXPECT_TRUE(finished.newRoot);
}

TEST(DeleteSheetFlow, AProtectedNodeEndsWithItsReasonUnderTheFailureHeadline) {
    ReclaimFixture fixture;
    makeFolder(fixture / "home");
    const FileNode home = folder(fixture / "home", {});
    Finished finished;
    DeleteConfirmationSheet sheet(ReclaimTarget::node(home), home, finished.callback(),
                                  [&] { return fixture.reclaimer(); });
    sheet.show();
    sheet.confirm();
    ASSERT_TRUE(waitForResult(sheet));
    DeleteResultView* result = sheet.resultView();
    ASSERT_TRUE(result && result->failures());
    EXPECT_EQ(result->headline()->text(), "Couldn't move \u201chome\u201d to the Trash");
    const auto lines = result->failures()->content()->findChildren<WrappingLabel*>();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0]->text(), "home: protected \u2014 Quillmere will never remove this");
    EXPECT_TRUE(exists(fixture / "home"));
    result->doneButton()->click();
    EXPECT_EQ(finished.calls, 1);
    EXPECT_FALSE(finished.newRoot); // nothing succeeded
}

TEST(DeleteSheetFlow, OtherTargetsNeverProduceANewRoot) {
    ReclaimFixture fixture;
    writeFile(fixture / "cache/one", 10);
    OrphanLeftoverGroup group;
    group.evidence = "gone";
    const OrphanEntry entry = orphan("cache", fixture / "cache", 4096);
    group.entries = {entry};
    Finished finished;
    DeleteConfirmationSheet sheet(ReclaimTarget::orphanGroup(group, {entry.path}), folder(fixture / "x", {}),
                                  finished.callback(), [&] { return fixture.reclaimer(); });
    sheet.show();
    sheet.confirm();
    ASSERT_TRUE(waitForResult(sheet));
    ASSERT_EQ(sheet.outcome()->succeeded.size(), 1u);
    sheet.finishWithResult();
    EXPECT_EQ(finished.calls, 1);
    EXPECT_FALSE(finished.newRoot);
    EXPECT_TRUE(fixture.inTrash("cache"));
}

} // namespace
} // namespace quillmere
