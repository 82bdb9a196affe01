#include "ViewsTestSupport.hpp"
#include "views/ColorMath.hpp"
#include "views/SunburstLayout.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace quillmere::views {
namespace {

constexpr double kPi = std::numbers::pi;

TEST(SunburstLabelFitting, NeedsTwentyFourDegreesAndUsesTheRingsFontSizes) {
    const auto tiny = test::fixedMeasurer(1, 1);
    EXPECT_FALSE(SunburstLayout::makeLabel("a", 10, 0, 0, 23.9 / 360, tiny));
    EXPECT_TRUE(SunburstLayout::makeLabel("a", 10, 0, 0, 24.0 / 360, tiny));
    EXPECT_FALSE(SunburstLayout::makeLabel("a", 10, 0, 0.6, 0.5, tiny));

    std::vector<std::pair<double, FontWeight>> calls;
    const TextMeasurer recording = [&](std::string_view, double size, FontWeight weight) {
        calls.emplace_back(size, weight);
        return TextSize{1, 1};
    };
    const auto ring2 = SunburstLayout::makeLabel("folder", 1234, 2, 0.5, 0.6, recording);
    ASSERT_TRUE(ring2);
    EXPECT_EQ(ring2->nameFontSize, 9);
    EXPECT_EQ(ring2->sizeFontSize, 8);
    EXPECT_EQ(ring2->sizeText, "1 KB");
    EXPECT_EQ(ring2->midRadius, 210);
    EXPECT_DOUBLE_EQ(ring2->midFraction, 0.55);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], std::make_pair(9.0, FontWeight::semibold));
    EXPECT_EQ(calls[1], std::make_pair(8.0, FontWeight::regular));
    const auto ring0 = SunburstLayout::makeLabel("folder", -5, 0, 0.5, 0.6, tiny);
    EXPECT_EQ(ring0->nameFontSize, 11);
    EXPECT_EQ(ring0->sizeFontSize, 10);
    EXPECT_EQ(ring0->sizeText, "Zero KB");
}

TEST(SunburstLabelFitting, ShortNamesStayHorizontalLongOnesTurnAlongTheArc) {
    // A wide ring-0 arc around 12 o'clock... the builder's arcs start at 0, so near it.
    const auto flat = SunburstLayout::makeLabel("a", 1, 0, 0.0, 0.2, test::fixedMeasurer(10, 8));
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->rotation, 0);
    EXPECT_EQ(flat->nameSize, (TextSize{10, 8}));

    // 60 units wide does not fit across the 56-unit ring at 3 and 9 o'clock, but does along it.
    const auto measure = test::fixedMeasurer(57, 8.5);
    const auto east =
        SunburstLayout::makeLabel("long name", 1, 0, 0.25 - 30.0 / 360, 0.25 + 30.0 / 360, measure);
    ASSERT_TRUE(east);
    EXPECT_NEAR(east->rotation, -kPi / 2, 1e-9);
    const auto west =
        SunburstLayout::makeLabel("long name", 1, 0, 0.75 - 30.0 / 360, 0.75 + 30.0 / 360, measure);
    ASSERT_TRUE(west);
    EXPECT_NEAR(west->rotation, -kPi / 2, 1e-9);
    // Rotations keep text upright: always within [−π/2, π/2].
    const auto slanted = SunburstLayout::makeLabel("long name", 1, 0, 0.1, 0.3, measure);
    ASSERT_TRUE(slanted);
    EXPECT_GE(slanted->rotation, -kPi / 2);
    EXPECT_LE(slanted->rotation, kPi / 2);
    // Too wide for any placement: never shortened, just absent.
    EXPECT_FALSE(SunburstLayout::makeLabel("x", 1, 0, 0.25 - 30.0 / 360, 0.25 + 30.0 / 360,
                                           test::fixedMeasurer(200, 8.5)));
}

TEST(SunburstLabelFitting, ABoxTouchingTheRingWithinAHundredthStillFits) {
    // Upright at 6 o'clock the outer corners of a 3-unit-wide box lie at √((104 + H/2)² + 1.5²).
    const auto heightReaching = [](double radius) { return 2 * (std::sqrt(radius * radius - 2.25) - 104); };
    const double inside = heightReaching(132.009);
    const double outside = heightReaching(132.011);
    EXPECT_TRUE(SunburstLayout::makeLabel("", 1, 0, 0.4, 0.6, test::fixedMeasurer(0, (inside - 3) / 2)));
    EXPECT_FALSE(SunburstLayout::makeLabel("", 1, 0, 0.4, 0.6, test::fixedMeasurer(0, (outside - 3) / 2)));
}

TEST(ColorMath, HuesNormaliseAndTextColourFollowsLuma) {
    EXPECT_EQ(normalizedHueDegrees(-8), 352);
    EXPECT_EQ(normalizedHueDegrees(370), 10);
    EXPECT_EQ(normalizedHueDegrees(-370), 350);
    EXPECT_EQ(normalizedHueDegrees(46), 46);

    EXPECT_EQ(hsvToRgb(0.5, 0, 0.3), (Rgb{0.3, 0.3, 0.3}));
    EXPECT_EQ(hsvToRgb(0, 1, 1), (Rgb{1, 0, 0}));
    EXPECT_EQ(hsvToRgb(1.0 / 3, 1, 1), (Rgb{0, 1, 0}));
    const Rgb magenta = hsvToRgb(5.0 / 6, 1, 1);
    EXPECT_NEAR(magenta.red, 1, 1e-12);
    EXPECT_NEAR(magenta.blue, 1, 1e-12);
    EXPECT_NEAR(magenta.green, 0, 1e-12);
    const Rgb orange = hsvToRgb(30.0 / 360, 0.5, 0.8);
    EXPECT_NEAR(orange.red, 0.8, 1e-12);
    EXPECT_NEAR(orange.green, 0.6, 1e-12);
    EXPECT_NEAR(orange.blue, 0.4, 1e-12);
    EXPECT_NEAR(luma709({1, 1, 1}), 1, 1e-12);

    EXPECT_FALSE(prefersDarkText(0, 0.88, 0.53));
    EXPECT_FALSE(prefersDarkText(-8, 0.88, 0.53));
    EXPECT_TRUE(prefersDarkText(46, 0.62, 0.71));
    EXPECT_NEAR(luma709(hsvToRgb(46.0 / 360, 0.62, 0.71)), 0.60, 0.01);
    EXPECT_FALSE(prefersDarkText(46, 0.88, 0.53));
    EXPECT_NEAR(luma709(hsvToRgb(46.0 / 360, 0.88, 0.53)), 0.42, 0.01);
}

} // namespace
} // namespace quillmere::views
