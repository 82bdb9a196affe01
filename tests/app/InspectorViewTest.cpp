#include "app/InspectorView.hpp"

#include "app/InspectorWidgets.hpp"
#include "app/state/SelectionState.hpp"
#include "views/ViewsTestSupport.hpp"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using views::test::aggregate;
using views::test::file;

FileNode folderNode(const std::string& path, std::vector<FileNode> children) {
    const auto totals = FileNode::folderTotals(children);
    const auto slash = path.find_last_of('/');
    return FileNode(path.substr(slash + 1), path, true, false, totals.allocatedSize, false, false,
                    totals.cloudOnlyCount, false, totals.folderCount, totals.fileCount, 0, 1.6e9,
                    std::move(children));
}

class FakePanel : public views::PreviewPanel {
public:
    int fronts = 0;
    void setDataSource(const views::QuickLookCoordinator*) override {}
    void makeKeyAndOrderFront() override { ++fronts; }
    void reloadData() override {}
};

struct Harness {
    SelectionState selection;
    std::set<std::string> protectedPaths;
    std::vector<std::string> revealed;
    std::vector<std::string> opened;
    int deletes = 0;
    FakePanel panel;
    QWidget window;
    InspectorView* view;

    Harness() {
        InspectorView::Services services;
        services.isProtectedPath = [this](const std::string& path) { return protectedPaths.contains(path); };
        services.lookups = {[](const std::string&) { return std::optional<std::string>("folder"); },
                            [](const std::string&) { return std::optional<std::string>("root"); },
                            [](Date) { return std::string("Sep 13, 2020, 12:26 PM"); }};
        services.reveal = [this](const std::string& path) { revealed.push_back(path); };
        services.previewPanel = [this] { return &panel; };
        view = new InspectorView(
            selection, std::move(services),
            {[this] { ++deletes; }, [this](const FileNode& node) { opened.push_back(node.path()); }},
            &window);
        view->resize(334, 700);
        window.resize(400, 720);
    }
};

FileNode movies() {
    return folderNode("/home/ann/Movies",
                      {folderNode("/home/ann/Movies/Clips", {file("/home/ann/Movies/Clips/a.mov", 600)}),
                       aggregate("/home/ann/Movies/small", 100), file("/home/ann/Movies/b.mov", 300),
                       file("/home/ann/Movies/empty", 0)});
}

TEST(InspectorView, NothingSelectedShowsThePlaceholderAndADisabledBar) {
    Harness h;
    EXPECT_TRUE(h.view->shownTexts().contains("Nothing selected"));
    EXPECT_TRUE(h.view->shownTexts().contains("Click a wedge or a row to see what's inside it."));
    EXPECT_FALSE(h.view->actionBar()->isEnabled());
    EXPECT_FALSE(h.view->quickLookButton()->isEnabled());
    EXPECT_EQ(h.view->deleteButton(), nullptr);
    h.view->revealSelection();
    h.view->quickLookSelection();
    EXPECT_TRUE(h.revealed.empty());
    EXPECT_EQ(h.panel.fronts, 0);
}

// Counts the columns the view puts up: each build adds one child widget to it.
class ColumnCounter : public QObject {
public:
    int columns = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ChildAdded && static_cast<QChildEvent*>(event)->child()->isWidgetType())
            ++columns;
        return false;
    }
};

TEST(InspectorView, ChangesMadeTogetherBuildTheColumnOnceAndAReaderSeesTheLatest) {
    Harness h;
    ColumnCounter counter;
    h.view->installEventFilter(&counter);
    // A double click: the first click selects, the second opens the folder and clears it.
    h.selection.setSelectedNode(movies());
    h.view->setTotalUsedBytes(5000);
    h.selection.setSelectedNode(std::nullopt);
    EXPECT_EQ(counter.columns, 0);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(counter.columns, 1);
    EXPECT_TRUE(h.view->shownTexts().contains("Nothing selected"));

    // Read before the event loop comes round: the column is built for the reader, and only once.
    h.selection.setSelectedNode(movies());
    EXPECT_TRUE(h.view->shownTexts().contains("DETAILS"));
    ASSERT_NE(h.view->deleteButton(), nullptr);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(counter.columns, 2);
}

TEST(InspectorView, AProtectedFolderIsExplainedAndOffersNoDelete) {
    Harness h;
    h.protectedPaths.insert("/home/ann/Movies");
    h.selection.setSelectedNode(movies());
    const QStringList texts = h.view->shownTexts();
    const auto at = [&](const QString& text) { return texts.indexOf(text); };
    ASSERT_GE(at("ABOUT THIS"), 0) << texts.join(" | ").toStdString();
    EXPECT_LT(
        at("Linux lives here. You can look at every byte of it. Quillmere will not delete any of it, and "
           "there's no setting that changes that."),
        at("ABOUT THIS"));
    EXPECT_LT(at("ABOUT THIS"), at("Kind"));
    EXPECT_EQ(at("Kind") + 1, at("folder"));
    EXPECT_EQ(at("Owner") + 1, at("root"));
    EXPECT_LT(at("Owner"), at("INSIDE"));
    EXPECT_EQ(at("Modified"), -1);
    EXPECT_EQ(h.view->deleteButton(), nullptr);
    EXPECT_TRUE(h.view->actionBar()->isEnabled());
}

TEST(InspectorView, AnOrdinaryFolderShowsDetailsContentsAndDelete) {
    Harness h;
    h.selection.setSelectedNode(movies());
    const QStringList texts = h.view->shownTexts();
    EXPECT_TRUE(texts.contains("DETAILS"));
    EXPECT_TRUE(texts.contains("Modified"));
    EXPECT_TRUE(texts.contains("Sep 13, 2020, 12:26 PM"));
    EXPECT_TRUE(texts.contains("/home/ann/Movies"));
    EXPECT_TRUE(texts.contains("1 folder \u00b7 6 files")) << texts.join(" | ").toStdString();
    ASSERT_NE(h.view->deleteButton(), nullptr);
    EXPECT_EQ(h.view->deleteButton()->text(), "Delete \u201cMovies\u201d\u2026");
    h.view->deleteButton()->click();
    EXPECT_EQ(h.deletes, 1);

    // Inside: by size, empty children left out; only the folder row opens.
    const auto rows = h.view->contentsRows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0]->row().node.path(), "/home/ann/Movies/Clips");
    EXPECT_EQ(rows[0]->toolTip(), "Open Clips");
    EXPECT_EQ(rows[2]->row().node.path(), "/home/ann/Movies/small");
    rows[1]->click();
    rows[2]->click();
    EXPECT_TRUE(h.opened.empty());
    rows[0]->click();
    EXPECT_EQ(h.opened, std::vector<std::string>{"/home/ann/Movies/Clips"});

    h.view->revealSelection();
    EXPECT_EQ(h.revealed, std::vector<std::string>{"/home/ann/Movies"});
}

TEST(InspectorView, CloudOnlyItemsAreExplainedEachTimeAndNeverPreviewed) {
    Harness h;
    h.window.show();
    h.selection.setSelectedNode(file("/home/ann/cloud.txt", 0, false, true));
    h.view->quickLookSelection();
    ASSERT_TRUE(h.view->isShowingCloudOnlyNotice());
    QMessageBox* notice = h.view->cloudOnlyNotice();
    EXPECT_EQ(notice->text(), "Quillmere can't preview it without downloading it first, so it won't.");
    EXPECT_EQ(notice->windowModality(), Qt::WindowModal);
    ASSERT_EQ(notice->buttons().size(), 1);
    EXPECT_EQ(notice->buttonRole(notice->buttons().first()), QMessageBox::RejectRole);
    notice->buttons().first()->click();
    QApplication::processEvents();
    EXPECT_FALSE(h.view->isShowingCloudOnlyNotice());
    h.view->quickLookSelection();
    EXPECT_TRUE(h.view->isShowingCloudOnlyNotice());
    EXPECT_EQ(h.panel.fronts, 0);
    EXPECT_EQ(h.view->quickLook().numberOfPreviewItems(), 0);
    h.view->cloudOnlyNotice()->reject();

    h.selection.setSelectedNode(file("/home/ann/a.txt", 10));
    h.view->quickLookButton()->click();
    EXPECT_EQ(h.panel.fronts, 1);
    EXPECT_EQ(h.view->quickLook().previewItem()->title, "a.txt");
}

} // namespace
} // namespace quillmere
