#include "views/SunburstLayout.hpp"

#include "ViewsTestSupport.hpp"

#include <gtest/gtest.h>
#include <map>

namespace quillmere::views {
namespace {

using test::aggregate;
using test::file;
using test::folder;

std::vector<SunburstSegment> build(const FileNode& root) {
    std::vector<SunburstSegment> out;
    SunburstLayout::appendSegments(root.children(), 0, "root", {}, out, 0, 1, 1, test::fakeMeasurer());
    return out;
}

const SunburstSegment& byID(const std::vector<SunburstSegment>& segments, const std::string& id) {
    for (const auto& s : segments)
        if (s.id == id) return s;
    throw std::runtime_error("no arc " + id);
}

TEST(SunburstLayoutBuilder, SharesOfTheTurnAndHuesFollowSizes) {
    const auto one = build(folder("/r", {file("/r/a", 5)}));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].id, "root/0");
    EXPECT_EQ(one[0].startFraction, 0.0);
    EXPECT_EQ(one[0].endFraction, 1.0);

    const auto two = build(folder("/r", {file("/r/small", 400), file("/r/big", 600)}));
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].name, "big");
    EXPECT_DOUBLE_EQ(two[0].endFraction, 0.6);
    EXPECT_EQ(two[1].startFraction, two[0].endFraction);
    EXPECT_EQ(two[1].endFraction, 1.0);
    EXPECT_NEAR(two[0].hue, 29.8, 1e-12);
    EXPECT_NEAR(two[1].hue, 2.8, 1e-12);
    EXPECT_EQ(two[0].saturation, 0.88);
    EXPECT_EQ(two[0].brightness, 0.53);

    EXPECT_EQ(SunburstLayout::hue(0, 1), 46);
    EXPECT_EQ(SunburstLayout::hue(1.5, 1), -8);
    EXPECT_EQ(SunburstLayout::hue(0.5, 0), 46);
    EXPECT_DOUBLE_EQ(SunburstLayout::hue(0.25, 0.5), 19);
}

TEST(SunburstLayoutBuilder, PoolsArcsBelowTheThresholdAlsoInNarrowParents) {
    // 19 of 10,000 is 0.0019 of the turn: pooled under the single child's own name.
    const auto pooled = build(folder("/r", {file("/r/big", 9981), file("/r/tiny", 19)}));
    ASSERT_EQ(pooled.size(), 2u);
    EXPECT_EQ(pooled[1].id, "root/overflow");
    EXPECT_TRUE(pooled[1].isOverflow);
    EXPECT_EQ(pooled[1].name, "tiny");
    EXPECT_FALSE(pooled[1].node);
    EXPECT_EQ(pooled[1].allocatedSize, 19);
    EXPECT_EQ(pooled[1].endFraction, 1.0);
    // 20 of 10,000 is exactly 0.002: its own arc.
    const auto own = build(folder("/r", {file("/r/big", 9980), file("/r/tiny", 20)}));
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(own[1].id, "root/1");
    EXPECT_FALSE(own[1].isOverflow);

    // In a parent of half a turn the threshold applies to the share of the turn, not of the parent.
    std::vector<SunburstSegment> narrow;
    const FileNode half = folder("/r/h", {file("/r/h/big", 9962), file("/r/h/tiny", 38)});
    SunburstLayout::appendSegments(half.children(), 1, "root/0", {half}, narrow, 0.5, 1, 1,
                                   test::fakeMeasurer());
    ASSERT_EQ(narrow.size(), 2u);
    EXPECT_TRUE(narrow[1].isOverflow);
    EXPECT_EQ(narrow[1].id, "root/0/overflow");
    narrow.clear();
    const FileNode half2 = folder("/r/h", {file("/r/h/big", 9960), file("/r/h/tiny", 40)});
    SunburstLayout::appendSegments(half2.children(), 1, "root/0", {half2}, narrow, 0.5, 1, 1,
                                   test::fakeMeasurer());
    ASSERT_EQ(narrow.size(), 2u);
    EXPECT_EQ(narrow[1].id, "root/0/1");
    EXPECT_EQ(narrow[1].ancestors.size(), 1u);

    std::vector<FileNode> many{file("/r/big", 100000)};
    for (int i = 0; i < 17; ++i)
        many.push_back(file("/r/t" + std::to_string(i), 1));
    const auto more = build(folder("/r", many));
    ASSERT_EQ(more.size(), 2u);
    EXPECT_EQ(more[1].name, "17 more");
    EXPECT_EQ(more[1].allocatedSize, 17);
    EXPECT_EQ(more[1].startFraction, more[0].endFraction);
}

TEST(SunburstLayoutBuilder, ClonesAndCloudOnlyFilesLeaveTheirSiblingsTheWholeArc) {
    const FileNode sharedFolder(std::string("clones"), "/r/clones", true, false, 300, true, false, 0, false,
                                1, 1, 300, std::nullopt, {});
    const auto arcs =
        build(folder("/r", {file("/r/a", 100), file("/r/clone", 900, true),
                            file("/r/cloud", 900, false, true), sharedFolder, file("/r/zero", 0)}));
    ASSERT_EQ(arcs.size(), 2u);
    EXPECT_EQ(arcs[0].name, "clones");
    EXPECT_DOUBLE_EQ(arcs[0].endFraction, 0.75);
    EXPECT_EQ(arcs[1].name, "a");
    EXPECT_EQ(arcs[1].endFraction, 1.0);

    EXPECT_TRUE(build(folder("/r", {file("/r/clone", 9, true), file("/r/empty", 0)})).empty());
}

TEST(SunburstLayoutBuilder, AggregatesGetArcsWithoutNode) {
    const auto arcs = build(folder("/r", {file("/r/a", 500), aggregate("/r/(small items)", 500)}));
    ASSERT_EQ(arcs.size(), 2u);
    EXPECT_EQ(arcs[1].name, "(small items)");
    EXPECT_FALSE(arcs[1].node);
    EXPECT_TRUE(arcs[1].ancestors.empty());
    EXPECT_FALSE(arcs[1].isOverflow);
    EXPECT_EQ(arcs[1].id, "root/1");
}

TEST(SunburstLayoutBuilder, ThreeRingsDeepWithPositionalIdsAndExactlyFilledParents) {
    // root/0 = a (folder) > root/0/3 = a/d (folder) > root/0/3/1 = a/d/y (folder, children not drawn).
    const FileNode deeper = folder("/r/a/d/y", {file("/r/a/d/y/z", 1000)});
    const FileNode d = folder("/r/a/d", {file("/r/a/d/x", 2000), deeper, file("/r/a/d/w", 500)});
    const FileNode a = folder(
        "/r/a", {file("/r/a/p", 5000), file("/r/a/q", 4000), file("/r/a/s", 3600), d, file("/r/a/u", 600)});
    const FileNode root = folder("/r", {a, file("/r/b", 7), folder("/r/e", {}), file("/r/c", 7)});
    const auto arcs = build(root);

    std::vector<std::string> ids;
    for (const auto& s : arcs)
        ids.push_back(s.id);
    EXPECT_EQ(
        ids, (std::vector<std::string>{"root/0", "root/0/0", "root/0/1", "root/0/2", "root/0/3", "root/0/3/0",
                                       "root/0/3/1", "root/0/3/2", "root/0/4", "root/overflow"}));
    const auto& y = byID(arcs, "root/0/3/1");
    EXPECT_EQ(y.ring, 2);
    EXPECT_EQ(y.node->path(), "/r/a/d/y");
    ASSERT_EQ(y.ancestors.size(), 2u);
    EXPECT_EQ(y.ancestors[0].path(), "/r/a");
    EXPECT_EQ(y.ancestors[1].path(), "/r/a/d");
    EXPECT_EQ(byID(arcs, "root/0/3").ancestors.size(), 1u);
    EXPECT_EQ(byID(arcs, "root/0").ancestors.size(), 0u);
    // b and c are equal: pooled together, in stored order, as "2 more".
    EXPECT_EQ(byID(arcs, "root/overflow").name, "2 more");

    // Every parent's arcs end exactly at the parent's end, and each starts where the last ended.
    std::map<std::string, const SunburstSegment*> parents;
    for (const auto& s : arcs)
        parents[s.id] = &s;
    std::map<std::string, double> lastEnd;
    for (const auto& s : arcs) {
        const std::string parent = s.id.substr(0, s.id.rfind('/'));
        const double parentStart = parent == "root" ? 0.0 : parents.at(parent)->startFraction;
        EXPECT_EQ(s.startFraction, lastEnd.contains(parent) ? lastEnd[parent] : parentStart) << s.id;
        lastEnd[parent] = s.endFraction;
    }
    EXPECT_EQ(lastEnd["root"], 1.0);
    EXPECT_EQ(lastEnd["root/0"], byID(arcs, "root/0").endFraction);
    EXPECT_EQ(lastEnd["root/0/3"], byID(arcs, "root/0/3").endFraction);
}

TEST(SunburstLayoutBuilder, EqualSizesKeepTheirStoredOrder) {
    const auto arcs = build(folder("/r", {file("/r/one", 5), file("/r/two", 5), file("/r/three", 5)}));
    ASSERT_EQ(arcs.size(), 3u);
    EXPECT_EQ(arcs[0].name, "one");
    EXPECT_EQ(arcs[1].name, "two");
    EXPECT_EQ(arcs[2].name, "three");
}

TEST(SunburstLayoutHost, UsedBytesAndCapacityFollowTheFolderOnScreen) {
    const FileNode root = folder("/r", {file("/r/a", 60)});
    const auto top = makeSunburstLayout(root, {"Disk", 1000, 1, true}, test::fakeMeasurer());
    EXPECT_EQ(top.usedBytes, 60);
    EXPECT_EQ(top.totalCapacityBytes, 1000);
    EXPECT_EQ(top.volumeName, "Disk");
    EXPECT_TRUE(top.isScanningNow);
    const auto below = makeSunburstLayout(root, {"Disk", 1000, 2, false}, test::fakeMeasurer());
    EXPECT_EQ(below.totalCapacityBytes, 60);
    EXPECT_EQ(sunburstUsedBytes(file("/r/clone", 50, true)), 0);
    EXPECT_EQ(sunburstUsedBytes(file("/r/cloud", 50, false, true)), 0);
    EXPECT_EQ(sunburstUsedBytes(file("/r/plain", 50)), 50);
    EXPECT_TRUE(makeSunburstLayout(file("/r/plain", 50), {"Disk", 1000, 1, false}, test::fakeMeasurer())
                    .segments.empty());
}

} // namespace
} // namespace quillmere::views
