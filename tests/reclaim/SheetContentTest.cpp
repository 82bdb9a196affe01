#include "reclaim/SheetContent.hpp"

#include "reclaim/SheetTestSupport.hpp"
#include "scan/TreeBuilders.hpp"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

using namespace testing;
using Group = LeftoverItem::Group;
using Row = SheetContent::Row;

std::vector<std::string> ids(const SheetContent& content) {
    std::vector<std::string> out;
    for (const Row& row : content.rows)
        out.push_back(row.id);
    return out;
}

FileNode folderWith(const std::string& path, int64_t folders, int64_t files, int64_t size = 4096,
                    int64_t cloudOnly = 0, std::vector<FileNode> children = {}) {
    return FileNode(std::string(lastPathComponent(path)), path, true, false, size, false, false, cloudOnly,
                    false, folders, files, 0, std::nullopt, std::move(children));
}

TEST(NodeSheetContent, SummaryCountsFoldersBelowTheNodeAndGroupsDigits) {
    EXPECT_EQ(nodeSummary(folderWith("/d/Work", 2, 1)),
              "1 folder and 1 file, at /d/Work. They stay in the Trash until you empty it, so you can put "
              "them back.");
    EXPECT_EQ(nodeSummary(folderWith("/d/Flat", 1, 3)).substr(0, 24), "0 folders and 3 files, a");
    // A count that cannot go below zero even when the folder's own count is missing.
    EXPECT_EQ(nodeSummary(folderWith("/d/Odd", 0, 0)).substr(0, 23), "0 folders and 0 files, ");
    EXPECT_EQ(nodeSummary(folderWith("/d/Big/", 1, 1500)).substr(0, 37),
              "0 folders and 1,500 files, at /d/Big.");
    EXPECT_EQ(nodeSummary(file("/d/a.mov", 10)),
              "At /d/a.mov. It stays in the Trash until you empty it, so you can put it back.");
}

TEST(NodeSheetContent, ListsTheThreeLargestRealChildrenWithCloudRowAndFinePrint) {
    std::vector<FileNode> children;
    for (int i = 0; i < 10; ++i)
        children.push_back(file("/d/F/c" + std::to_string(i), i % 4 * 100));
    const FileNode aggregate("12 small files", "/d/F/(small)", false, false, 9000, false, false, 0, true, 0,
                             12, 0, std::nullopt, {});
    children.push_back(aggregate);
    const SheetContent content = nodeSheetContent(folderWith("/d/F", 1, 10, 2000, 2, children));
    // c3 and c7 are equal: they keep their order; the aggregate is never listed.
    EXPECT_EQ(ids(content), (std::vector<std::string>{"/d/F/c3", "/d/F/c7", "/d/F/c2", "cloud-only"}));
    EXPECT_EQ(content.rows[0], (Row{"/d/F/c3", "c3", "300 bytes"}));
    EXPECT_EQ(content.rows[3],
              (Row{"cloud-only", "2 files that live only in iCloud", "not counted", true, {}}));
    ASSERT_TRUE(content.finePrint);
    EXPECT_EQ(content.reclaimableBytes, 2000);
    EXPECT_EQ(content.title, "Move \u201cF\u201d to the Trash?");
    EXPECT_EQ(content.confirmLabel, "Move to Trash");
    EXPECT_EQ(content.successHeadline, "Moved to the Trash");
    EXPECT_EQ(content.failureHeadline, "Couldn't move \u201cF\u201d to the Trash");

    const SheetContent one = nodeSheetContent(folderWith("/d/G", 1, 0, 0, 1, {aggregate}));
    EXPECT_EQ(ids(one), (std::vector<std::string>{"cloud-only"}));
    EXPECT_EQ(one.rows[0].name, "1 file that lives only in iCloud");
    const SheetContent none = nodeSheetContent(folderWith("/d/H", 1, 0, 0, 0, {aggregate}));
    EXPECT_TRUE(none.rows.empty());
    EXPECT_FALSE(none.finePrint);
}

TEST(NodeSheetContent, NegativeSizesShowAsZeroWhileTheTotalKeepsThem) {
    const SheetContent content = nodeSheetContent(folderWith("/d/N", 1, 1, -5, 0, {file("/d/N/x", -5)}));
    EXPECT_EQ(content.rows.at(0).sizeText, "Zero KB");
    EXPECT_EQ(content.reclaimableBytes, -5);
}

TEST(NodePreview, KeepsStableOrderAndHonoursTheLimit) {
    std::vector<FileNode> children{file("/p/a", 5), file("/p/b", 7), file("/p/c", 7), file("/p/d", 1)};
    const FileNode node = folderWith("/p", 1, 4, 20, 3, children);
    const NodePreview preview = nodePreview(node, 2);
    ASSERT_EQ(preview.children.size(), 2u);
    EXPECT_EQ(preview.children[0].path(), "/p/b");
    EXPECT_EQ(preview.children[1].path(), "/p/c");
    EXPECT_EQ(preview.bytes, 20);
    EXPECT_EQ(preview.cloudOnlyCount, 3);
    EXPECT_EQ(nodePreview(node, 10).children.size(), 4u);
    EXPECT_TRUE(nodePreview(node, 0).children.empty());
}

TEST(NodePreview, SmallAndLargeLimitsAgreeWithAStableSort) {
    std::vector<FileNode> children;
    for (int i = 0; i < 60; ++i)
        children.push_back(file("/q/c" + std::to_string(i), (i * 7) % 9));
    const FileNode node = folderWith("/q", 1, 60, 0, 0, children);
    std::vector<FileNode> sorted = children;
    std::stable_sort(sorted.begin(), sorted.end(), [](const FileNode& a, const FileNode& b) {
        return a.allocatedSize() > b.allocatedSize();
    });
    for (const std::size_t limit : {std::size_t(3), std::size_t(32), std::size_t(33), std::size_t(60)}) {
        const NodePreview preview = nodePreview(node, limit);
        ASSERT_EQ(preview.children.size(), limit);
        for (std::size_t i = 0; i < limit; ++i)
            EXPECT_EQ(preview.children[i].path(), sorted[i].path()) << limit;
    }
}

SystemDataReclaimAction twoItems() {
    return SystemDataReclaimAction::wholeItems(
        {{"/b/phone", "Phone backup", 300}, {"/b/tablet", "Tablet backup", -1}});
}

TEST(SystemDataSheetContent, OneCategoryNamesItsItemsOnlyWhenItMovesTwoOrMore) {
    const SheetContent two =
        systemDataSheetContent({category("ios-device-backups", "Device backups", 299, twoItems())});
    EXPECT_EQ(two.title, "Reclaim \u201cDevice backups\u201d?");
    EXPECT_EQ(two.summary, "About Device backups.");
    EXPECT_EQ(two.rows, (std::vector<Row>{{"/b/phone", "Phone backup", "300 bytes"},
                                          {"/b/tablet", "Tablet backup", "Zero KB"}}));
    EXPECT_EQ(two.failureHeadline, "Couldn't reclaim \u201cDevice backups\u201d");
    EXPECT_EQ(two.reclaimableBytes, 299);
    EXPECT_EQ(two.confirmLabel, "Reclaim");
    EXPECT_EQ(two.successHeadline, "Reclaimed");
    EXPECT_FALSE(two.finePrint);

    const auto one = SystemDataReclaimAction::wholeItems({{"/b/phone", "Phone backup", 300}});
    EXPECT_TRUE(systemDataSheetContent({category("x", "X", 1, one)}).rows.empty());
    EXPECT_TRUE(
        systemDataSheetContent({category("x", "X", 1, SystemDataReclaimAction::directoryContents("/c"))})
            .rows.empty());
    EXPECT_TRUE(systemDataSheetContent({category("x", "X", 1)}).rows.empty());
}

TEST(SystemDataSheetContent, OtherCountsListEveryCategoryUnderOnePluralSummary) {
    const SheetContent none = systemDataSheetContent({});
    EXPECT_EQ(none.title, "Reclaim all safe items?");
    EXPECT_EQ(none.summary,
              "0 items the system won't reclaim on its own \u2014 every one of them safe to remove.");
    EXPECT_TRUE(none.rows.empty());
    EXPECT_EQ(none.reclaimableBytes, 0);
    EXPECT_EQ(none.failureHeadline, "Couldn't reclaim everything");

    const SheetContent two = systemDataSheetContent(
        {category("user-caches", "User caches", 2000), category("mail-downloads", "Mail downloads", -30)});
    EXPECT_EQ(two.summary.substr(0, 8), "2 items ");
    EXPECT_EQ(two.rows, (std::vector<Row>{{"user-caches", "User caches", "2 KB"},
                                          {"mail-downloads", "Mail downloads", "Zero KB"}}));
    EXPECT_EQ(two.reclaimableBytes, 1970);
}

LeftoverAttribution attribution(std::vector<LeftoverItem> items) {
    return LeftoverAttribution{app("Tide"), std::move(items), 0};
}

TEST(AppUninstallSheetContent, ListsBundleTickedThenCollapsedThenKeptRows) {
    const auto items = attribution({
        leftover("Tide.app", "/opt/Tide.app", Group::application, 500),
        leftover("Second.app", "/opt/Second.app", Group::application, 900),
        leftover("Loops", "/h/Loops", Group::soundLibrariesAndContent, 40),
        leftover("Samples", "/h/Samples", Group::soundLibrariesAndContent, 80, "Wave"),
        leftover("Support", "/h/Support", Group::supportAndContainers, 10),
        leftover("Prefs", "/h/prefs.plist", Group::cachesPreferencesAndState, 30),
        leftover("Cache", "/h/Cache", Group::cachesPreferencesAndState, 7),
        leftover("Shared", "/h/Shared", Group::supportAndContainers, 60, "Wave"),
    });
    const SheetContent content = appUninstallSheetContent(
        app("Tide"), items, {"/h/Loops", "/h/Samples", "/h/Support", "/h/prefs.plist", "/opt/Second.app"});
    EXPECT_EQ(ids(content), (std::vector<std::string>{"/opt/Tide.app", "/h/Samples", "/h/Loops",
                                                      "collapsed-leftovers", "/h/Shared", "/h/Cache"}));
    EXPECT_EQ(content.rows[3].name, "Prefs, Support");
    EXPECT_EQ(content.rows[3].sizeText, "40 bytes");
    EXPECT_FALSE(content.rows[3].isKept);
    EXPECT_TRUE(content.rows[4].isKept);
    EXPECT_EQ(content.rows[4].keptReason,
              "Wave also uses that content, so it isn\u2019t going anywhere and isn\u2019t in the total.");
    EXPECT_EQ(content.rows[5].keptReason, "You didn\u2019t select this, so it\u2019s staying put.");
    // The bundle, Loops, Support and Prefs; the shared Samples moves but is not counted.
    EXPECT_EQ(content.reclaimableBytes, 500 + 40 + 10 + 30);
    EXPECT_EQ(content.title, "Move Tide and 4 related items to the Trash?");
    EXPECT_EQ(content.summary, "Everything goes in one action. It stays in the Trash until you empty it.");
    EXPECT_EQ(content.failureHeadline, "Couldn\u2019t move \u201cTide\u201d to the Trash");
    EXPECT_EQ(content.confirmLabel, "Move to Trash");
}

TEST(AppUninstallSheetContent, OneTickedSupportItemKeepsItsOwnRowAndNothingTickedKeepsAll) {
    const auto items = attribution({
        leftover("Support", "/h/Support", Group::supportAndContainers, 10),
        leftover("Cache", "/h/Cache", Group::cachesPreferencesAndState, 70),
    });
    const SheetContent one = appUninstallSheetContent(app("Tide"), items, {"/h/Support"});
    EXPECT_EQ(ids(one), (std::vector<std::string>{"/h/Support", "/h/Cache"}));
    EXPECT_EQ(one.title, "Move Tide and 1 related item to the Trash?");
    EXPECT_EQ(one.reclaimableBytes, 10); // no application item

    const SheetContent none = appUninstallSheetContent(app("Tide"), items, {});
    EXPECT_EQ(none.title, "Move Tide and 0 related items to the Trash?");
    EXPECT_TRUE(none.rows[0].isKept && none.rows[1].isKept);
    EXPECT_EQ(none.rows[0].id, "/h/Cache");
    EXPECT_EQ(none.reclaimableBytes, 0);
}

TEST(AppUninstallSheetContent, TicksMatchByteForByte) {
    // "é" precomposed in the item, decomposed in the tick: two different files.
    const auto items = attribution({leftover("Caf\u00e9", "/h/Caf\u00e9", Group::supportAndContainers, 10)});
    const SheetContent content = appUninstallSheetContent(app("Tide"), items, {"/h/Cafe\u0301"});
    ASSERT_EQ(content.rows.size(), 1u);
    EXPECT_TRUE(content.rows[0].isKept);
}

TEST(AppCachesSheetContent, ListsEveryItemLargestFirst) {
    const SheetContent content =
        appCachesSheetContent(app("Tide"), {leftover("A", "/c/a", Group::cachesPreferencesAndState, 5),
                                            leftover("B", "/c/b", Group::cachesPreferencesAndState, 9),
                                            leftover("C", "/c/c", Group::cachesPreferencesAndState, 5)});
    EXPECT_EQ(ids(content), (std::vector<std::string>{"/c/b", "/c/a", "/c/c"}));
    EXPECT_EQ(content.reclaimableBytes, 19);
    EXPECT_EQ(content.title, "Clear Tide\u2019s caches?");
    EXPECT_EQ(content.summary,
              "Tide stays installed. These are files it can rebuild, so the space comes back now and "
              "the app fills what it needs again the next time you open it.");
    EXPECT_EQ(content.successHeadline, "Caches moved to the Trash");
    EXPECT_EQ(content.failureHeadline, "Couldn\u2019t move every cache to the Trash");
}

TEST(AppItemsSheetContent, ListsTheItemsButNeverTheApplicationAndCountsOnlyUnsharedBytes) {
    const SheetContent content = appItemsSheetContent(
        app("GIMP", "/flatpak/app/org.gimp.GIMP", 900),
        {leftover("org.gimp.GIMP", "/flatpak/app/org.gimp.GIMP", Group::application, 900),
         leftover("cache", "/h/.var/app/org.gimp.GIMP/cache", Group::cachesPreferencesAndState, 5),
         leftover("data", "/h/.var/app/org.gimp.GIMP/data", Group::supportAndContainers, 9, "GIMP (user)")});
    EXPECT_EQ(ids(content), (std::vector<std::string>{"/h/.var/app/org.gimp.GIMP/data",
                                                      "/h/.var/app/org.gimp.GIMP/cache"}));
    EXPECT_EQ(content.reclaimableBytes, 5);
    EXPECT_EQ(content.title, "Move 2 items from GIMP to the Trash?");
    EXPECT_EQ(content.summary, "Everything goes in one action. It stays in the Trash until you empty it.");
    EXPECT_EQ(content.confirmLabel, "Move to Trash");
    EXPECT_EQ(content.failureHeadline, "Couldn\u2019t move everything to the Trash");
    EXPECT_EQ(
        appItemsSheetContent(app("GIMP"), {leftover("c", "/c", Group::cachesPreferencesAndState, 1)}).title,
        "Move 1 item from GIMP to the Trash?");
}

TEST(OrphanGroupSheetContent, ListsOnlyTickedEntriesUnderTheGroupsName) {
    OrphanLeftoverGroup group;
    group.evidence = "com.gone.tool";
    group.entries = {orphan("a", "/o/a", 3), orphan("b", "/o/b", 8), orphan("c", "/o/c", 1)};
    const SheetContent content = orphanGroupSheetContent(group, {"/o/a", "/o/b"});
    EXPECT_EQ(ids(content), (std::vector<std::string>{"/o/b", "/o/a"}));
    EXPECT_EQ(content.reclaimableBytes, 11);
    EXPECT_EQ(content.title, "Move 2 items from com.gone.tool to the Trash?");
    EXPECT_EQ(content.failureHeadline, "Couldn\u2019t move everything to the Trash");

    group.guessedAppName = "Gone";
    const SheetContent none = orphanGroupSheetContent(group, {});
    EXPECT_EQ(none.title, "Move 0 items from Gone to the Trash?");
    EXPECT_TRUE(none.rows.empty());
    EXPECT_EQ(none.reclaimableBytes, 0);
    EXPECT_EQ(orphanGroupSheetContent(group, {"/o/c"}).title, "Move 1 item from Gone to the Trash?");
}

} // namespace
} // namespace quillmere
