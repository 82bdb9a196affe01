#include "access/PrivilegedWalkMerge.hpp"
#include "scan/Saturating.hpp"

#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <stdexcept>

namespace quillmere {
namespace {

// A helper double: answers from a table, records every path it was asked.
class RecordingHelper : public PrivilegedScanning {
public:
    std::map<std::string, PrivilegedWalk> answers;
    std::vector<std::string> asked;
    std::string throwsFor;

    PrivilegedWalk walkSubtree(const std::string& path) override {
        asked.push_back(path);
        if (path == throwsFor) throw std::runtime_error("helper gone");
        const auto it = answers.find(path);
        return it == answers.end() ? PrivilegedWalk{} : it->second;
    }
};

DeniedPath denied(const std::string& url, int64_t bytes = 512) {
    const std::size_t slash = url.rfind('/');
    return DeniedPath{.url = url, .parent = slash == 0 ? "/" : url.substr(0, slash), .estimatedBytes = bytes};
}

std::vector<std::string> urls(const std::vector<DeniedPath>& paths) {
    std::vector<std::string> out;
    for (const DeniedPath& path : paths)
        out.push_back(path.url);
    return out;
}

PrivilegedNode record(std::string path, int64_t bytes, std::vector<PrivilegedNode> children = {}) {
    PrivilegedNode node{.name = path.substr(path.rfind('/') + 1),
                        .path = std::move(path),
                        .isDirectory = true,
                        .allocatedSize = bytes,
                        .folderCount = 1};
    for (const PrivilegedNode& child : children) {
        node.folderCount += child.folderCount;
        node.fileCount += child.fileCount;
    }
    node.children = std::move(children);
    return node;
}

PrivilegedNode fileRecord(std::string path, int64_t bytes) {
    return PrivilegedNode{.name = path.substr(path.rfind('/') + 1),
                          .path = std::move(path),
                          .allocatedSize = bytes,
                          .fileCount = 1};
}

// /, holding /Users (with bob, childless, and ann's 100-byte file) and a 50-byte /etc/x.
DiskScanResult scanned(std::vector<DeniedPath> deniedPaths) {
    const FolderPath root = FolderPath::root("/");
    const FolderPath users = root.child("Users");
    const FolderPath ann = users.child("ann");
    const FolderPath etc = root.child("etc");
    const FileNode annFolder =
        FileNode::folder(ann, "ann", std::nullopt,
                         {FileNode::under(ann, "f", NodeFields{.allocatedSize = 100, .fileCount = 1})});
    const FileNode bobFolder = FileNode::folder(users.child("bob"), "bob", std::nullopt, {});
    const FileNode usersFolder = FileNode::folder(users, "Users", std::nullopt, {annFolder, bobFolder});
    const FileNode etcFolder =
        FileNode::folder(etc, "etc", std::nullopt,
                         {FileNode::under(etc, "x", NodeFields{.allocatedSize = 50, .fileCount = 1})});
    int64_t estimate = 0;
    for (const DeniedPath& path : deniedPaths)
        estimate = saturatingAdd(estimate, path.estimatedBytes);
    return DiskScanResult{.root = FileNode::folder(root, "/", std::nullopt, {usersFolder, etcFolder}),
                          .deniedPaths = std::move(deniedPaths),
                          .deniedBytesEstimate = estimate,
                          .elapsedSeconds = 2.5};
}

const std::string kHome = "/Users/ann";

// ---- choosing ----

TEST(PrivilegedWalkSelection, TakesShortestFirstAndDropsNestedPaths) {
    const auto chosen = [](std::vector<DeniedPath> paths) {
        return urls(selectPathsForPrivilegedWalk(paths, kHome));
    };
    EXPECT_EQ(chosen({denied("/var/lib/b"), denied("/var/xy/a"), denied("/opt"), denied("/var/lib")}),
              (std::vector<std::string>{"/opt", "/var/lib", "/var/xy/a"}));
    // Equal lengths keep the denied list's order.
    EXPECT_EQ(chosen({denied("/b/x"), denied("/a/y"), denied("/c/z")}),
              (std::vector<std::string>{"/b/x", "/a/y", "/c/z"}));
    EXPECT_EQ(chosen({denied("/Users/bob/Library"), denied("/Users/bob")}),
              (std::vector<std::string>{"/Users/bob"}));
    EXPECT_EQ(chosen({denied("/Users/bobby"), denied("/Users/bob")}),
              (std::vector<std::string>{"/Users/bob", "/Users/bobby"}));
    EXPECT_EQ(chosen({denied("/Users/bob/"), denied("/Users/bob")}),
              (std::vector<std::string>{"/Users/bob/"}));
    // Canonically equivalent spellings are one folder.
    EXPECT_EQ(chosen({denied("/srv/caf\xc3\xa9"), denied("/srv/cafe\xcc\x81/x")}),
              (std::vector<std::string>{"/srv/caf\xc3\xa9"}));
    // Folders behind the privacy protection, and relative paths, are never asked for.
    EXPECT_EQ(chosen({denied("/Users/ann/Documents"), denied("/Users/ann/Library/Containers/x"),
                      denied("tmp/x"), denied("/Users/bob/Documents")}),
              (std::vector<std::string>{"/Users/bob/Documents"}));
}

TEST(PrivilegedWalkMerge, AsksNothingWhenNothingIsEligible) {
    RecordingHelper helper;
    const DiskScanResult input = scanned({denied("/Users/ann/Desktop"), denied("relative/x")});
    const DiskScanResult output = augmentScanResult(input, helper, kHome);
    EXPECT_TRUE(helper.asked.empty());
    EXPECT_TRUE(output.root.sharesNodeWith(input.root));
    EXPECT_EQ(output.deniedPaths, input.deniedPaths);
    EXPECT_EQ(output.deniedBytesEstimate, input.deniedBytesEstimate);
}

// ---- grafting ----

TEST(PrivilegedWalkMerge, GraftsInPlaceOfTheDeniedFolderAndDropsItsEntries) {
    RecordingHelper helper;
    helper.answers["/Users/bob"].node =
        record("/Users/bob", 4000, {fileRecord("/Users/bob/a", 1000), record("/Users/bob/Library", 3000)});
    helper.answers["/Users/bob"].node->modificationDate = 100;
    const DiskScanResult output =
        augmentScanResult(scanned({denied("/etc/secret", 8), denied("/Users/bob/Library", 16),
                                   denied("/Users/bob", 32), denied("/Users/ann/Documents", 64)}),
                          helper, kHome);

    EXPECT_EQ(helper.asked, (std::vector<std::string>{"/Users/bob", "/etc/secret"}));
    // The remaining entries keep their order; the estimate is theirs alone; time stays.
    EXPECT_EQ(urls(output.deniedPaths), (std::vector<std::string>{"/etc/secret", "/Users/ann/Documents"}));
    EXPECT_EQ(output.deniedBytesEstimate, 8 + 64);
    EXPECT_EQ(output.elapsedSeconds, 2.5);

    const std::optional<FileNode> users = output.root.find("/Users");
    ASSERT_TRUE(users);
    ASSERT_EQ(users->children().size(), 2u); // the childless bob was replaced, not joined
    const FileNode& bob = users->children()[1];
    EXPECT_EQ(bob.path(), "/Users/bob");
    EXPECT_EQ(bob.allocatedSize(), 4000); // the helper's figures, not re-totalled
    EXPECT_EQ(bob.folderCount(), 2);
    EXPECT_EQ(bob.modificationDate(), 100 + kSecondsFrom1970To2001);
    EXPECT_EQ(users->allocatedSize(), 4100);
    EXPECT_EQ(users->folderCount(), 4);
    EXPECT_EQ(output.root.allocatedSize(), 4150);
    EXPECT_EQ(output.root.fileCount(), 3);
    ASSERT_TRUE(output.root.find("/Users/bob/Library"));
    EXPECT_EQ(output.root.find("/Users/bob/a")->allocatedSize(), 1000);
}

TEST(PrivilegedWalkMerge, ReplacesTheOldBytesInEveryAncestor) {
    RecordingHelper helper;
    helper.answers["/Users/ann"].node = record("/Users/ann", 7, {});
    const DiskScanResult output = augmentScanResult(scanned({denied("/Users/ann")}), helper, "/home/nobody");
    EXPECT_EQ(output.root.find("/Users/ann")->allocatedSize(), 7);
    EXPECT_EQ(output.root.find("/Users")->allocatedSize(), 7);
    EXPECT_EQ(output.root.allocatedSize(), 57);
    EXPECT_FALSE(output.root.find("/Users/ann/f"));
}

TEST(PrivilegedWalkMerge, NamesARootAggregateAfterTheParent) {
    RecordingHelper helper;
    helper.answers["/Users/bob"].node = PrivilegedNode{.name = "43 more items",
                                                       .path = "/Users/bob",
                                                       .allocatedSize = 900,
                                                       .folderCount = 3,
                                                       .fileCount = 40,
                                                       .isAggregate = true};
    const DiskScanResult output = augmentScanResult(scanned({denied("/Users/bob")}), helper, kHome);
    const FileNode& users = output.root.children()[0];
    ASSERT_EQ(users.children().size(), 3u); // bob stays; the aggregate is added beside it
    EXPECT_EQ(users.children()[2].path(), "/Users/.quillmere-aggregate-43");
    EXPECT_EQ(users.children()[2].name(), "43 more items");
    EXPECT_TRUE(users.children()[2].isAggregate());
    EXPECT_TRUE(output.deniedPaths.empty());
    EXPECT_EQ(output.deniedBytesEstimate, 0);
}

TEST(PrivilegedWalkMerge, LeavesFoldersDeniedWhenAWalkYieldsNothingUsable) {
    RecordingHelper helper;
    helper.answers["/Users/bob"].node = record("/Users/bobby", 5, {}); // not the folder asked for
    helper.answers["/nowhere/x"].node = record("/nowhere/x", 5, {});   // its parent is not in the tree
    helper.answers["/opt"].node = record("/opt", 5, {fileRecord("/etc/passwd", 1)}); // a child outside it
    helper.throwsFor = "/srv";
    const DiskScanResult input = scanned(
        {denied("/Users/bob"), denied("/nowhere/x"), denied("/opt"), denied("/srv"), denied("/var/none")});
    const DiskScanResult output = augmentScanResult(input, helper, kHome);
    EXPECT_EQ(helper.asked,
              (std::vector<std::string>{"/opt", "/srv", "/var/none", "/Users/bob", "/nowhere/x"}));
    EXPECT_TRUE(output.root.sharesNodeWith(input.root));
    EXPECT_EQ(output.deniedPaths, input.deniedPaths);
    EXPECT_EQ(output.deniedBytesEstimate, input.deniedBytesEstimate);
}

TEST(PrivilegedWalkMerge, SendsNothingAfterAWalkRanOutOfTime) {
    RecordingHelper helper;
    helper.answers["/opt"].timedOut = true;
    helper.answers["/etc/a"].node = record("/etc/a", 5, {});
    helper.answers["/etc/a"].timedOut = false;
    const DiskScanResult output =
        augmentScanResult(scanned({denied("/etc/a"), denied("/opt"), denied("/Users/bob")}), helper, kHome);
    EXPECT_EQ(helper.asked, (std::vector<std::string>{"/opt"}));
    EXPECT_EQ(urls(output.deniedPaths), (std::vector<std::string>{"/etc/a", "/opt", "/Users/bob"}));

    // What was grafted before the time ran out stays grafted.
    RecordingHelper later;
    later.answers["/opt"].node = record("/opt", 5, {});
    later.answers["/etc/a"].timedOut = true;
    const DiskScanResult partly =
        augmentScanResult(scanned({denied("/etc/a"), denied("/opt"), denied("/Users/bob")}), later, kHome);
    EXPECT_EQ(later.asked, (std::vector<std::string>{"/opt", "/etc/a"}));
    EXPECT_EQ(urls(partly.deniedPaths), (std::vector<std::string>{"/etc/a", "/Users/bob"}));
}

TEST(PrivilegedWalkMerge, MergesAStoppedScanTheSameWay) {
    // A stopped scan's partial tree: only / with an empty /Users.
    const FolderPath root = FolderPath::root("/");
    const FolderPath users = root.child("Users");
    DiskScanResult partial{.root = FileNode::folder(root, "/", std::nullopt,
                                                    {FileNode::folder(users, "Users", std::nullopt, {})}),
                           .deniedPaths = {denied("/Users/bob", 10)},
                           .deniedBytesEstimate = 10,
                           .elapsedSeconds = 0.25};
    RecordingHelper helper;
    helper.answers["/Users/bob"].node = record("/Users/bob", 30, {fileRecord("/Users/bob/z", 30)});
    const DiskScanResult output = augmentScanResult(partial, helper, kHome);
    EXPECT_EQ(output.root.allocatedSize(), 30);
    EXPECT_TRUE(output.deniedPaths.empty());
    EXPECT_EQ(output.elapsedSeconds, 0.25);
}

TEST(PrivilegedWalkMerge, SaturatesTotalsOverAnAbsurdGraft) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    RecordingHelper helper;
    PrivilegedNode huge = record("/Users/bob", kMax, {});
    huge.folderCount = kMax;
    huge.fileCount = kMax;
    helper.answers["/Users/bob"].node = huge;
    const DiskScanResult output =
        augmentScanResult(scanned({denied("/Users/bob"), denied("/Users/bob/x", kMax)}), helper, kHome);
    EXPECT_EQ(output.root.allocatedSize(), kMax);
    EXPECT_EQ(output.root.folderCount(), kMax);
    EXPECT_EQ(output.root.fileCount(), kMax);
    EXPECT_EQ(output.root.find("/Users")->allocatedSize(), kMax);

    // The remaining estimates are summed anew, and saturate too.
    const DiskScanResult summed = augmentScanResult(
        scanned({denied("/Users/bob"), denied("/a", kMax), denied("/b", kMax)}), helper, kHome);
    EXPECT_EQ(urls(summed.deniedPaths), (std::vector<std::string>{"/a", "/b"}));
    EXPECT_EQ(summed.deniedBytesEstimate, kMax);
}

TEST(PrivilegedWalkMerge, RunsInTheBackground) {
    auto helper = std::make_shared<RecordingHelper>();
    helper->answers["/Users/bob"].node = record("/Users/bob", 9, {});
    std::future<DiskScanResult> merged =
        augmentScanResultInBackground(scanned({denied("/Users/bob")}), helper, kHome);
    EXPECT_EQ(merged.get().root.find("/Users/bob")->allocatedSize(), 9);
}

// ---- converting ----

TEST(PrivilegedNodeConversion, KeepsTheHelpersFiguresAndOrder) {
    PrivilegedNode root =
        record("/d/", 10, {fileRecord("/d/b", 7), record("/d/a", 3, {fileRecord("/d/a/x", 3)})});
    root.name = "d";
    root.children[0].name = "shown name";
    root.children.push_back(PrivilegedNode{.name = "2 more items",
                                           .path = "ignored",
                                           .allocatedSize = 1,
                                           .folderCount = 1,
                                           .fileCount = 1,
                                           .isAggregate = true});
    const FileNode node = fileNodeFromPrivileged(root, "/");
    EXPECT_EQ(node.path(), "/d");
    EXPECT_EQ(node.name(), "d");
    EXPECT_EQ(node.allocatedSize(), 10); // as sent, though the children add up to 11
    EXPECT_EQ(node.modificationDate(), std::nullopt);
    ASSERT_EQ(node.children().size(), 3u);
    EXPECT_EQ(node.children()[0].path(), "/d/b");
    EXPECT_EQ(node.children()[0].name(), "shown name");
    EXPECT_EQ(node.children()[1].children()[0].path(), "/d/a/x");
    EXPECT_EQ(node.children()[2].path(), "/d/.quillmere-aggregate-2");
    for (const FileNode& child : node.children()) {
        EXPECT_FALSE(child.isSymbolicLink());
        EXPECT_FALSE(child.isSharedElsewhere());
        EXPECT_FALSE(child.isCloudOnly());
        EXPECT_EQ(child.sharedBytesTotal(), 0);
    }
}

} // namespace
} // namespace quillmere
