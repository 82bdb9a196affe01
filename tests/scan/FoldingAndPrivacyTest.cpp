#include "TreeBuilders.hpp"
#include "scan/PrivacyRule.hpp"
#include "scan/SmallItemFolding.hpp"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

using testing::file;
using testing::folder;

TEST(SmallItemFolding, FoldsChildrenBelowTheThresholdIntoOneAggregate) {
    const auto folded = foldSmallChildren(
        {file("/f/big", 1'000'000'000), file("/f/a", 1000), file("/f/b", 1000), file("/f/c", 1000)}, "/f");
    ASSERT_EQ(folded.size(), 2u);
    EXPECT_EQ(folded[0].name(), "big");
    const FileNode& aggregate = folded[1];
    EXPECT_TRUE(aggregate.isAggregate());
    EXPECT_EQ(aggregate.name(), "3 more items");
    EXPECT_EQ(aggregate.path(), "/f/.quillmere-aggregate-3");
    EXPECT_EQ(aggregate.allocatedSize(), 3000);
    EXPECT_EQ(aggregate.fileCount(), 3);
    EXPECT_FALSE(aggregate.modificationDate());
    EXPECT_EQ(FileNode::folderTotals(folded).fileCount, 4);
}

TEST(SmallItemFolding, LeavesFoldersUnchangedWhenFoldingWouldNotHelp) {
    const auto equal = foldSmallChildren({file("/f/a", 5), file("/f/b", 5)}, "/f");
    EXPECT_EQ(equal.size(), 2u);
    const auto single = foldSmallChildren({file("/f/big", 100000), file("/f/zero", 0)}, "/f");
    EXPECT_EQ(single.size(), 2u);
    const auto uncounted = foldSmallChildren({file("/f/s", 1, true), file("/f/c", 1, false, true)}, "/f");
    EXPECT_EQ(uncounted.size(), 2u);
}

TEST(SmallItemFolding, KeepsSharedChildrenAndCarriesFolderCounts) {
    const FileNode sub = folder("/f/sub", {file("/f/sub/x", 1), file("/f/sub/y", 1)});
    const auto folded = foldSmallChildren(
        {file("/f/big", 1'000'000), sub, file("/f/tiny-shared", 1, true), file("/f/tiny", 1)}, "/");
    ASSERT_EQ(folded.size(), 3u);
    EXPECT_EQ(folded[1].name(), "tiny-shared");
    EXPECT_EQ(folded[2].path(), "/.quillmere-aggregate-2");
    EXPECT_EQ(folded[2].folderCount(), 1);
    EXPECT_EQ(folded[2].fileCount(), 3);
}

TEST(PrivacyRule, NamesTheProtectedFolders) {
    const std::string home = "/Users/a";
    EXPECT_TRUE(isPrivacyProtectedPath("/Volumes/x/X.PhotosLibrary", home));
    EXPECT_TRUE(isPrivacyProtectedPath("/Users/a/Documents", home));
    EXPECT_TRUE(isPrivacyProtectedPath("/Users/a/./Documents", home));
    EXPECT_FALSE(isPrivacyProtectedPath("/Users/a/Documents/file", home));
    EXPECT_FALSE(isPrivacyProtectedPath("/Users/a/documents", home));
    EXPECT_TRUE(isPrivacyProtectedPath("/Users/a/Library/Containers", home));
    EXPECT_TRUE(isPrivacyProtectedPath("/Users/a/Library/Group Containers/app", home));
    EXPECT_FALSE(isPrivacyProtectedPath("/Users/a/Library/Containers/app/Data", home));
    EXPECT_FALSE(isPrivacyProtectedPath("/Users/b/Documents", home));

    EXPECT_FALSE(isOutsidePrivacyProtectedPaths("Users/a", {home}));
    EXPECT_TRUE(isOutsidePrivacyProtectedPaths("/Library/Caches", {home}));
    EXPECT_TRUE(isOutsidePrivacyProtectedPaths("/Users/a/Desktop", {}));
    EXPECT_FALSE(isOutsidePrivacyProtectedPaths("/Users/a/Desktop", {"/Users/b", home}));
}

} // namespace
} // namespace quillmere
