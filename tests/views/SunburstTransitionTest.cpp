#include "views/SunburstTransition.hpp"

#include "ViewsTestSupport.hpp"

#include <gtest/gtest.h>

namespace quillmere::views {
namespace {

using test::file;
using test::folder;

SunburstLayout layoutOf(const FileNode& root) {
    return makeSunburstLayout(root, {"Disk", 1'000'000, 1, false}, test::fakeMeasurer());
}

const SunburstSegment* named(const std::vector<SunburstSegment>& arcs, const std::string& name) {
    for (const auto& s : arcs)
        if (s.name == name) return &s;
    return nullptr;
}

// Three ring-0 folders of 500, 300 and 200 bytes; the middle one holds two files.
FileNode threeFolders(bool withMiddle) {
    std::vector<FileNode> children{folder("/r/a", {file("/r/a/f", 500)})};
    if (withMiddle) children.push_back(folder("/r/b", {file("/r/b/x", 200), file("/r/b/y", 100)}));
    children.push_back(folder("/r/c", {file("/r/c/g", 200)}));
    return folder("/r", children);
}

TEST(SunburstDeletionTransition, SurvivorsGlideAndTheDeletedSubtreeCollapsesOntoItsMiddles) {
    const SunburstLayout before = layoutOf(threeFolders(true));
    const SunburstLayout after = layoutOf(threeFolders(false));
    SunburstTransitionState state;
    state.appear(before.segments);
    ASSERT_TRUE(state.usedBytesChanged(before.usedBytes, after));
    ASSERT_TRUE(state.isRunning());

    const auto at = [&](double p) {
        state.setProgress(p);
        return state.displayedSegments(after.segments);
    };
    // a: [0, 0.5) → [0, 5/7); c: [0.8, 1) → [5/7, 1); b [0.5, 0.8) and its files collapse to 0.65 and their
    // own middles.
    const auto start = at(0);
    EXPECT_DOUBLE_EQ(named(start, "c")->startFraction, 0.8);
    EXPECT_DOUBLE_EQ(named(start, "b")->endFraction, 0.8);
    EXPECT_EQ(state.displayedUsedBytes(after.usedBytes), 1000);

    const auto midway = at(0.5);
    EXPECT_DOUBLE_EQ(named(midway, "a")->endFraction, (0.5 + 5.0 / 7) / 2);
    EXPECT_DOUBLE_EQ(named(midway, "c")->startFraction, (0.8 + 5.0 / 7) / 2);
    EXPECT_EQ(named(midway, "c")->endFraction, 1.0);
    const SunburstSegment* b = named(midway, "b");
    ASSERT_TRUE(b);
    EXPECT_DOUBLE_EQ(b->startFraction, (0.5 + 0.65) / 2);
    EXPECT_DOUBLE_EQ(b->endFraction, (0.8 + 0.65) / 2);
    EXPECT_FALSE(b->node);
    EXPECT_FALSE(b->label);
    const SunburstSegment* y = named(midway, "y");
    ASSERT_TRUE(y);
    EXPECT_EQ(y->ring, 1);
    EXPECT_DOUBLE_EQ(y->startFraction, (0.7 + 0.75) / 2);
    EXPECT_DOUBLE_EQ(state.displayedUsedBytes(after.usedBytes), 850);
    // The vanishing arcs follow the new ones and keep their colour.
    EXPECT_EQ(midway.size(), after.segments.size() + 3);
    EXPECT_EQ(b->hue, named(before.segments, "b")->hue);

    const auto end = at(1);
    EXPECT_FALSE(state.isRunning());
    ASSERT_EQ(end.size(), after.segments.size());
    EXPECT_FALSE(named(end, "b"));
    EXPECT_EQ(state.displayedUsedBytes(after.usedBytes), 700);
}

TEST(SunburstDeletionTransition, OnlyFallsAnimateAndTheMemoryFollowsEveryChange) {
    const SunburstLayout small = layoutOf(threeFolders(false));
    const SunburstLayout large = layoutOf(threeFolders(true));
    SunburstTransitionState state;
    // Nothing remembered yet: a fall draws the new layout at once.
    EXPECT_FALSE(state.usedBytesChanged(2000, small));
    EXPECT_FALSE(state.isRunning());
    // Growth (a scan going on, going up) never animates, but is remembered ...
    EXPECT_FALSE(state.usedBytesChanged(small.usedBytes, large));
    EXPECT_TRUE(state.previousSegmentsByPath().contains("/r/b"));
    // ... and an equal figure does not refresh the memory.
    EXPECT_FALSE(state.usedBytesChanged(small.usedBytes, small));
    EXPECT_TRUE(state.previousSegmentsByPath().contains("/r/b"));
    // So a later fall animates from the latest layout.
    EXPECT_TRUE(state.usedBytesChanged(large.usedBytes, small));
    EXPECT_EQ(state.progress(), 0);
    EXPECT_FALSE(state.previousSegmentsByPath().contains("/r/b"));
}

TEST(SunburstDeletionTransition, PooledAndNewArcsStandStillAtTheirFinalPlace) {
    // Before: one big file and 3 small ones pooled; after: the big one is gone, the small ones get arcs.
    const FileNode before =
        folder("/r", {file("/r/big", 100000), file("/r/s1", 10), file("/r/s2", 10), file("/r/s3", 10)});
    const FileNode after = folder("/r", {file("/r/s1", 10), file("/r/s2", 10), file("/r/s3", 10)});
    const SunburstLayout old = layoutOf(before);
    ASSERT_EQ(old.segments.back().id, "root/overflow");
    const auto map = segmentsByPath(old.segments);
    EXPECT_EQ(map.size(), 1u);
    const auto transition = makeDeletionTransition(map, old.usedBytes, layoutOf(after).segments, 30);
    ASSERT_EQ(transition.segments.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        const auto& s = transition.segments[i];
        EXPECT_FALSE(s.isPhantom);
        EXPECT_EQ(s.fromStart, s.toStart);
        EXPECT_EQ(s.fromEnd, s.toEnd);
    }
    const auto& phantom = transition.segments[3];
    EXPECT_TRUE(phantom.isPhantom);
    EXPECT_EQ(phantom.display.name, "big");
    EXPECT_DOUBLE_EQ(phantom.toStart, phantom.toEnd);
    EXPECT_EQ(transition.fromUsedBytes, 100030);
    EXPECT_EQ(transition.toUsedBytes, 30);
}

} // namespace
} // namespace quillmere::views
