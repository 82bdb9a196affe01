#include "ViewsTestSupport.hpp"
#include "views/ClickTracker.hpp"
#include "views/Easing.hpp"
#include "views/Formatters.hpp"
#include "views/SunburstTexts.hpp"

#include <clocale>
#include <gtest/gtest.h>

namespace quillmere::views {
namespace {

using namespace std::chrono_literals;

TEST(ClickTracker, SecondClickOnTheSameItemWithinTheIntervalIsDoubleThenStartsOver) {
    auto now = std::chrono::steady_clock::time_point{} + 1000s;
    ClickTracker tracker([&] { return now; }, 400ms);
    EXPECT_FALSE(tracker.registerClick("A"));
    now += 400ms;
    EXPECT_TRUE(tracker.registerClick("A"));
    now += 10ms;
    EXPECT_FALSE(tracker.registerClick("A")); // a third click is single
    now += 401ms;
    EXPECT_FALSE(tracker.registerClick("A")); // too late: single again
    now += 10ms;
    EXPECT_FALSE(tracker.registerClick("B")); // another item
    now += 10ms;
    EXPECT_TRUE(tracker.registerClick("B"));

    auto early = std::chrono::steady_clock::time_point{};
    ClickTracker atStart([&] { return early; }, 400ms);
    EXPECT_FALSE(atStart.registerClick("A")); // the first click is always single
}

TEST(Easing, EaseInOutIsTheSymmetricCubicBezier) {
    EXPECT_EQ(easeInOut(0), 0);
    EXPECT_NEAR(easeInOut(1), 1, 1e-12);
    EXPECT_NEAR(easeInOut(0.5), 0.5, 1e-9);
    EXPECT_EQ(easeInOut(-1), 0);
    EXPECT_NEAR(easeInOut(2), 1, 1e-12);
    double last = 0;
    for (int i = 1; i <= 100; ++i) {
        const double t = i / 100.0;
        const double value = easeInOut(t);
        EXPECT_GE(value, last);
        EXPECT_NEAR(value + easeInOut(1 - t), 1, 1e-9);
        last = value;
    }
    // Slow at both ends: well behind linear at a fifth of the time.
    EXPECT_LT(easeInOut(0.2), 0.1);
    EXPECT_GT(easeInOut(0.2), 0.05);
}

TEST(Tooltips, TextsPlacementAndSize) {
    SunburstSegment arc;
    arc.name = "Photos";
    arc.allocatedSize = 250;
    const TooltipContent content = segmentTooltip(arc, 1000);
    ASSERT_EQ(content.lines.size(), 3u);
    EXPECT_EQ(content.lines[0], (TooltipLine{"Photos", 12, FontWeight::semibold, TextRole::primary}));
    EXPECT_EQ(content.lines[1], (TooltipLine{"250 bytes", 11, FontWeight::regular, TextRole::secondary}));
    EXPECT_EQ(content.lines[2],
              (TooltipLine{"25.0% of used space", 10.5, FontWeight::regular, TextRole::tertiary}));
    EXPECT_EQ(segmentTooltip(arc, 0).lines.size(), 2u);

    const TooltipContent gauge = capacityGaugeTooltip(750, 1000);
    ASSERT_EQ(gauge.lines.size(), 2u);
    EXPECT_EQ(gauge.lines[0].text, "250 bytes free");
    EXPECT_EQ(gauge.lines[1].text, "750 bytes used of 1 KB");
    EXPECT_EQ(capacityGaugeTooltip(1200, 1000).lines[0].text, "Zero KB free");

    EXPECT_EQ(tooltipCenter({100, 100}, 500), (PointD{204, 57}));
    EXPECT_EQ(tooltipCenter({450, 20}, 500), (PointD{346, 63}));
    EXPECT_EQ(tooltipCenter({396, 43}, 500), (PointD{500, 0}));

    // Lines 12, 11 and 10.5 points high (fake), 2 apart, inside 10 / 7 margins.
    const SizeD size = tooltipSize(content, test::fixedMeasurer(50, 10));
    EXPECT_EQ(size, (SizeD{70, 30 + 4 + 14}));
}

TEST(HubTexts, ThreeDepths) {
    const auto top = hubLines(std::nullopt, "Macintosh HD", 1'234'567'890.5, 500'000'000'000);
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(top[0], (HubLine{"Macintosh HD", 14, FontWeight::semibold, TextRole::primary, -15, 0, false}));
    EXPECT_EQ(top[1], (HubLine{"1.23 GB", 20, FontWeight::bold, TextRole::primary, 5, 0, true}));
    EXPECT_EQ(top[2],
              (HubLine{"used of 500 GB", 11, FontWeight::regular, TextRole::secondary, 21, 0, false}));
    EXPECT_EQ(hubLines(std::nullopt, "D", -4, -1)[1].text, "Zero KB");
    EXPECT_EQ(hubLines(std::nullopt, "D", 999.5, 0)[1].text, "1 KB");

    const auto below = hubLines(std::string("Macintosh HD"), "Macintosh HD", 10, 10);
    ASSERT_EQ(below.size(), 2u);
    EXPECT_EQ(below[0],
              (HubLine{"\u2039 BACK", 10.5, FontWeight::semibold, TextRole::secondary, -11, 0.6, false}));
    EXPECT_EQ(below[1], (HubLine{"Macintosh HD", 16, FontWeight::semibold, TextRole::primary, 10, 0, false}));
    EXPECT_EQ(hubLines(std::string("Users"), "Macintosh HD", 10, 10)[1].text, "Users");

    // Names wider than the hub at their height end in an ellipsis, whole characters kept.
    const TextMeasurer measure = test::fakeMeasurer(0.5); // 8 units a character at 16 points
    EXPECT_EQ(hubLines(std::string("Users"), "D", 0, 0, &measure)[1].text, "Users");
    // 125.5 units of room: 15 bytes of the fake. "é" would cross it, so it goes whole.
    const std::string fitted = hubLines(std::string("Photos Libr\u00e9 2024"), "D", 0, 0, &measure)[1].text;
    EXPECT_EQ(fitted, "Photos Libr\u2026");
    EXPECT_EQ(elided("abc", 0, 10, FontWeight::regular, measure), "\u2026");
}

TEST(Formatters, PercentagesAndDates) {
    EXPECT_EQ(formatPercentOneDecimal(25), "25.0%");
    EXPECT_EQ(formatPercentOneDecimal(0.04), "0.0%");
    EXPECT_EQ(formatPercentOneDecimal(99.96), "100.0%");
    EXPECT_EQ(formatWholePercent(0.25), "25%");
    EXPECT_EQ(formatWholePercent(0.004), "0%");
    EXPECT_FALSE(formatMediumDate(1'700'000'000).empty());
    EXPECT_FALSE(formatShortTime(1'700'000'000).empty());
    EXPECT_NE(formatMediumDate(1'700'000'000), formatMediumDate(1'800'000'000));
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        EXPECT_EQ(formatPercentOneDecimal(12.5), "12.5%");
        std::setlocale(LC_NUMERIC, "C");
    }
}

} // namespace
} // namespace quillmere::views
