#include "views/widgets/FileListView.hpp"

#include "app/ui/Theme.hpp"

#include <QImage>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

FileNode fileNode(const std::string& path, int64_t size, bool aggregate = false) {
    const auto slash = path.find_last_of('/');
    return FileNode(path.substr(slash + 1), path, false, false, size, false, false, 0, aggregate, 0, 1, 0,
                    std::nullopt, {});
}

FileNode folderNode(const std::string& path, std::vector<FileNode> children) {
    const auto totals = FileNode::folderTotals(children);
    const auto slash = path.find_last_of('/');
    return FileNode(path.substr(slash + 1), path, true, false, totals.allocatedSize, false, false, 0, false,
                    totals.folderCount, totals.fileCount, 0, std::nullopt, std::move(children));
}

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
    const FileNode root =
        folderNode("/r", {fileNode("/r/half", 50), fileNode("/r/full", 100), fileNode("/r/tiny", 1)});
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
    const FileNode dir = folderNode("/r/dir", {fileNode("/r/dir/x", 300)});
    const FileNode root = folderNode("/r", {dir, fileNode("/r/file", 200), fileNode("/r/small", 100, true)});
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
        children.push_back(fileNode("/big/f" + std::to_string(i), 1 + i));
    int tested = 0;
    FileListView view(folderNode("/big", std::move(children)), {{}, {}, [&](const FileNode&) {
                                                                    ++tested;
                                                                    return false;
                                                                }});
    view.resize(700, 400);
    render(view);
    EXPECT_GT(tested, 0);
    EXPECT_LT(tested, 20);

    FileListView hollow(folderNode("/h", {fileNode("/h/a", 0)}), {});
    EXPECT_EQ(hollow.rowCount(), 0u);
}

} // namespace
} // namespace quillmere
