#include "app/ScanScreenText.hpp"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

TEST(ScanScreenText, PercentOfTheWholeCapacity) {
    EXPECT_DOUBLE_EQ(scanProgressFraction(4, 8), 0.5);
    EXPECT_DOUBLE_EQ(scanProgressFraction(1, 8), 0.125);
    EXPECT_EQ(scanProgressPercentText(1, 8), "13% of 8 bytes"); // 12.5 rounds away from zero
    EXPECT_EQ(scanProgressPercentText(3, 8), "38% of 8 bytes");
    EXPECT_EQ(scanProgressPercentText(20, 8), "100% of 8 bytes");
    EXPECT_EQ(scanProgressPercentText(-5, 8), "0% of 8 bytes");
    EXPECT_EQ(scanProgressPercentText(5, 0), "0% of Zero KB");
    EXPECT_DOUBLE_EQ(scanProgressFraction(5, -1), 0);
}

TEST(ScanScreenText, StatusLineBeforeAndAfterTheFirstFigures) {
    EXPECT_EQ(scanStatusLine(std::nullopt), "Looking around\u2026");
    EXPECT_EQ(scanStatusLine(ScanProgress{0, 0, "", {}}), "0 files \u00B7 Zero KB so far");
    EXPECT_EQ(scanStatusLine(ScanProgress{12'300'000, 42, "/x", {}}), "42 files \u00B7 12.3 MB so far");
}

} // namespace
} // namespace quillmere
