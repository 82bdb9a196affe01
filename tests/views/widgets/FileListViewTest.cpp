#include "views/widgets/FileListView.hpp"

#include "ui/Theme.hpp"
#include "views/ViewsTestSupport.hpp"

#include <QImage>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using views::test::aggregate;
using views::test::file;
using views::test::folder;

QImage render(FileListView& view) {
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Theme::qtPalette(false).color(QPalette::Window));
    view.viewport()->render(&image);
    return image;
}

// How many pixels along the bar's middle line differ from an empty track's colour.
int filledWidth(const QImage& image, const QRectF& track, QColor empty) {
    const int y = int(track.center().y());
    int filled = 0;
    for (int x = int(track.left()); x < int(track.right()); ++x) {
        const QColor c = image.pixelColor(x, y);
        if (std::abs(c.red() - empty.red()) + std::abs(c.green() - empty.green()) +
                std::abs(c.blue() - empty.blue()) >
            30)
            ++filled;
    }
    return filled;
}

TEST(FileListView, BarsFillByShareOfTheLargestRow) {
    const FileNode root = folder("/r", {file("/r/half", 50), file("/r/full", 100), file("/r/tiny", 1)});
    FileListView view(root, {});
    view.setPalette(Theme::qtPalette(false));
    view.resize(700, 400);
    ASSERT_EQ(view.rowCount(), 3u);
    const QImage image = render(view);
    const QRectF tinyTrack = view.barTrackRect(2);
    const QColor empty = image.pixelColor(QPointF(tinyTrack.center().x(), tinyTrack.center().y()).toPoint());
    EXPECT_EQ(filledWidth(image, view.barTrackRect(0), empty), 90);
    EXPECT_EQ(filledWidth(image, view.barTrackRect(1), empty), 45);
    EXPECT_LE(filledWidth(image, tinyTrack, empty), 1);
}

TEST(FileListView, FoldersOpenFilesSelectAggregatesDoNothingAndSelectionIsDrawn) {
    const FileNode dir = folder("/r/dir", {file("/r/dir/x", 300)});
    const FileNode root = folder("/r", {dir, file("/r/file", 200), aggregate("/r/small", 100)});
    std::vector<std::string> opened, selected;
    FileListView view(root,
                      {[&](const std::vector<FileNode>& chain) { opened.push_back(chain.at(0).path()); },
                       [&](const FileNode& node) { selected.push_back(node.path()); },
                       {}});
    view.setPalette(Theme::qtPalette(false));
    view.resize(700, 400);
    view.clickRow(0);
    view.clickRow(1);
    view.clickRow(2);
    EXPECT_EQ(opened, std::vector<std::string>{"/r/dir"});
    EXPECT_EQ(selected, std::vector<std::string>{"/r/file"});

    // A folder selected elsewhere is drawn selected, and a click still opens it.
    const QPoint probe = (view.rowRect(0).topLeft() + QPointF(4, 4)).toPoint();
    const QColor before = render(view).pixelColor(probe);
    view.setSelectedPath("/r/dir");
    const QColor after = render(view).pixelColor(probe);
    EXPECT_NE(before, after);
    view.clickRow(0);
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_TRUE(selected.size() == 1);
}

TEST(FileListView, OnlyRowsInViewAreTestedAndEmptyFoldersHaveNoRows) {
    std::vector<FileNode> children;
    for (int i = 0; i < 10'000; ++i)
        children.push_back(file("/big/f" + std::to_string(i), 1 + i));
    int tested = 0;
    FileListView view(folder("/big", std::move(children)), {{}, {}, [&](const FileNode&) {
                                                                ++tested;
                                                                return false;
                                                            }});
    view.resize(700, 400);
    render(view);
    EXPECT_GT(tested, 0);
    EXPECT_LT(tested, 20);

    FileListView hollow(folder("/h", {file("/h/a", 0)}), {});
    EXPECT_EQ(hollow.rowCount(), 0u);
}

} // namespace
} // namespace quillmere
