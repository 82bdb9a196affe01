#include "access/PrivilegedWalkMerge.hpp"

#include "access/AccessTestSupport.hpp"
#include "base/Saturating.hpp"

#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <stdexcept>

namespace quillmere {
namespace {

using testing::denied;
using testing::fileRecord;
using testing::folderRecord;
using testing::urls;
using Paths = std::vector<std::string>;
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
const std::string kHome = "/Users/ann";

// A helper double: answers from a table, records every path it was asked.
class RecordingHelper : public PrivilegedScanning {
public:
    std::map<std::string, PrivilegedWalk> answers;
    Paths asked;
    std::string throwsFor;

    PrivilegedWalk walkSubtree(const std::string& path) override {
        asked.push_back(path);
        if (path == throwsFor) throw std::runtime_error("helper gone");
        return answers[path];
    }
};

// "/" holding /Users (ann with a 100-byte file, bob childless) and /etc with a 50-byte file.
DiskScanResult scanned(std::vector<DeniedPath> deniedPaths) {
    const FolderPath root = FolderPath::root("/");
    const FolderPath users = root.child("Users");
    const FolderPath ann = users.child("ann");
    const FolderPath etc = root.child("etc");
    const auto file = [](const FolderPath& in, int64_t bytes) {
        return FileNode::under(in, "f", NodeFields{.allocatedSize = bytes, .fileCount = 1});
    };
    const FileNode usersFolder =
        FileNode::folder(users, "Users", std::nullopt,
                         {FileNode::folder(ann, "ann", std::nullopt, {file(ann, 100)}),
                          FileNode::folder(users.child("bob"), "bob", {}, {})});
    int64_t estimate = 0;
    for (const DeniedPath& path : deniedPaths)
        estimate = saturatingAdd(estimate, path.estimatedBytes);
    return {.root = FileNode::folder(root, "/", {},
                                     {usersFolder, FileNode::folder(etc, "etc", {}, {file(etc, 50)})}),
            .deniedPaths = std::move(deniedPaths),
            .deniedBytesEstimate = estimate,
            .elapsedSeconds = 2.5};
}

TEST(PrivilegedWalkSelection, TakesShortestFirstStablyAndDropsNestedPaths) {
    const auto chosen = [](std::vector<DeniedPath> paths) {
        return urls(selectPathsForPrivilegedWalk(paths, kHome));
    };
    EXPECT_EQ(
        chosen({denied("/var/lib/b"), denied("/b/x"), denied("/a/y"), denied("/o"), denied("/var/lib")}),
        (Paths{"/o", "/b/x", "/a/y", "/var/lib"}));
    std::vector<DeniedPath> sameLength;
    for (int i = 99; i >= 60; --i)
        sameLength.push_back(denied("/p" + std::to_string(i)));
    EXPECT_EQ(chosen(sameLength), urls(sameLength));
    EXPECT_EQ(chosen({denied("/Users/bob/Library"), denied("/Users/bob")}), (Paths{"/Users/bob"}));
    EXPECT_EQ(chosen({denied("/Users/bobby"), denied("/Users/bob")}), (Paths{"/Users/bob", "/Users/bobby"}));
    EXPECT_EQ(chosen({denied("/srv/caf\xc3\xa9"), denied("/srv/cafe\xcc\x81/x")}),
              (Paths{"/srv/caf\xc3\xa9"}));
    // Folders behind the privacy protection, and relative paths, are never asked for.
    EXPECT_EQ(chosen({denied("/Users/ann/Documents"), denied("/Users/ann/Library/Containers/x"),
                      denied("tmp/x"), denied("/Users/bob/Documents")}),
              (Paths{"/Users/bob/Documents"}));

    RecordingHelper helper;
    const DiskScanResult input = scanned({denied("/Users/ann/Desktop"), denied("relative/x")});
    const DiskScanResult output = augmentScanResult(input, helper, kHome);
    EXPECT_TRUE(helper.asked.empty());
    EXPECT_TRUE(output.root.sharesNodeWith(input.root));
    EXPECT_EQ(output.deniedPaths, input.deniedPaths);
}

TEST(PrivilegedWalkMerge, GraftsInPlaceOfTheDeniedFolderAndDropsTheEntriesItCovers) {
    RecordingHelper helper;
    PrivilegedNode bob = folderRecord("/Users/bob", 4000,
                                      {fileRecord("/Users/bob/a", 1000), folderRecord("/Users/bob/L", 3000)});
    bob.modificationDate = 100;
    helper.answers["/Users/bob"].node = bob;
    const DiskScanResult output =
        augmentScanResult(scanned({denied("/etc/secret", 8), denied("/Users/bob/L", 16),
                                   denied("/Users/bob", 32), denied("/Users/ann/Documents", 64)}),
                          helper, kHome);

    EXPECT_EQ(helper.asked, (Paths{"/Users/bob", "/etc/secret"}));
    EXPECT_EQ(urls(output.deniedPaths), (Paths{"/etc/secret", "/Users/ann/Documents"}));
    EXPECT_EQ(output.deniedBytesEstimate, 8 + 64);
    EXPECT_EQ(output.elapsedSeconds, 2.5);
    const FileNode users = *output.root.find("/Users");
    ASSERT_EQ(users.children().size(), 2u); // the childless bob was replaced, not joined
    const FileNode& grafted = users.children()[1];
    EXPECT_EQ(grafted.path(), "/Users/bob");
    EXPECT_EQ(grafted.modificationDate(), 100 + kSecondsFrom1970To2001);
    EXPECT_EQ(grafted.allocatedSize(), 4000); // the helper's figure, not re-totalled
    EXPECT_EQ(users.allocatedSize(), 4100);
    EXPECT_EQ(users.folderCount(), 4);
    EXPECT_EQ(output.root.allocatedSize(), 4150);
    EXPECT_EQ(output.root.find("/Users/bob/a")->allocatedSize(), 1000);

    // A graft replaces the same-path child, and its old bytes leave every ancestor.
    RecordingHelper annHelper;
    annHelper.answers["/Users/ann"].node = folderRecord("/Users/ann", 7);
    const DiskScanResult replaced = augmentScanResult(scanned({denied("/Users/ann")}), annHelper, "/home/x");
    EXPECT_EQ(replaced.root.find("/Users")->allocatedSize(), 7);
    EXPECT_EQ(replaced.root.allocatedSize(), 57);
    EXPECT_FALSE(replaced.root.find("/Users/ann/f"));
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
    ASSERT_EQ(users.children().size(), 3u);
    EXPECT_EQ(users.children()[2].path(), "/Users/.quillmere-aggregate-43");
    EXPECT_EQ(users.children()[2].name(), "43 more items");
    EXPECT_TRUE(output.deniedPaths.empty());
}

TEST(PrivilegedWalkMerge, LeavesFoldersDeniedWhenAWalkYieldsNothingUsable) {
    RecordingHelper helper;
    helper.answers["/Users/bob"].node = folderRecord("/Users/bobby", 5); // another folder
    helper.answers["/opt"].node =
        folderRecord("/opt", 5, {fileRecord("/etc/passwd", 1)});       // leaves its parent
    helper.answers["/nowhere/x"].node = folderRecord("/nowhere/x", 5); // no parent in the tree
    helper.throwsFor = "/srv";
    const DiskScanResult input = scanned(
        {denied("/Users/bob"), denied("/nowhere/x"), denied("/opt"), denied("/srv"), denied("/var/none")});
    const DiskScanResult output = augmentScanResult(input, helper, kHome);
    EXPECT_EQ(helper.asked, (Paths{"/opt", "/srv", "/var/none", "/Users/bob", "/nowhere/x"}));
    EXPECT_TRUE(output.root.sharesNodeWith(input.root));
    EXPECT_EQ(output.deniedPaths, input.deniedPaths);
    EXPECT_EQ(output.deniedBytesEstimate, input.deniedBytesEstimate);
}

TEST(PrivilegedWalkMerge, SendsNothingAfterAWalkRanOutOfTime) {
    const std::vector<DeniedPath> deniedPaths{denied("/etc/a"), denied("/opt"), denied("/Users/bob")};
    RecordingHelper helper;
    helper.answers["/opt"].timedOut = true;
    EXPECT_EQ(urls(augmentScanResult(scanned(deniedPaths), helper, kHome).deniedPaths),
              (Paths{"/etc/a", "/opt", "/Users/bob"}));
    EXPECT_EQ(helper.asked, (Paths{"/opt"}));

    RecordingHelper later; // what was grafted before the time ran out stays grafted
    later.answers["/opt"].node = folderRecord("/opt", 5);
    later.answers["/etc/a"].timedOut = true;
    EXPECT_EQ(urls(augmentScanResult(scanned(deniedPaths), later, kHome).deniedPaths),
              (Paths{"/etc/a", "/Users/bob"}));
    EXPECT_EQ(later.asked, (Paths{"/opt", "/etc/a"}));
}

TEST(PrivilegedWalkMerge, MergesAStoppedScanAndSaturatesTotals) {
    const FolderPath root = FolderPath::root("/");
    const DiskScanResult partial{
        .root =
            FileNode::folder(root, "/", {},
                             {FileNode::folder(root.child("Users"), "Users", {}, {}),
                              FileNode::under(root, "f", NodeFields{.allocatedSize = 1, .fileCount = 1})}),
        .deniedPaths = {denied("/Users/bob", 10), denied("/a", kMax), denied("/b", kMax)},
        .elapsedSeconds = 0.25};
    PrivilegedNode huge = folderRecord("/Users/bob", kMax);
    huge.folderCount = huge.fileCount = kMax;
    auto helper = std::make_shared<RecordingHelper>();
    helper->answers["/Users/bob"].node = huge;
    const DiskScanResult output = augmentScanResultInBackground(partial, helper, kHome).get();
    EXPECT_EQ(output.root.allocatedSize(), kMax);
    EXPECT_EQ(output.root.folderCount(), kMax);
    EXPECT_EQ(output.root.fileCount(), kMax);
    EXPECT_EQ(urls(output.deniedPaths), (Paths{"/a", "/b"}));
    EXPECT_EQ(output.deniedBytesEstimate, kMax);
    EXPECT_EQ(output.elapsedSeconds, 0.25);
}

TEST(PrivilegedNodeConversion, KeepsTheHelpersFiguresOrderAndNames) {
    PrivilegedNode root =
        folderRecord("/d/", 10, {fileRecord("/d/b", 7), folderRecord("/d/a", 3, {fileRecord("/d/a/x", 3)})});
    root.name = "d";
    root.children[0].name = "shown name";
    root.children.push_back(PrivilegedNode{
        .name = "2 more items", .path = "x", .folderCount = 1, .fileCount = 1, .isAggregate = true});
    const FileNode node = fileNodeFromPrivileged(root, "/");
    EXPECT_EQ(node.path(), "/d");
    EXPECT_EQ(node.allocatedSize(), 10); // as sent, though the children add up to 10 + 1
    EXPECT_EQ(node.modificationDate(), std::nullopt);
    ASSERT_EQ(node.children().size(), 3u);
    EXPECT_EQ(node.children()[0].path(), "/d/b");
    EXPECT_EQ(node.children()[0].name(), "shown name");
    EXPECT_EQ(node.children()[1].children()[0].path(), "/d/a/x");
    EXPECT_EQ(node.children()[2].path(), "/d/.quillmere-aggregate-2");
}

} // namespace
} // namespace quillmere
