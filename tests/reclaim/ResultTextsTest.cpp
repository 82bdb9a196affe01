#include "reclaim/ResultTexts.hpp"

#include "scan/TreeBuilders.hpp"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

Reclaimer::Outcome outcome(int64_t promised, std::optional<int64_t> measured) {
    Reclaimer::Outcome o;
    o.promisedBytes = promised;
    o.measuredFreedBytes = measured;
    return o;
}

std::string matching(const std::string& measured) {
    return "Free space increased by " + measured + ", matching what was promised.";
}
std::string shortfall(const std::string& measured, const std::string& promised) {
    return "Free space increased by " + measured + " so far \u2014 " + promised +
           " was promised. Items moved to the Trash don't free space until you empty it.";
}

TEST(FreeSpaceSentence, MatchesWithinOnePercentOfTheBoundaryIncluded) {
    EXPECT_EQ(freeSpaceSentence(outcome(100'000'000, 99'500'000)), matching("99.5 MB"));
    EXPECT_EQ(freeSpaceSentence(outcome(100'000'000, 98'000'000)), shortfall("98 MB", "100 MB"));
    EXPECT_EQ(freeSpaceSentence(outcome(1'000'000, 1'010'000)), matching("1 MB"));
    EXPECT_EQ(freeSpaceSentence(outcome(1'000'000, 1'010'001)), shortfall("1 MB", "1 MB"));
    EXPECT_EQ(freeSpaceSentence(outcome(1'000'000, 990'000)), matching("990 KB"));
}

TEST(FreeSpaceSentence, NothingPromisedMatchesOnlyNothingFreed) {
    EXPECT_EQ(freeSpaceSentence(outcome(0, 0)), matching("Zero KB"));
    EXPECT_EQ(freeSpaceSentence(outcome(0, 4096)), shortfall("4 KB", "Zero KB"));
    EXPECT_EQ(freeSpaceSentence(outcome(-10, 0)), matching("Zero KB"));
}

TEST(FreeSpaceSentence, ShrunkOrUnmeasuredSpace) {
    EXPECT_EQ(freeSpaceSentence(outcome(5000, -2000)), shortfall("-2 KB", "5 KB"));
    EXPECT_EQ(freeSpaceSentence(outcome(5000, std::nullopt)),
              "Free space couldn't be measured after the operation.");
}

TEST(FailureLines, NodesFirstThenSystemDataEntries) {
    Reclaimer::Outcome o;
    EXPECT_TRUE(failureLines(o).empty());
    o.systemDataFailures.push_back({SystemDataReclaimEntry{"user-caches", "User caches", 1, {}}, "busy"});
    o.failures.push_back(
        {testing::file("/a/Photos", 1), "protected \u2014 Quillmere will never remove this"});
    EXPECT_EQ(failureLines(o),
              (std::vector<std::string>{"Photos: protected \u2014 Quillmere will never remove this",
                                        "User caches: busy"}));
}

} // namespace
} // namespace quillmere
