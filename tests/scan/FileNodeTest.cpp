#include "scan/FileNode.hpp"

#include "TreeBuilders.hpp"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <malloc.h>

namespace quillmere {
namespace {

using testing::file;
using testing::folder;
namespace fs = std::filesystem;

std::vector<std::string> childPaths(const FileNode& node) {
    std::vector<std::string> paths;
    for (const FileNode& child : node.children())
        paths.push_back(child.path());
    return paths;
}

TEST(FileNode, FolderTotalsLeaveSharedAndCloudOnlyBytesOut) {
    const FileNode root =
        folder("/r", {file("/r/a", 10), file("/r/b", 20, true), file("/r/c", 30, false, true)});
    EXPECT_EQ(root.allocatedSize(), 10);
    EXPECT_EQ(root.fileCount(), 3);
    EXPECT_EQ(root.cloudOnlyCount(), 1);
    EXPECT_EQ(root.sharedBytesTotal(), 20);
    EXPECT_EQ(root.folderCount(), 1);

    const FileNode empty = folder("/e", {});
    EXPECT_EQ(empty.allocatedSize(), 0);
    EXPECT_EQ(empty.folderCount(), 1);
    EXPECT_EQ(empty.fileCount(), 0);
}

TEST(FileNode, KeepsAllFieldsWhateverItsStorage) {
    // A file whose counts are not those of a plain file must keep them as given.
    const FileNode odd("n", "/p/n", false, true, 7, true, true, 5, true, 3, 4, 9, 12.5, {});
    EXPECT_EQ(odd.name(), "n");
    EXPECT_EQ(odd.path(), "/p/n");
    EXPECT_TRUE(odd.isSymbolicLink());
    EXPECT_TRUE(odd.isSharedElsewhere());
    EXPECT_TRUE(odd.isCloudOnly());
    EXPECT_TRUE(odd.isAggregate());
    EXPECT_EQ(odd.cloudOnlyCount(), 5);
    EXPECT_EQ(odd.folderCount(), 3);
    EXPECT_EQ(odd.fileCount(), 4);
    EXPECT_EQ(odd.sharedBytesTotal(), 9);
    EXPECT_EQ(odd.modificationDate(), 12.5);

    const FolderPath root = FolderPath::root("/");
    const FileNode leaf = FileNode::under(root, "etc", NodeFields{.allocatedSize = 4096, .fileCount = 1});
    EXPECT_EQ(leaf.path(), "/etc");
    EXPECT_EQ(leaf.fileCount(), 1);
    EXPECT_FALSE(leaf.modificationDate());
    const FileNode sub = FileNode::folder(root.child("usr").child("lib"), "lib", 3.0, {});
    EXPECT_EQ(sub.path(), "/usr/lib");
}

TEST(FileNode, CopiesShareTheNodeAndAreCheap) {
    const FileNode root = folder("/r", {file("/r/a", 1)});
    const FileNode copy = root;
    EXPECT_TRUE(copy.sharesNodeWith(root));
    EXPECT_TRUE(copy.children()[0].sharesNodeWith(root.children()[0]));
}

TEST(FileNode, ChangesInPlaceNeverReachAnotherHolder) {
    FileNode root = folder("/r", {folder("/r/d", {file("/r/d/x", 10, true)}), file("/r/y", 5)});
    const FileNode before = root;
    FileNode& x = root.mutableChild(0).mutableChild(0);
    NodeFields owned = x.fields();
    owned.isSharedElsewhere = false;
    owned.sharedBytesTotal = 0;
    x.setFields(owned);
    EXPECT_FALSE(root.children()[0].children()[0].isSharedElsewhere());
    EXPECT_EQ(root.children()[0].children()[0].path(), "/r/d/x");
    // The copy taken before still sees the node as it was; the untouched sibling is still shared.
    EXPECT_TRUE(before.children()[0].children()[0].isSharedElsewhere());
    EXPECT_EQ(before.children()[0].children()[0].sharedBytesTotal(), 10);
    EXPECT_TRUE(root.children()[1].sharesNodeWith(before.children()[1]));

    // Fields a plain file cannot store move the node to a storage that can.
    FileNode leaf = file("/r/w", 4);
    leaf.setFields(NodeFields{.allocatedSize = 4, .isAggregate = true, .folderCount = 2, .fileCount = 7});
    EXPECT_EQ(leaf.fields(),
              (NodeFields{.allocatedSize = 4, .isAggregate = true, .folderCount = 2, .fileCount = 7}));
    EXPECT_EQ(leaf.path(), "/r/w");
}

TEST(FileNode, MemoryOfOneNode) {
    // The figures written next to FileNode: a file is one allocation of 32 bytes plus its name.
    const FolderPath parent = FolderPath::root("/data");
    const size_t before = mallinfo2().uordblks;
    {
        const FileNode leaf =
            FileNode::under(parent, "twelve-bytes", NodeFields{.allocatedSize = 1, .fileCount = 1});
        const size_t used = mallinfo2().uordblks - before;
        EXPECT_LE(used, 32u + 12u + 16u); // allocator rounding and header
    }
    EXPECT_EQ(sizeof(FileNode), sizeof(void*));
}

TEST(FileNode, FindUsesFolderPrefixes) {
    const FileNode root =
        folder("/a", {folder("/a/b", {file("/a/b/x", 1)}), folder("/a/bc", {file("/a/bc/y", 2)})});
    ASSERT_TRUE(root.find("/a/bc"));
    EXPECT_EQ(root.find("/a/bc")->path(), "/a/bc");
    EXPECT_EQ(root.find("/a/bc/y")->allocatedSize(), 2);
    EXPECT_FALSE(root.find("/a/b/y"));
    EXPECT_FALSE(root.find("/a/bcd"));
    EXPECT_FALSE(root.find("/other"));

    const FolderPath slash = FolderPath::root("/");
    const FileNode volume = FileNode::folder(
        slash, "/", std::nullopt,
        {FileNode::folder(slash.child("Users"), "Users", std::nullopt,
                          {FileNode::under(slash.child("Users"), "f", NodeFields{.fileCount = 1})})});
    ASSERT_TRUE(volume.find("/Users/f"));
    EXPECT_EQ(volume.find("/")->path(), "/");
}

TEST(FileNode, FindComparesByCanonicalEquivalence) {
    const std::string precomposed = "/r/caf\xC3\xA9"; // é as one code point
    const std::string decomposed = "/r/cafe\xCC\x81"; // e + combining acute
    const std::string notUtf8 = "/r/bad\xFF";
    const FileNode root = folder("/r", {file(decomposed, 5), file(notUtf8, 6)});
    ASSERT_TRUE(root.find(precomposed));
    EXPECT_EQ(root.find(precomposed)->allocatedSize(), 5);
    ASSERT_TRUE(root.find(notUtf8));
    EXPECT_EQ(root.find(notUtf8)->path(), notUtf8); // kept byte-exact
    EXPECT_FALSE(root.find("/r/bad\xFE"));
    EXPECT_TRUE(pathsEqual(precomposed, decomposed));
}

TEST(FileNode, RebuiltRecomputesTotalsAndClearsAggregate) {
    const FileNode dir("d", "/d", true, false, 999, false, false, 0, true, 7, 7, 0, 4.0, {});
    const FileNode rebuilt = dir.rebuilt({file("/d/a", 3), file("/d/b", 4, true)});
    EXPECT_FALSE(rebuilt.isAggregate());
    EXPECT_EQ(rebuilt.allocatedSize(), 3);
    EXPECT_EQ(rebuilt.sharedBytesTotal(), 4);
    EXPECT_EQ(rebuilt.folderCount(), 1);
    EXPECT_EQ(rebuilt.modificationDate(), 4.0);
    EXPECT_EQ(rebuilt.path(), "/d");
}

TEST(FileNode, RemovingRebuildsOnlyTheAffectedChain) {
    // Paths that do not exist on disk canonicalise through "/", so they compare as written.
    const std::string base = "/nonexistent-quillmere-test";
    FileNode deep = file(base + "/1/2/3/4/leaf", 100);
    FileNode sibling = file(base + "/1/2/3/4/keep", 1);
    FileNode chain = folder(base + "/1/2/3/4", {deep, sibling});
    for (const std::string p : {"/1/2/3", "/1/2", "/1"})
        chain = folder(base + p, {chain});
    const FileNode untouched = folder(base + "/other", {file(base + "/other/x", 50)});
    const FileNode root = folder(base, {chain, untouched});

    const auto removed = root.removing(PathSet{base + "/1/2/3/4/leaf"});
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->allocatedSize(), 51);
    EXPECT_EQ(removed->fileCount(), 2);
    EXPECT_EQ(removed->find(base + "/1/2/3/4")->allocatedSize(), 1);
    EXPECT_EQ(removed->find(base + "/1")->fileCount(), 1);
    EXPECT_TRUE(removed->children()[1].sharesNodeWith(untouched));

    EXPECT_FALSE(root.removing(PathSet{base}));
    const auto same = root.removing(PathSet{"/not/in/tree"});
    ASSERT_TRUE(same);
    EXPECT_TRUE(same->sharesNodeWith(root));
}

TEST(FileNode, RemovingMatchesThroughSymbolicLinks) {
    const fs::path dir = fs::temp_directory_path() / ("quillmere-node-" + std::to_string(::getpid()));
    fs::create_directories(dir / "real");
    std::ofstream(dir / "real" / "f") << "x";
    fs::create_symlink(dir / "real", dir / "link");
    const std::string realDir = FileNode::canonicalPath((dir / "real").string());

    const FileNode tree = folder((dir / "link").string(), {file((dir / "link" / "f").string(), 4096),
                                                           file((dir / "link" / "g").string(), 8)});
    const auto removed = tree.removing(PathSet{realDir + "/f"});
    ASSERT_TRUE(removed);
    EXPECT_EQ(childPaths(*removed), std::vector<std::string>{(dir / "link" / "g").string()});

    // A path that no longer exists resolves through its longest existing ancestor.
    EXPECT_EQ(FileNode::canonicalPath((dir / "link" / "gone" / "deeper").string()), realDir + "/gone/deeper");
    EXPECT_EQ(FileNode::canonicalPath("/"), "/");
    fs::remove_all(dir);
}

TEST(FileNode, ReplacingSubtreeAppendsTheGraftLast) {
    const FileNode root =
        folder("/r", {folder("/r/d", {file("/r/d/a", 1), file("/r/d/b", 2)}), file("/r/z", 4)});
    const FileNode graft = folder("/r/d/a", {file("/r/d/a/inner", 10)});
    const auto grafted = root.replacingSubtree("/r/d", graft);
    ASSERT_TRUE(grafted);
    EXPECT_EQ(childPaths(grafted->children()[0]), (std::vector<std::string>{"/r/d/b", "/r/d/a"}));
    EXPECT_EQ(grafted->allocatedSize(), 16);
    EXPECT_EQ(grafted->folderCount(), 3);
    EXPECT_FALSE(root.replacingSubtree("/r/missing", graft));
    EXPECT_FALSE(root.replacingSubtree("/r/z/under-a-file", graft));
}

TEST(FileNode, AncestorsAreTheFoldersStrictlyBetween) {
    const FileNode aggregate("3 more items", "/r/.quillmere-aggregate-3", false, false, 3, false, false, 0,
                             true, 0, 3, 0, std::nullopt, {});
    const FileNode root = folder(
        "/r", {folder("/r/a", {folder("/r/a/b", {file("/r/a/b/f", 1)})}), file("/r/top", 1), aggregate});
    ASSERT_TRUE(root.ancestors("/r/top"));
    EXPECT_TRUE(root.ancestors("/r/top")->empty());
    const auto chain = root.ancestors("/r/a/b/f");
    ASSERT_TRUE(chain);
    ASSERT_EQ(chain->size(), 2u);
    EXPECT_EQ((*chain)[0].path(), "/r/a");
    EXPECT_EQ((*chain)[1].path(), "/r/a/b");
    EXPECT_FALSE(root.ancestors("/r"));
    EXPECT_FALSE(root.ancestors("/elsewhere/x"));
    EXPECT_FALSE(root.ancestors("/r/.quillmere-aggregate-3/x"));
    EXPECT_FALSE(root.ancestors("/r/a/b/missing"));
}

TEST(FileNode, DeepChainsNeverRecurse) {
    constexpr int kDepth = 100000;
    FolderPath path = FolderPath::root("/deep");
    std::vector<FolderPath> levels{path};
    for (int i = 1; i < kDepth; ++i)
        levels.push_back(levels.back().child("d"));
    FileNode node = FileNode::under(levels.back(), "leaf", NodeFields{.allocatedSize = 7, .fileCount = 1});
    for (int i = kDepth - 1; i >= 0; --i)
        node = FileNode::folder(levels[i], "d", std::nullopt, {node});
    levels.clear();
    EXPECT_EQ(node.folderCount(), kDepth);
    EXPECT_EQ(node.allocatedSize(), 7);

    std::string leafPath = "/deep";
    for (int i = 1; i < kDepth; ++i)
        leafPath += "/d";
    leafPath += "/leaf";
    const FileNode copy = node;
    const auto found = copy.find(leafPath);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->allocatedSize(), 7);
    EXPECT_EQ(found->path(), leafPath); // far deeper than a path's segments are gathered on the stack
    const auto chain = copy.ancestors(leafPath);
    ASSERT_TRUE(chain);
    EXPECT_EQ(chain->size(), static_cast<size_t>(kDepth - 1));
    const auto grafted = copy.replacingSubtree(found->path().substr(0, leafPath.size() - 5),
                                               file(leafPath.substr(0, leafPath.size() - 5) + "/more", 5));
    ASSERT_TRUE(grafted);
    EXPECT_EQ(grafted->allocatedSize(), 12);
    node = FileNode(); // the whole chain is destroyed here without recursion
}

TEST(PathComponents, SplitAndPrefix) {
    EXPECT_TRUE(pathComponents("/").empty());
    EXPECT_EQ(pathComponents("/a//b/"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(isComponentPrefix({"a"}, {"a", "b"}));
    EXPECT_FALSE(isComponentPrefix({"a", "b"}, {"a"}));
    EXPECT_FALSE(isComponentPrefix({"a", "b"}, {"a", "c"}));
    EXPECT_TRUE(isComponentPrefix({}, {"x"}));
    EXPECT_TRUE(isComponentPrefix({"a", "b"}, {"a", "b"}));
    EXPECT_EQ(standardizedComponents("/Users/a/./Documents/../Downloads"),
              (std::vector<std::string>{"Users", "a", "Downloads"}));
    EXPECT_EQ(pathExtension("archive.tar.gz"), "gz");
    EXPECT_EQ(pathExtension("README"), "");
    EXPECT_EQ(pathExtension("/a.b/c"), "");
    EXPECT_EQ(fileURLPath("/a//b/"), "/a/b");
    EXPECT_EQ(fileURLPath("/"), "/");
}

} // namespace
} // namespace quillmere
