#include "views/SunburstGeometry.hpp"

#include "ViewsTestSupport.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace quillmere::views {
namespace {

SunburstSegment arc(std::string id, int ring, double start, double end, std::optional<FileNode> node = {}) {
    SunburstSegment s;
    s.id = std::move(id);
    s.ring = ring;
    s.startFraction = start;
    s.endFraction = end;
    s.node = std::move(node);
    return s;
}

constexpr SizeD kSquare{520, 520};
PointD above(double r) {
    return {260, 260 - r};
}

TEST(SunburstHitTest, RingsByRadiusBandsWithBoundsIncluded) {
    const std::vector<SunburstSegment> arcs{arc("a", 0, 0, 1), arc("b", 1, 0, 1), arc("c", 2, 0, 1)};
    const auto idAt = [&](PointD p) -> std::string {
        const SunburstSegment* hit = hitTest(p, kSquare, arcs);
        return hit ? hit->id : "-";
    };
    EXPECT_EQ(idAt(above(73)), "-");
    EXPECT_EQ(idAt(above(75.9)), "-");
    EXPECT_EQ(idAt(above(76)), "a");
    EXPECT_EQ(idAt(above(132)), "a");
    EXPECT_EQ(idAt(above(133)), "-");
    EXPECT_EQ(idAt(above(134)), "b");
    EXPECT_EQ(idAt(above(186)), "b");
    EXPECT_EQ(idAt(above(187)), "-");
    EXPECT_EQ(idAt(above(232)), "c");
    EXPECT_EQ(idAt(above(232.5)), "-");
    EXPECT_EQ(hitTest(above(100), {0, 600}, arcs), nullptr);
    // A wide view fits its height: the same reference radius lies 1.5× further out at 780 × 780... height.
    EXPECT_EQ(hitTest({600, 390 - 100 * 1.5}, {1200, 780}, arcs)->id, "a");
}

TEST(SunburstHitTest, AnglesRunClockwiseFromTwelveWithHalfOpenArcs) {
    const std::vector<SunburstSegment> arcs{arc("first", 0, 0, 0.25), arc("second", 0, 0.25, 0.5),
                                            arc("third", 0, 0.5, 1), arc("outer", 1, 0.25, 0.5)};
    EXPECT_EQ(hitTest(above(100), kSquare, arcs)->id, "first");
    EXPECT_EQ(hitTest({360, 260}, kSquare, arcs)->id, "second");
    EXPECT_EQ(hitTest({260, 360}, kSquare, arcs)->id, "third");
    EXPECT_EQ(hitTest({160, 260}, kSquare, arcs)->id, "third");
    // Ring 1 outside its folder's arc: nothing.
    EXPECT_EQ(hitTest(above(150), kSquare, arcs), nullptr);
    EXPECT_EQ(hitTest({410, 260}, kSquare, arcs)->id, "outer");
}

TEST(SunburstArcPolygon, StepsOfTwoDegreesAndGapsOnlyOnWideArcs) {
    const PointD c{260, 260};
    const auto narrow = arcPolygon(arc("n", 0, 0.1, 0.104), c, 1);
    ASSERT_EQ(narrow.size(), 4u);
    // Narrower than 2.2 points at the inner edge: no gap, the corners lie on the arc's ends.
    const SunburstFrame frame{c, 1};
    EXPECT_NEAR(narrow[0].x, frame.pointAt(0.1, 132).x, 1e-9);
    EXPECT_NEAR(narrow[2].y, frame.pointAt(0.104, 76).y, 1e-9);

    const auto hundredth = arcPolygon(arc("h", 0, 0.3, 0.31), c, 1);
    EXPECT_EQ(hundredth.size(), 4u); // one step: a chord on each edge

    const auto wide = arcPolygon(arc("w", 0, 0, 0.5), c, 1);
    const double gap = 1.1 / (2 * std::numbers::pi * 76);
    const int steps = static_cast<int>(std::trunc((0.5 - 2 * gap) * 180));
    ASSERT_EQ(wide.size(), std::size_t(2 * (steps + 1)));
    EXPECT_NEAR(wide[0].x, frame.pointAt(gap, 132).x, 1e-9);
    EXPECT_NEAR(wide[0].y, frame.pointAt(gap, 132).y, 1e-9);
    // The inner corner at the start keeps 1.1 points off the arc's start along the inner edge.
    const PointD innerStart = wide.back();
    EXPECT_NEAR(std::atan2(innerStart.x - 260, 260 - innerStart.y) * 76, 1.1, 1e-9);
    // At a smaller scale the same arc's gap is capped at a twentieth of its span.
    const auto small = arcPolygon(arc("w", 0, 0, 0.01), c, 0.5);
    EXPECT_NEAR(std::atan2(small.back().x - 260, 260 - small.back().y) / (2 * std::numbers::pi), 0.0005,
                1e-12);
}

TEST(SunburstRecenter, BringsTheSelectedArcBesideThePanel) {
    EXPECT_EQ(recenterShift({1000, 600}, 300, {700, 200}), (PointD{-350, 100}));

    const FileNode chosen = test::file("/r/chosen", 1);
    const std::vector<SunburstSegment> arcs{arc("root/0", 0, 0, 0.5, test::file("/r/other", 1)),
                                            arc("root/1", 1, 0.5, 1, chosen)};
    const SizeD size{1000, 600};
    const auto anchor = anchorPoint(arcs[1], size);
    ASSERT_TRUE(anchor);
    const double s = 600.0 / 520;
    EXPECT_NEAR(anchor->x, 500 - 160 * s, 1e-9);
    EXPECT_NEAR(anchor->y, 300, 1e-9);
    const PointD target = recenterTarget(size, 334, std::string("/r/chosen"), arcs);
    EXPECT_NEAR(target.x, (1000 - 334) / 2.0 - anchor->x, 1e-9);
    EXPECT_NEAR(target.y, 0, 1e-9);
    EXPECT_EQ(recenterTarget(size, 0, std::string("/r/chosen"), arcs), (PointD{}));
    EXPECT_EQ(recenterTarget(size, 334, std::nullopt, arcs), (PointD{}));
    EXPECT_EQ(recenterTarget(size, 334, std::string("/elsewhere"), arcs), (PointD{}));
    EXPECT_FALSE(anchorPoint(arcs[1], {0, 0}));

    EXPECT_EQ(roundedOffset({-0.5, 0.5}), (PointD{-1, 1}));
    EXPECT_EQ(roundedOffset({1.4, -1.6}), (PointD{1, -2}));
}

TEST(SunburstGauge, ShownOnlyForAShareStrictlyBetweenNothingAndAllAndHoveredOnlyWhenShown) {
    SunburstLayout layout;
    layout.usedBytes = 60;
    layout.totalCapacityBytes = 100;
    EXPECT_TRUE(isCapacityGaugeShown(layout, true));
    EXPECT_FALSE(isCapacityGaugeShown(layout, false));
    EXPECT_DOUBLE_EQ(capacityGaugeFraction(layout), 0.6);
    EXPECT_EQ(gaugeArcAngles(0.6), (QtArcAngles{90 * 16, -216 * 16}));

    EXPECT_TRUE(hoverAt(above(243), kSquare, layout, true).isHoveringCapacityGauge);
    EXPECT_EQ(hoverAt(above(243), kSquare, layout, true).hoverLocation, above(243));
    EXPECT_TRUE(hoverAt(above(226), kSquare, layout, true).isHoveringCapacityGauge);
    EXPECT_TRUE(hoverAt(above(260), kSquare, layout, true).isHoveringCapacityGauge);
    EXPECT_FALSE(hoverAt(above(261), kSquare, layout, true).isHoveringCapacityGauge);
    EXPECT_EQ(hoverAt(above(243), kSquare, layout, false), SunburstHover{});
    // Where the band overlaps ring 2 an arc wins.
    layout.segments.push_back(arc("root/0/0/0", 2, 0, 1));
    const SunburstHover onArc = hoverAt(above(230), kSquare, layout, true);
    EXPECT_EQ(onArc.hoveredSegmentID, "root/0/0/0");
    EXPECT_FALSE(onArc.isHoveringCapacityGauge);

    for (auto [used, total, scanning] : {std::tuple{0, 100, false}, {100, 100, false}, {60, 100, true}}) {
        layout.usedBytes = used;
        layout.totalCapacityBytes = total;
        layout.isScanningNow = scanning;
        EXPECT_FALSE(isCapacityGaugeShown(layout, true));
        EXPECT_FALSE(hoverAt(above(243), kSquare, layout, true).isHoveringCapacityGauge);
    }
}

} // namespace
} // namespace quillmere::views
