#include "scan/LaneQueue.hpp"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

TEST(LaneQueue, ItemsBeyondTheLanesWaitInOrderAndFreedLanesAreClaimedAgain) {
    LaneQueue<int> lanes(2);
    EXPECT_TRUE(lanes.claimOrQueue(1));
    EXPECT_TRUE(lanes.claimOrQueue(2));
    EXPECT_FALSE(lanes.claimOrQueue(3));
    EXPECT_FALSE(lanes.claimOrQueue(4));
    // A lane that finishes takes what waits, first in first out.
    EXPECT_EQ(lanes.next(), 3);
    EXPECT_EQ(lanes.next(), 4);
    // Nothing left: each lane that asks is given up, after which new items claim lanes again.
    EXPECT_EQ(lanes.next(), std::nullopt);
    EXPECT_TRUE(lanes.claimOrQueue(5));
    EXPECT_FALSE(lanes.claimOrQueue(6));
    EXPECT_EQ(lanes.next(), 6);
    EXPECT_EQ(lanes.next(), std::nullopt);
    EXPECT_EQ(lanes.next(), std::nullopt);
    // A lane claimed but never started is given back.
    EXPECT_TRUE(lanes.claimOrQueue(7));
    lanes.release();
    EXPECT_TRUE(lanes.claimOrQueue(8));
    EXPECT_TRUE(lanes.claimOrQueue(9));
    EXPECT_FALSE(lanes.claimOrQueue(10));
}

TEST(LaneQueue, NoLanesStillMeansOne) {
    LaneQueue<int> lanes(0);
    EXPECT_TRUE(lanes.claimOrQueue(1));
    EXPECT_FALSE(lanes.claimOrQueue(2));
}

} // namespace
} // namespace quillmere
