#include "views/TreemapLayout.hpp"

#include "ViewsTestSupport.hpp"
#include "views/TreemapPresentation.hpp"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>

namespace quillmere::views {
namespace {

using test::file;
using test::folder;

std::vector<FileNode> sizedFiles(std::initializer_list<int64_t> sizes) {
    std::vector<FileNode> out;
    int i = 0;
    for (int64_t size : sizes)
        out.push_back(file("/f/" + std::string(1, char('a' + i++)), size));
    return out;
}

void expectRect(const RectD& r, double x, double y, double w, double h) {
    EXPECT_NEAR(r.x, x, 1e-3);
    EXPECT_NEAR(r.y, y, 1e-3);
    EXPECT_NEAR(r.width, w, 1e-3);
    EXPECT_NEAR(r.height, h, 1e-3);
}

TEST(TreemapLayout, SquarifiesTheClassicExampleExactly) {
    const auto children = sizedFiles({6, 6, 4, 3, 2, 2, 1});
    const auto tiles = treemap::layout(children, {0, 0, 6, 4});
    ASSERT_EQ(tiles.size(), 7u);
    expectRect(tiles[0].rect, 0, 0, 3, 2);
    expectRect(tiles[1].rect, 0, 2, 3, 2);
    expectRect(tiles[2].rect, 3, 0, 1.714, 2.333);
    expectRect(tiles[3].rect, 4.714, 0, 1.286, 2.333);
    expectRect(tiles[4].rect, 3, 2.333, 1.2, 1.667);
    expectRect(tiles[5].rect, 4.2, 2.333, 1.2, 1.667);
    expectRect(tiles[6].rect, 5.4, 2.333, 0.6, 1.667);
    double area = 0;
    for (const TreemapTile& tile : tiles)
        area += tile.rect.width * tile.rect.height;
    EXPECT_NEAR(area, 24, 1e-9);
    // Hues run from amber for the largest towards pink for the smallest.
    EXPECT_NEAR(tiles[0].hue, 44 - 76 * (3.0 / 24), 1e-9);
    EXPECT_NEAR(tiles[6].hue, 44 - 76 * (23.5 / 24), 1e-9);
    EXPECT_EQ(tiles[0].saturation, 0.72);
    EXPECT_EQ(tiles[0].brightness, 0.9);
}

TEST(TreemapLayout, OneChildFillsTheRectangleAndSquaresStartWithAColumnTallOnesWithARow) {
    const auto one = treemap::layout(sizedFiles({5}), {0, 0, 10, 8});
    ASSERT_EQ(one.size(), 1u);
    expectRect(one[0].rect, 0, 0, 10, 8);
    EXPECT_DOUBLE_EQ(one[0].hue, 6);

    const auto square = treemap::layout(sizedFiles({3, 1}), {0, 0, 4, 4});
    ASSERT_EQ(square.size(), 2u);
    // In a square the first row is a column at the left edge.
    expectRect(square[0].rect, 0, 0, 3, 4);
    expectRect(square[1].rect, 3, 0, 1, 4);
    const auto tall = treemap::layout(sizedFiles({3, 1}), {0, 0, 4, 8});
    expectRect(tall[0].rect, 0, 0, 4, 6);
    expectRect(tall[1].rect, 0, 6, 4, 2);
}

TEST(TreemapLayout, TiesJoinTheRowAndEqualSizesKeepStoredOrder) {
    // Two equal halves of a 2 × 2 square: alone or together their worst ratio is 2, and the
    // tie joins them into one column spanning the width.
    const auto tiles = treemap::layout(sizedFiles({1, 1}), {0, 0, 2, 2});
    ASSERT_EQ(tiles.size(), 2u);
    expectRect(tiles[0].rect, 0, 0, 2, 1);
    expectRect(tiles[1].rect, 0, 1, 2, 1);
    EXPECT_EQ(tiles[0].id(), "/f/a");
    EXPECT_EQ(tiles[1].id(), "/f/b");
    const auto reordered = treemap::layout(sizedFiles({1, 5, 1}), {0, 0, 7, 1.5});
    ASSERT_EQ(reordered.size(), 3u);
    EXPECT_EQ(reordered[0].id(), "/f/b");
    EXPECT_EQ(reordered[1].id(), "/f/a");
    EXPECT_EQ(reordered[2].id(), "/f/c");
}

TEST(TreemapLayout, EmptyAndNegativeSizesAndTinyRectanglesGiveNoTiles) {
    const auto tiles = treemap::layout(sizedFiles({0, -5, 3}), {0, 0, 10, 10});
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_EQ(tiles[0].id(), "/f/c");
    EXPECT_TRUE(treemap::layout(sizedFiles({0, 0}), {0, 0, 10, 10}).empty());
    EXPECT_TRUE(treemap::layout(sizedFiles({3}), {0, 0, 1, 10}).empty());
    EXPECT_TRUE(treemap::layout(sizedFiles({3}), {0, 0, 10, 1}).empty());
    // Aggregates are laid out but carry no node, so they cannot be chosen.
    const std::vector<FileNode> withAggregate{test::aggregate("/f/small", 4), file("/f/x", 4)};
    const auto mixed = treemap::layout(withAggregate, {0, 0, 10, 10});
    ASSERT_EQ(mixed.size(), 2u);
    EXPECT_FALSE(mixed[0].node.has_value());
    EXPECT_TRUE(mixed[1].node.has_value());
}

TEST(TreemapLayout, WorstAspectRatioAndHitTesting) {
    const std::vector<double> row{6, 6};
    EXPECT_NEAR(treemap::worstAspectRatio(row, 4), std::max(16.0 * 6 / 144, 144.0 / (16 * 6)), 1e-12);
    EXPECT_TRUE(std::isinf(treemap::worstAspectRatio({}, 4)));
    EXPECT_TRUE(std::isinf(treemap::worstAspectRatio(row, 0)));
    const std::vector<double> withZero{6, 0};
    EXPECT_TRUE(std::isinf(treemap::worstAspectRatio(withZero, 4)));

    const auto tiles = treemap::layout(sizedFiles({6, 6, 4, 3, 2, 2, 1}), {0, 0, 6, 4});
    ASSERT_NE(treemap::tileAt(tiles, {5.9, 3.9}), nullptr);
    EXPECT_EQ(treemap::tileAt(tiles, {5.9, 3.9})->id(), "/f/g");
    // A shared edge belongs to the first tile in placement order.
    EXPECT_EQ(treemap::tileAt(tiles, {1, 2})->id(), "/f/a");
    EXPECT_EQ(treemap::tileAt(tiles, {7, 1}), nullptr);
}

TEST(TreemapLayout, AWatchedLayoutIsTheSameUntilCancelledThenStopsShort) {
    std::vector<FileNode> children;
    for (int i = 0; i < 3000; ++i)
        children.push_back(file("/f/" + std::to_string(i), 1 + (i * 7919) % 5003));
    const RectD bounds{0, 0, 900, 600};
    const auto plain = treemap::layout(children, bounds);
    std::atomic<bool> cancelled = false;
    const auto watched = treemap::layout(children, bounds, &cancelled);
    ASSERT_EQ(watched.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        EXPECT_EQ(watched[i].id(), plain[i].id());
        EXPECT_EQ(watched[i].rect, plain[i].rect);
        EXPECT_EQ(watched[i].hue, plain[i].hue);
    }
    cancelled = true;
    EXPECT_LT(treemap::layout(children, bounds, &cancelled).size(), plain.size());
}

TEST(TreemapTileCache, LaysOutOncePerTreeAndSize) {
    const FileNode root = folder("/f", sizedFiles({3, 2}));
    TreemapTileCache cache;
    cache.tiles(root, {100, 50});
    cache.tiles(root, {100, 50});
    EXPECT_EQ(cache.layoutCount(), 1);
    cache.tiles(root, {100, 51});
    EXPECT_EQ(cache.layoutCount(), 2);
    // An equal-looking but different tree (after a deletion) is laid out again.
    const FileNode rebuilt = folder("/f", sizedFiles({3, 2}));
    cache.tiles(rebuilt, {100, 51});
    EXPECT_EQ(cache.layoutCount(), 3);
}

TreemapTile tileOf(const std::string& name, int64_t size, RectD rect, double hue = 44) {
    TreemapTile tile;
    tile.item = file("/f/" + name, size);
    tile.name = name;
    tile.allocatedSize = size;
    tile.rect = rect;
    tile.hue = hue;
    return tile;
}

TEST(TreemapLabel, FitsExactlyAndNotOnePointNarrower) {
    // Name and size text each 50 wide and 10 high: the inset rectangle needs 64 × 36.
    const auto measure = test::fixedMeasurer(50, 10);
    const auto label = treemapLabel(tileOf("a", 10, {0, 0, 66, 38}), measure);
    ASSERT_TRUE(label.has_value());
    EXPECT_EQ(label->nameOrigin, (PointD{8, 8}));
    EXPECT_EQ(label->sizeOrigin, (PointD{8, 20}));
    EXPECT_FALSE(treemapLabel(tileOf("a", 10, {0, 0, 65, 38}), measure).has_value());
    EXPECT_FALSE(treemapLabel(tileOf("a", 10, {0, 0, 66, 37}), measure).has_value());
    // An empty inset rectangle is skipped before anything is measured.
    int measured = 0;
    const TextMeasurer counting = [&](std::string_view, double, FontWeight) {
        ++measured;
        return TextSize{};
    };
    EXPECT_FALSE(treemapLabel(tileOf("a", 10, {0, 0, 2, 40}), counting).has_value());
    EXPECT_EQ(measured, 0);
}

TEST(TreemapLabel, AmberGetsDarkTextRedGetsLight) {
    const auto measure = test::fixedMeasurer(1, 1);
    EXPECT_TRUE(treemapLabel(tileOf("a", 1, {0, 0, 100, 100}, 44), measure)->darkText);
    EXPECT_FALSE(treemapLabel(tileOf("a", 1, {0, 0, 100, 100}, 0), measure)->darkText);
    EXPECT_FALSE(treemapLabel(tileOf("a", 1, {0, 0, 100, 100}, -32), measure)->darkText);
}

TEST(TreemapTooltip, ShowsTheShareOnlyOfAFolderWithBytes) {
    const auto tip = treemapTooltip(tileOf("Movies", 250, {}), 1000);
    ASSERT_EQ(tip.lines.size(), 3u);
    EXPECT_EQ(tip.lines[0].text, "Movies");
    EXPECT_EQ(tip.lines[0].weight, FontWeight::semibold);
    EXPECT_EQ(tip.lines[1].role, TextRole::secondary);
    EXPECT_EQ(tip.lines[2].text, "25.0% of this folder");
    EXPECT_EQ(tip.lines[2].role, TextRole::tertiary);
    EXPECT_EQ(treemapTooltip(tileOf("Movies", 0, {}), 0).lines.size(), 2u);
}

TEST(TreemapClicks, DoubleClicksDrillIntoFoldersOnlyAndAggregatesAreInert) {
    using namespace std::chrono;
    steady_clock::time_point now{};
    TreemapClicks clicks([&] { return now; }, milliseconds(500));
    const FileNode dir = folder("/f/dir", {file("/f/dir/x", 1)});
    TreemapTile folderTile = tileOf("dir", 1, {});
    folderTile.node = dir;
    TreemapTile fileTile = tileOf("x", 1, {});
    fileTile.node = file("/f/x", 1);
    const TreemapTile aggregateTile = tileOf("small", 1, {});

    auto first = clicks.click(&folderTile);
    EXPECT_TRUE(first.select.has_value());
    EXPECT_FALSE(first.drill.has_value());
    now += milliseconds(400);
    // An aggregate between the two clicks changes nothing.
    EXPECT_FALSE(clicks.click(&aggregateTile).select.has_value());
    EXPECT_FALSE(clicks.click(nullptr).select.has_value());
    auto second = clicks.click(&folderTile);
    EXPECT_TRUE(second.select.has_value());
    ASSERT_TRUE(second.drill.has_value());
    EXPECT_EQ(second.drill->path(), "/f/dir");
    // A third click starts over.
    EXPECT_FALSE(clicks.click(&folderTile).drill.has_value());

    // Two clicks on a file select twice and drill nowhere; A then B are two single clicks.
    now += seconds(5);
    clicks.click(&fileTile);
    EXPECT_FALSE(clicks.click(&fileTile).drill.has_value());
    clicks.click(&fileTile);
    EXPECT_FALSE(clicks.click(&folderTile).drill.has_value());
    // Too late: a single click.
    now += milliseconds(501);
    EXPECT_FALSE(clicks.click(&folderTile).drill.has_value());
}

} // namespace
} // namespace quillmere::views
