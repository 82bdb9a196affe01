#include "views/FileListModel.hpp"

#include "ViewsTestSupport.hpp"

#include <gtest/gtest.h>

namespace quillmere::views {
namespace {

using test::file;

FileNode folderWith(const std::string& path, int64_t folderCount, int64_t fileCount, int64_t size = 10) {
    return FileNode(std::string(lastPathComponent(path)), path, true, false, size, false, false, 0, false,
                    folderCount, fileCount, 0, std::nullopt, {});
}

TEST(FileListRows, KeepChildrenWithBytesLargestFirstInStoredOrderOnTies) {
    const FileNode root = test::folder("/r", {file("/r/a", 5), file("/r/zero", 0), file("/r/b", 9),
                                              file("/r/c", 5), test::aggregate("/r/small", 1)});
    FileListRows rows(root, {});
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows.node(0).path(), "/r/b");
    EXPECT_EQ(rows.node(1).path(), "/r/a");
    EXPECT_EQ(rows.node(2).path(), "/r/c");
    EXPECT_EQ(rows.node(3).path(), "/r/small");
    EXPECT_EQ(rows.maxSize(), 9);
    EXPECT_TRUE(rows.isFor(root));
    EXPECT_DOUBLE_EQ(rows.row(0).barFraction, 1);

    // Only empty children: no rows at all, so the list says the folder is empty.
    const FileNode hollow = test::folder("/h", {file("/h/a", 0), file("/h/cloud", 0, false, true)});
    EXPECT_TRUE(FileListRows(hollow, {}).empty());
    EXPECT_EQ(FileListRows(hollow, {}).maxSize(), 0);
}

TEST(FileListRows, DetailTextsCountFoldersBelowTheFolderItself) {
    EXPECT_EQ(fileListDetailText(folderWith("/x", 1, 0)), "Empty folder");
    EXPECT_EQ(fileListDetailText(folderWith("/x", 0, 3)), "0 folders \u00b7 3 files");
    EXPECT_EQ(fileListDetailText(folderWith("/x", 2, 1)), "1 folder \u00b7 1 file");
    EXPECT_EQ(fileListDetailText(folderWith("/x", 1, 1)), "0 folders \u00b7 1 file");
    EXPECT_EQ(fileListDetailText(folderWith("/x", 4, 0)), "3 folders \u00b7 0 files");
    EXPECT_EQ(fileListDetailText(file("/x", 1)), "File");
    EXPECT_EQ(fileListDetailText(test::aggregate("/x", 1)), "Too small to show individually");
}

TEST(FileListRows, BadgesBarsClicksAndTooltips) {
    const FileNode cloud = file("/r/c", 10, false, true);
    EXPECT_EQ(fileListBadge(cloud, true), FileListBadge::lock);
    EXPECT_EQ(fileListBadge(cloud, false), FileListBadge::cloud);
    EXPECT_EQ(fileListBadge(file("/r/f", 1), false), FileListBadge::none);

    EXPECT_DOUBLE_EQ(fileListBarFraction(45, 90), 0.5);
    EXPECT_DOUBLE_EQ(fileListBarFraction(200, 90), 1);
    EXPECT_DOUBLE_EQ(fileListBarFraction(-3, 90), 0);
    EXPECT_DOUBLE_EQ(fileListBarFraction(5, 0), 0);

    const FileNode dir = folderWith("/r/dir", 1, 1, 20);
    EXPECT_EQ(fileListClick(dir), FileListClick::drill);
    EXPECT_EQ(fileListClick(cloud), FileListClick::select);
    EXPECT_EQ(fileListClick(test::aggregate("/r/s", 1)), FileListClick::nothing);

    int tests = 0;
    FileListRows rows(test::folder("/r", {dir, file("/r/f", 10), test::aggregate("/r/s", 5)}),
                      [&](const FileNode& node) {
                          ++tests;
                          return node.path() == "/r/f";
                      });
    EXPECT_EQ(tests, 0); // nothing is tested before a row is shown
    EXPECT_EQ(rows.row(0).tooltip, "Open dir");
    EXPECT_TRUE(rows.row(0).isOpenable);
    EXPECT_EQ(rows.row(1).tooltip, "f");
    EXPECT_EQ(rows.row(1).badge, FileListBadge::lock);
    EXPECT_DOUBLE_EQ(rows.row(1).barFraction, 0.5);
    EXPECT_FALSE(rows.row(2).isOpenable);
    rows.row(1);
    EXPECT_EQ(tests, 3); // each row once, then kept
}

} // namespace
} // namespace quillmere::views
