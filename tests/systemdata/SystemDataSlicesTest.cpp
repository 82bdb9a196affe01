#include "systemdata/SystemDataSlices.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

SystemDataCategory category(const std::string& id, int64_t size, bool reclaimable = false,
                            bool withAction = false) {
    SystemDataCategory c;
    c.id = id;
    c.sizeBytes = size;
    c.isReclaimable = reclaimable;
    if (withAction) c.reclaimAction = SystemDataReclaimAction::directoryContents("/x");
    return c;
}

SystemDataReport report(std::vector<SystemDataCategory> categories, int64_t remainder, int64_t used) {
    SystemDataReport r;
    r.categories = std::move(categories);
    r.remainder = category("cant-be-attributed", remainder);
    r.volumeUsedBytes = used;
    return r;
}

TEST(SystemDataSlicesTest, SlicesAreSortedStablyBySizeAndEndWithTheRemainder) {
    const auto slices = systemDataSlices(report(
        {category("a", 10), category("b", 40), category("c", 0), category("d", 10), category("e", -10)}, 50,
        100));
    std::vector<std::string> ids;
    for (const auto& s : slices)
        ids.push_back(s.category.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"b", "a", "d", "c", "e", "cant-be-attributed"}));
    EXPECT_DOUBLE_EQ(slices[0].startFraction, 0);
    EXPECT_DOUBLE_EQ(slices[0].endFraction, 0.4);
    EXPECT_DOUBLE_EQ(slices[2].endFraction, 0.6);
    EXPECT_DOUBLE_EQ(slices[3].startFraction, slices[3].endFraction); // size 0: no wedge
    // A negative size ends before it starts, and the next slice starts that much earlier.
    EXPECT_DOUBLE_EQ(slices[4].endFraction, 0.5);
    EXPECT_DOUBLE_EQ(slices[5].startFraction, 0.5);
    EXPECT_TRUE(slices[5].isRemainder);
    EXPECT_FALSE(slices[4].isRemainder);
}

TEST(SystemDataSlicesTest, AZeroTotalIsDrawnAgainstOneByteAndOverfullReportsRunPastATurn) {
    auto slices = systemDataSlices(report({category("a", 0)}, 0, 0));
    EXPECT_DOUBLE_EQ(slices.back().endFraction, 0);
    // Sizes above the total (capped at used bytes): fractions are not clamped.
    slices = systemDataSlices(report({category("a", 80), category("b", 60)}, 10, 100));
    EXPECT_DOUBLE_EQ(slices.back().endFraction, 1.5);
    slices = systemDataSlices(report({category("a", 5)}, 0, 0));
    EXPECT_DOUBLE_EQ(slices[0].endFraction, 5); // total 0 counts as 1 byte
}

TEST(SystemDataSlicesTest, ReclaimableTotalsSummaryAndButtons) {
    const SystemDataReport r = report({category("a", 10, true, true), category("b", 30, true, false),
                                       category("c", 50), category("d", 0, true, true)},
                                      5, 1000);
    const auto slices = systemDataSlices(r);
    EXPECT_EQ(reclaimableBytes(r), 40);
    const auto reclaimable = reclaimableCategories(slices);
    ASSERT_EQ(reclaimable.size(), 3u);
    EXPECT_EQ(reclaimable[0].id, "b"); // slice order, action or not
    EXPECT_EQ(reclaimable[1].id, "a");
    EXPECT_EQ(reclaimable[2].id, "d");
    EXPECT_EQ(totalSize(reclaimable), 40);
    EXPECT_EQ(systemDataSummary(slices), "5 items. 3 can be reclaimed safely, 2 left alone.");
    EXPECT_EQ(systemDataSummary({slices.back()}), "1 item. 0 can be reclaimed safely, 1 left alone.");

    EXPECT_EQ(rowAction(category("a", 1, true, true), false), SystemDataRowAction::reclaim);
    EXPECT_EQ(rowAction(category("b", 1, true, false), false), SystemDataRowAction::leaveAlone);
    EXPECT_EQ(rowAction(category("c", 1), true), SystemDataRowAction::noAction);
    EXPECT_EQ(rowAction(category("c", 1, true, true), true), SystemDataRowAction::reclaim);
}

TEST(SystemDataSlicesTest, WedgesAreTwoDegreeSegmentsBetweenTheRadii) {
    EXPECT_EQ(wedgeSegmentCount(1.0 / 3), 59);
    EXPECT_EQ(wedgeSegmentCount(0.01), 1); // under 4 degrees: one segment
    EXPECT_EQ(wedgeSegmentCount(2.0 / 180), 2);
    EXPECT_EQ(wedgeSegmentCount(1), 180);

    const RingGeometry ring = RingGeometry::fitting(220, 440);
    EXPECT_DOUBLE_EQ(ring.scale, 1);
    const auto quarter = wedgePolygon(ring, 0, 0.25);
    ASSERT_EQ(quarter.size(), 2u * 45 + 2);
    EXPECT_NEAR(quarter.front().x, 110, 1e-9); // outer radius, straight up
    EXPECT_NEAR(quarter.front().y, 220 - 108, 1e-9);
    EXPECT_NEAR(quarter[45].x, 110 + 108, 1e-9); // 3 o'clock
    EXPECT_NEAR(quarter[46].x, 110 + 68, 1e-9);  // straight in
    EXPECT_NEAR(quarter.back().y, 220 - 68, 1e-9);
    EXPECT_TRUE(wedgePolygon(ring, 0.5, 0.5).empty());
    EXPECT_TRUE(wedgePolygon(ring, 0.5, 0.4).empty());
    // A span of many turns (total 0, sizes present) is drawn as one turn, not endless segments.
    EXPECT_EQ(wedgePolygon(ring, 0, 1e12).size(), 2u * 180 + 2);
}

} // namespace
} // namespace quillmere
