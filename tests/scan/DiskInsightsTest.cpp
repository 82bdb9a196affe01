#include "scan/DiskInsights.hpp"

#include "TreeBuilders.hpp"
#include "platform/HostSystem.hpp"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using namespace DiskInsights;
using testing::file;
using testing::folder;
using Paths = std::vector<std::string>;

constexpr Date kNow = 1'700'000'000; // November 2023
constexpr Date kDay = 86'400;

FileNode dated(const std::string& path, int64_t size, Date date) {
    return file(path, size, false, false, date);
}

FileNode datedFolder(const std::string& path, std::optional<Date> date, std::vector<FileNode> children) {
    const FileNode::Totals t = FileNode::folderTotals(children);
    return FileNode(lastPathComponent(path), path, true, false, t.allocatedSize, false, false,
                    t.cloudOnlyCount, false, t.folderCount, t.fileCount, t.sharedBytesTotal, date,
                    std::move(children));
}

FileNode childless(const std::string& path, int64_t size, bool isAggregate = false) {
    return FileNode(lastPathComponent(path), path, !isAggregate, false, size, false, false, 0, isAggregate, 1,
                    0, 0, isAggregate ? std::nullopt : std::optional<Date>(kNow), {});
}

Paths paths(const std::vector<Item>& items) {
    Paths out;
    for (const Item& item : items)
        out.push_back(item.node.path());
    return out;
}

std::vector<Item> visited(const FileNode& root) {
    std::vector<Item> items;
    visitClassifiedItems(root, [&](Item item) { items.push_back(std::move(item)); });
    return items;
}

TEST(DiskInsights, WalkStopsAtClassifiedItemsAndSkipsExcludedSubtrees) {
    const FileNode sharedFolder("Linked", "/r/Linked", true, false, 9, true, false, 0, false, 1, 1, 9,
                                std::nullopt, {file("/r/Linked/big.mp4", 9)});
    const FileNode root =
        folder("/r", {folder("/r/a", {file("/r/a/x.mp3", 10), folder("/r/a/b", {file("/r/a/b/y.pdf", 20)})}),
                      folder("/r/Foo.app", {file("/r/Foo.app/bin", 30)}),
                      file("/r/cloud.mov", 50, false, true), file("/r/linked.mov", 7, true), sharedFolder,
                      file("/r/empty.txt", 0), folder("/r/node_modules", {}), file("/r/z.zip", 40)});
    EXPECT_EQ(paths(visited(root)), (Paths{"/r/a/x.mp3", "/r/a/b/y.pdf", "/r/Foo.app", "/r/z.zip"}));
    EXPECT_TRUE(visited(file("/r/lonely.mp4", 5)).empty());
}

TEST(DiskInsights, LargestItemsKeepTiesInWalkOrderAndLeaveUnnamedBytesOut) {
    std::vector<FileNode> photos;
    for (int i = 0; i < 100; ++i)
        photos.push_back(file("/r/Photos/p" + std::to_string(i) + ".jpg", 10));
    const FileNode root = folder(
        "/r", {folder("/r/Photos", photos), folder("/r/Foo.app", {file("/r/Foo.app/bin", 2000)}),
               childless("/r/Mounted", 9000), childless("/r/agg", 8000, true), file("/r/movie.mp4", 5000)});
    const std::vector<Item> largest = largestItems(root, 100);
    ASSERT_EQ(largest.size(), 100u);
    EXPECT_EQ(paths({largest.begin(), largest.begin() + 3}),
              (Paths{"/r/movie.mp4", "/r/Foo.app", "/r/Photos/p0.jpg"}));
    EXPECT_EQ(largest[1].kind, FileKind::applications);
    EXPECT_EQ(largest.back().node.path(), "/r/Photos/p97.jpg");
    EXPECT_TRUE(largestItems(root, 0).empty());
    EXPECT_TRUE(largestItems(root, -1).empty());
}

TEST(DiskInsights, ItemDatesIgnoreImplausibleClocksAndLookInsidePackages) {
    const Date earliest = kEarliestPlausibleDate;
    const FileNode app = datedFolder(
        "/r/Old.app", earliest + kDay,
        {datedFolder("/r/Old.app/Contents", std::nullopt, {dated("/r/Old.app/Contents/bin", 8, kNow - kDay)}),
         file("/r/Old.app/cloud", 1, false, true, kNow - 3600)}); // bytes elsewhere still date the package
    const FileNode root = folder("/r", {dated("/r/epoch.txt", 1, 0), dated("/r/start.txt", 1, earliest), app,
                                        childless("/r/Mounted", 4096),
                                        datedFolder("/r/x.app", 1e9, {dated("/r/x.app/f", 1, 5)})});
    const std::vector<Item> items = visited(root);
    ASSERT_EQ(items.size(), 5u);
    EXPECT_FALSE(items[0].modificationDate);
    EXPECT_EQ(items[1].modificationDate, earliest);
    EXPECT_EQ(items[2].modificationDate, kNow - 3600);
    EXPECT_FALSE(items[3].modificationDate);
    EXPECT_EQ(items[4].modificationDate, 1e9);
    EXPECT_FALSE(newestDate(dated("/nan", 1, std::nan(""))));
}

TEST(DiskInsights, KindBreakdownSumsEveryItemButListsOnlyNamedOnes) {
    const FileNode root = folder("/r", {file("/r/a.mp4", 300), file("/r/b.mov", 500), file("/r/c.png", 1100),
                                        childless("/r/Mounted", 1000), childless("/r/agg", 50, true),
                                        file("/r/zero.pdf", 0), file("/r/d.mkv", 300)});
    const KindBreakdown breakdown = kindBreakdown(root, 2);
    EXPECT_EQ(breakdown.totalBytes, 3250);
    ASSERT_EQ(breakdown.buckets.size(), 4u);
    // Equal bytes keep the kinds' declaration order, whatever the walk met first.
    EXPECT_EQ(breakdown.buckets[0].kind, FileKind::videos);
    EXPECT_EQ(breakdown.buckets[0].itemCount, 3);
    EXPECT_EQ(paths(breakdown.buckets[0].largestItems), (Paths{"/r/b.mov", "/r/a.mp4"}));
    EXPECT_EQ(breakdown.buckets[1].kind, FileKind::images);
    EXPECT_EQ(breakdown.buckets[2].kind, FileKind::unexplored);
    EXPECT_EQ(breakdown.buckets[2].itemCount, 1);
    EXPECT_TRUE(breakdown.buckets[2].largestItems.empty());
    EXPECT_EQ(breakdown.buckets[3].kind, FileKind::smallFiles);

    EXPECT_TRUE(kindBreakdown(root, 0).buckets[0].largestItems.empty());
    EXPECT_TRUE(kindBreakdown(folder("/e", {file("/e/zero.mp4", 0)}), 8).buckets.empty());
}

TEST(DiskInsights, AgeBandsFollowCalendarYearsBeforeNow) {
    const Date five = *platform::addingYears(kNow, -5);
    const Date two = *platform::addingYears(kNow, -2);
    const Date one = *platform::addingYears(kNow, -1);
    EXPECT_EQ(ageBand(std::nullopt, kNow), AgeBand::undated);
    EXPECT_EQ(ageBand(five - 1, kNow), AgeBand::overFiveYears);
    EXPECT_EQ(ageBand(five, kNow), AgeBand::twoToFiveYears);
    EXPECT_EQ(ageBand(two, kNow), AgeBand::oneToTwoYears);
    EXPECT_EQ(ageBand(one - 1, kNow), AgeBand::oneToTwoYears);
    EXPECT_EQ(ageBand(one, kNow), AgeBand::pastYear);
    EXPECT_EQ(ageBand(kNow + 365 * kDay, kNow), AgeBand::pastYear);
    EXPECT_EQ(ageBand(kNow, INFINITY), AgeBand::undated);
}

TEST(DiskInsights, AgeBreakdownAndUntouchedItemsUseTheItemsDates) {
    const FileNode app = datedFolder(
        "/r/Old.app", kNow - 3000 * kDay,
        {dated("/r/Old.app/a", 100, kNow - 4000 * kDay), dated("/r/Old.app/b", 100, kNow - kDay)});
    const FileNode root =
        folder("/r", {dated("/r/ancient.mp4", 1000, kNow - 3000 * kDay), app,
                      dated("/r/mid.pdf", 30, kNow - 1000 * kDay), dated("/r/epoch.txt", 7, 0),
                      childless("/r/Mounted", 4000), childless("/r/agg", 50, true),
                      dated("/r/older.zip", 2, kNow - 3500 * kDay)});
    const AgeBreakdown expected{.bytesByBand = {{AgeBand::overFiveYears, 1002},
                                                {AgeBand::twoToFiveYears, 30},
                                                {AgeBand::pastYear, 200},
                                                {AgeBand::undated, 4057}},
                                .totalBytes = 5289};
    EXPECT_EQ(ageBreakdown(root, kNow), expected);
    EXPECT_EQ(ageBreakdown(folder("/e", {}), kNow), AgeBreakdown{});

    // The app changed yesterday inside, so its old own date does not make it untouched.
    EXPECT_EQ(paths(untouchedItems(root, kNow - 900 * kDay)),
              (Paths{"/r/ancient.mp4", "/r/mid.pdf", "/r/older.zip"}));
    EXPECT_TRUE(untouchedItems(root, kNow - 3500 * kDay).empty());
}

// The bounded lists keep only the few items they show; they must come out as a stable sort of
// every item the walk visits would, ties included.
TEST(DiskInsights, BoundedListsEqualAStableSortOfTheWholeWalk) {
    constexpr const char* kExtensions[] = {"mov", "jpg", "zip", "pdf", "dat"};
    uint64_t seed = 7;
    const auto next = [&] {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return seed >> 33;
    };
    std::vector<FileNode> folders;
    for (int f = 0; f < 30; ++f) {
        const std::string base = "/r/d" + std::to_string(f);
        std::vector<FileNode> files;
        for (int i = 0; i < 40; ++i) {
            // Few distinct sizes, so ties are everywhere.
            const int64_t size = 100 * static_cast<int64_t>(next() % 6);
            const Date date = kNow - static_cast<double>(next() % 2000) * kDay;
            files.push_back(
                dated(base + "/f" + std::to_string(i) + "." + kExtensions[next() % 5], size, date));
        }
        files.push_back(datedFolder(base + "/P" + std::to_string(f) + ".app", kNow - 1500 * kDay,
                                    {dated(base + "/x", 100 * static_cast<int64_t>(1 + next() % 5),
                                           kNow - static_cast<double>(next() % 2000) * kDay)}));
        folders.push_back(folder(base, std::move(files)));
    }
    const FileNode root = folder("/r", std::move(folders));

    std::vector<Item> all = visited(root);
    std::erase_if(all, [](const Item& item) { return item.kind == FileKind::smallFiles; });
    std::stable_sort(all.begin(), all.end(), [](const Item& a, const Item& b) {
        return a.node.allocatedSize() > b.node.allocatedSize();
    });
    const auto firstOf = [](std::vector<Item> items, size_t count) {
        items.resize(std::min(count, items.size()));
        return items;
    };
    const auto same = [](const std::vector<Item>& got, const std::vector<Item>& expected) {
        EXPECT_EQ(paths(got), paths(expected));
        ASSERT_EQ(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].kind, expected[i].kind);
            EXPECT_EQ(got[i].modificationDate, expected[i].modificationDate);
        }
    };
    for (const size_t limit : {1u, 7u, 100u, 5000u})
        same(largestItems(root, static_cast<int64_t>(limit)), firstOf(all, limit));

    const KindBreakdown kinds = kindBreakdown(root, 3);
    for (const KindBucket& bucket : kinds.buckets) {
        std::vector<Item> ofKind;
        for (const Item& item : all)
            if (item.kind == bucket.kind) ofKind.push_back(item);
        same(bucket.largestItems, firstOf(ofKind, 3));
    }

    const Date cutoff = kNow - 1000 * kDay;
    std::vector<Item> untouched;
    for (const Item& item : all)
        if (item.modificationDate && *item.modificationDate < cutoff) untouched.push_back(item);
    same(largestUntouchedItems(root, cutoff, 9), firstOf(untouched, 9));
    EXPECT_EQ(largestUntouchedItems(root, cutoff, 100000).size(), untouchedItems(root, cutoff).size());
    EXPECT_TRUE(largestUntouchedItems(root, cutoff, 0).empty());
}

// A walk told to stop ends within a few thousand nodes, whatever is left of the tree; left
// alone, the same walks see every item.
TEST(DiskInsights, ACancelledWalkEndsEarly) {
    std::vector<FileNode> clips;
    for (int i = 0; i < 20'000; ++i)
        clips.push_back(dated("/r/c" + std::to_string(i) + ".mov", 10, kNow));
    const FileNode root = folder("/r", std::move(clips));
    std::atomic<bool> cancelled{false};
    EXPECT_EQ(largestItems(root, 50'000, &cancelled).size(), 20'000u);
    EXPECT_EQ(ageBreakdown(root, kNow, &cancelled).totalBytes, 200'000);
    cancelled = true;
    EXPECT_LT(largestItems(root, 50'000, &cancelled).size(), 5'000u);
    EXPECT_LT(kindBreakdown(root, 8, &cancelled).totalBytes, 50'000);
    EXPECT_LT(ageBreakdown(root, kNow, &cancelled).totalBytes, 50'000);
    EXPECT_LT(largestUntouchedItems(root, kNow + kDay, 50'000, &cancelled).size(), 5'000u);

    // The walk inside a package to date it counts too: a cancelled list of a few large build
    // folders neither walks them whole nor lists one with a date it did not finish reading.
    std::vector<FileNode> modules;
    for (int i = 0; i < 20'000; ++i)
        modules.push_back(dated("/p/node_modules/m" + std::to_string(i), 10, kNow - i));
    const FileNode project = folder("/p", {folder("/p/node_modules", std::move(modules))});
    EXPECT_TRUE(largestItems(project, 100, &cancelled).empty());
    cancelled = false;
    const std::vector<Item> whole = largestItems(project, 100, &cancelled);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].modificationDate, kNow);
}

TEST(DiskInsights, DeepTreesAreWalkedWithoutRecursion) {
    std::vector<FolderPath> levels{FolderPath::root("/deep/d")};
    for (int i = 1; i < 100000; ++i)
        levels.push_back(levels.back().child("d"));
    FileNode chain =
        FileNode::under(levels.back(), "leaf.mp4", NodeFields{.allocatedSize = 7, .modificationDate = kNow});
    for (auto level = levels.rbegin(); level != levels.rend(); ++level)
        chain = FileNode::folder(*level, "d", std::nullopt, {chain});
    levels.clear();

    const std::vector<Item> items = visited(folder("/deep", {chain}));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].node.name(), "leaf.mp4");
    const std::vector<Item> packaged =
        largestItems(folder("/deep", {datedFolder("/deep/Deep.app", 1e9, {chain})}), 9);
    ASSERT_EQ(packaged.size(), 1u);
    EXPECT_EQ(packaged[0].modificationDate, kNow);
}

} // namespace
} // namespace quillmere
