#include "ScanTestSupport.hpp"
#include "TreeBuilders.hpp"
#include "base/Format.hpp"
#include "scan/LinkedBytes.hpp"
#include "scan/ScanReport.hpp"

#include <condition_variable>
#include <filesystem>
#include <map>
#include <sstream>

namespace quillmere {
namespace {

using testing::allocatedBytes;
using testing::childNamed;
using testing::expectConsistentTree;
using testing::FakeHost;
using testing::ScratchFolder;
using testing::writeFile;

DiskScanResult scanOf(const DiskScanner& scanner, const std::string& root) {
    std::optional<DiskScanResult> result = scanner.scanToEnd(root, true, "/nonexistent-home");
    EXPECT_TRUE(result) << root;
    return result ? std::move(*result) : DiskScanResult{};
}

void link(const std::string& from, const std::string& to) {
    std::filesystem::create_directories(std::filesystem::path(to).parent_path());
    std::filesystem::create_hard_link(from, to);
}

// Every folder's allocated size, by path.
std::map<std::string, int64_t> folderTotals(const FileNode& root) {
    std::map<std::string, int64_t> totals;
    for (const auto& [path, fields] : testing::fieldsByPath(root))
        if (fields.isDirectory) totals[path] = fields.allocatedSize;
    return totals;
}

TEST(LinkOwnership, EveryScanGivesTheBytesToThePathThatSortsFirst) {
    ScratchFolder scratch;
    const std::string root = scratch.path();
    // Links of each file in three folders; "a-b" sorts before "a/" byte for byte ('-' < '/').
    int64_t linkedBytes = 0;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "file" + std::to_string(i);
        writeFile(root + "/c/" + name, 8192 + 4096 * static_cast<size_t>(i % 3));
        linkedBytes += allocatedBytes(root + "/c/" + name);
        link(root + "/c/" + name, root + "/b/sub/" + name);
        link(root + "/c/" + name, root + "/a-b/" + name);
    }
    // In one folder: "Zed" (0x5A) before "éclair" (0xC3 0xA9), whatever a locale would say.
    writeFile(root + "/mixed/\xc3\xa9"
                     "clair",
              20000);
    link(root + "/mixed/\xc3\xa9"
                "clair",
         root + "/mixed/Zed");
    // Each folder also holds bytes of its own, so that none is folded away.
    for (const char* folder : {"/a-b", "/b", "/b/sub", "/c", "/mixed"})
        writeFile(root + folder + "/own", 1 << 20);
    writeFile(root + "/plain", 100000);
    const int64_t own = allocatedBytes(root + "/a-b/own");

    std::optional<std::map<std::string, int64_t>> first;
    for (int scan = 0; scan < 12; ++scan) {
        const DiskScanResult result = scanOf(DiskScanner(), root);
        expectConsistentTree(result.root);
        const std::map<std::string, int64_t> totals = folderTotals(result.root);
        if (!first) {
            first = totals;
            EXPECT_EQ(totals.at(root + "/a-b"), linkedBytes + own);
            EXPECT_EQ(totals.at(root + "/b"), 2 * own);
            EXPECT_EQ(totals.at(root + "/c"), own);
            const FileNode* mixed = childNamed(result.root, "mixed");
            ASSERT_NE(mixed, nullptr);
            const FileNode* zed = childNamed(*mixed, "Zed");
            const FileNode* eclair = childNamed(*mixed, "\xc3\xa9"
                                                        "clair");
            ASSERT_TRUE(zed && eclair);
            EXPECT_FALSE(zed->isSharedElsewhere());
            EXPECT_TRUE(eclair->isSharedElsewhere());
            EXPECT_EQ(result.root.allocatedSize(), linkedBytes + 5 * own + allocatedBytes(root + "/plain") +
                                                       allocatedBytes(root + "/mixed/Zed"));
            EXPECT_EQ(result.root.sharedBytesTotal(), 2 * linkedBytes + allocatedBytes(root + "/mixed/Zed"));
        }
        EXPECT_EQ(totals, *first) << "scan " << scan + 1 << " moved bytes between folders";
    }
}

TEST(LinkOwnership, TheFirstLinkMetNeedNotOwnIt) {
    ScratchFolder scratch;
    const std::string root = scratch.path();
    writeFile(root + "/b/met-first", 50000);
    link(root + "/b/met-first", root + "/a/deep/owner");
    writeFile(root + "/a/deep/own", 1 << 20);
    writeFile(root + "/b/own", 1 << 20);
    // The walk may meet "owner" only once "met-first" has been sized.
    FakeHost host;
    std::mutex lock;
    std::condition_variable sized;
    bool firstSized = false;
    host.onStat = [&](const std::string& name) {
        std::unique_lock guard(lock);
        if (name == "met-first") {
            firstSized = true;
            sized.notify_all();
        } else if (name == "owner") {
            // Bounded so that a pool of one thread cannot hang here.
            sized.wait_for(guard, std::chrono::seconds(30), [&] { return firstSized; });
        }
    };
    const DiskScanResult result = scanOf(DiskScanner(200, host), root);
    ASSERT_TRUE(firstSized);
    const std::optional<FileNode> owner = result.root.find(root + "/a/deep/owner");
    const std::optional<FileNode> other = result.root.find(root + "/b/met-first");
    ASSERT_TRUE(owner && other);
    EXPECT_FALSE(owner->isSharedElsewhere());
    EXPECT_TRUE(other->isSharedElsewhere());
    EXPECT_EQ(childNamed(result.root, "a")->allocatedSize(),
              allocatedBytes(root + "/b/met-first") + allocatedBytes(root + "/b/own"));
}

TEST(LinkOwnership, AnOwnerInsideAFoldedFolderCountsInTheAggregate) {
    ScratchFolder scratch;
    const std::string root = scratch.path();
    writeFile(root + "/big", 20 << 20);
    // Each folder holds only links, so the walk sizes it at 0 and folds it.
    writeFile(root + "/tiny/x", 4096);
    link(root + "/tiny/x", root + "/zz/x");
    writeFile(root + "/other/y", 4096);
    link(root + "/other/y", root + "/zz/y");
    const DiskScanResult result = scanOf(DiskScanner(), root);
    expectConsistentTree(result.root);
    const FileNode* aggregate = nullptr;
    for (const FileNode& child : result.root.children())
        if (child.isAggregate()) aggregate = &child;
    ASSERT_NE(aggregate, nullptr);
    EXPECT_EQ(aggregate->folderCount(), 3);
    EXPECT_EQ(aggregate->allocatedSize(), 2 * allocatedBytes(root + "/tiny/x"));
    EXPECT_EQ(aggregate->sharedBytesTotal(), 2 * allocatedBytes(root + "/tiny/x"));
    EXPECT_EQ(result.root.allocatedSize(),
              allocatedBytes(root + "/big") + 2 * allocatedBytes(root + "/tiny/x"));

    // The report shows the same total as the tree the window is given.
    std::ostringstream report;
    printScanSummary(report, root, result);
    EXPECT_NE(report.str().find("Total: " + formatByteCount(result.root.allocatedSize()) + "\n"),
              std::string::npos)
        << report.str();
}

TEST(LinkOwnership, SettlingATreeSomebodyElseHoldsLeavesTheirCopyAsItWas) {
    using testing::file;
    using testing::folder;
    const FileNode walked = folder("/r", {folder("/r/a", {file("/r/a/l", 8192, true), file("/r/a/m", 100)}),
                                          folder("/r/b", {file("/r/b/l", 8192, true)})});
    const std::vector<SharingRegistry::LinkOwner> owners{{.path = "/r/a/l", .bytes = 8192}};
    const FileNode settled = withLinkedBytesOwned(walked, owners);
    EXPECT_EQ(settled.allocatedSize(), 8192 + 100);
    EXPECT_EQ(settled.sharedBytesTotal(), 8192);
    EXPECT_FALSE(childNamed(*childNamed(settled, "a"), "l")->isSharedElsewhere());
    // The tree handed in is another holder's: it is as the walk left it.
    EXPECT_EQ(walked.allocatedSize(), 100);
    EXPECT_EQ(walked.sharedBytesTotal(), 2 * 8192);
    EXPECT_TRUE(childNamed(*childNamed(walked, "a"), "l")->isSharedElsewhere());
    EXPECT_TRUE(settled.children()[1].sharesNodeWith(walked.children()[1]));

    // Settled in place, a tree nobody else holds comes out the same.
    FileNode alone = folder("/r", {folder("/r/a", {file("/r/a/l", 8192, true), file("/r/a/m", 100)}),
                                   folder("/r/b", {file("/r/b/l", 8192, true)})});
    const FileNode inPlace = withLinkedBytesOwned(std::move(alone), owners);
    expectConsistentTree(inPlace);
    EXPECT_EQ(folderTotals(inPlace), folderTotals(settled));
    EXPECT_EQ(inPlace.fields(), settled.fields());

    // Two owners inside one folder that was folded away both count in the aggregate.
    const FileNode aggregate("small", "/r/small", false, false, 0, false, false, 0, true, 1, 2, 2 * 8192,
                             std::nullopt, {});
    const FileNode folded = folder("/r", {aggregate, file("/r/big", 1 << 20)});
    const FileNode both =
        withLinkedBytesOwned(folded, {{.path = "/r/f/p", .bytes = 8192},
                                      {.path = "/r/f/q", .bytes = 8192, .countedElsewhere = 4096}});
    EXPECT_EQ(both.children()[0].allocatedSize(), 8192 + 4096);
    EXPECT_EQ(both.children()[0].sharedBytesTotal(), 0);
    EXPECT_EQ(both.allocatedSize(), (1 << 20) + 8192 + 4096);

    // Many owners in one wide folder are found by name as surely as a few.
    std::vector<FileNode> wide;
    std::vector<SharingRegistry::LinkOwner> many;
    for (int i = 0; i < 400; ++i) {
        const std::string path = "/w/f" + std::to_string(i);
        wide.push_back(file(path, 4096, true));
        if (i % 4 != 0) many.push_back({.path = path, .bytes = 4096});
    }
    // Among them, a subfolder holding owners of its own, and owners folded into the aggregate.
    wide.push_back(folder("/w/sub", {file("/w/sub/x", 4096, true), file("/w/sub/y", 4096, true)}));
    many.push_back({.path = "/w/sub/x", .bytes = 4096});
    many.push_back({.path = "/w/sub/y", .bytes = 4096, .countedElsewhere = 1024});
    wide.push_back(FileNode("small", "/w/small", false, false, 0, false, false, 0, true, 1, 2, 2 * 4096,
                            std::nullopt, {}));
    many.push_back({.path = "/w/folded-a", .bytes = 4096});
    many.push_back({.path = "/w/folded-b", .bytes = 4096});
    const FileNode wideSettled = withLinkedBytesOwned(folder("/w", std::move(wide)), many);
    expectConsistentTree(wideSettled);
    EXPECT_EQ(childNamed(wideSettled, "sub")->allocatedSize(), 4096 + 3072);
    EXPECT_EQ(wideSettled.children().back().allocatedSize(), 2 * 4096);
    EXPECT_EQ(wideSettled.allocatedSize(), 300 * 4096 + 4096 + 3072 + 2 * 4096);
    EXPECT_EQ(wideSettled.sharedBytesTotal(), 100 * 4096);
}

TEST(LinkOwnership, OwnersSpreadOverManyFoldersAreSettledAsOneByOneWould) {
    using testing::file;
    using testing::folder;
    // Enough owners below each folder of the first levels that they are settled side by side:
    // the result must be the tree built with every owner's bytes counted from the start.
    const auto build = [](bool settled, std::vector<SharingRegistry::LinkOwner>* owners) {
        std::vector<FileNode> top;
        for (int t = 0; t < 6; ++t) {
            const std::string topPath = "/r/t" + std::to_string(t);
            std::vector<FileNode> middle;
            for (int m = 0; m < 5; ++m) {
                const std::string middlePath = topPath + "/m" + std::to_string(m);
                std::vector<FileNode> leaves{file(middlePath + "/own", 1000)};
                for (int l = 0; l < 100; ++l) {
                    const std::string path = middlePath + "/l" + std::to_string(l);
                    const bool owned = l % 3 != 0;
                    const int64_t elsewhere = l % 5 == 0 ? 4096 : 0;
                    if (owned && owners)
                        owners->push_back({.path = path, .bytes = 8192, .countedElsewhere = elsewhere});
                    leaves.push_back(owned && settled ? file(path, 8192 - elsewhere)
                                                      : file(path, 8192, true));
                }
                middle.push_back(folder(middlePath, std::move(leaves)));
            }
            top.push_back(folder(topPath, std::move(middle)));
        }
        top.push_back(file("/r/loose", 500));
        return folder("/r", std::move(top));
    };
    std::vector<SharingRegistry::LinkOwner> owners;
    const FileNode walked = build(false, &owners);
    const FileNode expected = build(true, nullptr);
    ASSERT_EQ(owners.size(), 6u * 5u * 66u);

    const FileNode held = withLinkedBytesOwned(walked, owners);
    EXPECT_EQ(testing::fieldsByPath(held), testing::fieldsByPath(expected));
    EXPECT_EQ(walked.sharedBytesTotal(), 6 * 5 * 100 * 8192); // another holder's copy is untouched
    const FileNode inPlace = withLinkedBytesOwned(build(false, nullptr), owners);
    expectConsistentTree(inPlace);
    EXPECT_EQ(testing::fieldsByPath(inPlace), testing::fieldsByPath(expected));
}

} // namespace
} // namespace quillmere
