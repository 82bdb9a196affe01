#include "views/InsightModel.hpp"

#include "InsightTestSupport.hpp"
#include "ViewsTestSupport.hpp"
#include "views/InsightTexts.hpp"

#include <climits>
#include <cmath>
#include <ctime>
#include <gtest/gtest.h>
#include <limits>

namespace quillmere::views {
namespace {

using namespace insight;
using test::aggregate;
using test::file;
using test::folder;
using Band = DiskInsights::AgeBand;

using test::dated;
using test::day;
const Date kNow = test::kInsightNow;

std::vector<std::string> pathsOf(const std::vector<DiskInsights::Item>& items) {
    std::vector<std::string> paths;
    for (const auto& item : items)
        paths.push_back(item.node.path());
    return paths;
}

TEST(InsightSharedPieces, RelativeFolderOfAnItemBelowTheRootOrOutsideIt) {
    EXPECT_EQ(relativeFolder("/Users/ann", "/Users/ann/Movies/Trips/a.mov"), "Movies/Trips");
    EXPECT_EQ(relativeFolder("/Users/ann", "/Users/ann/a.mov"), std::nullopt);
    EXPECT_EQ(relativeFolder("/", "/Library/Caches/x"), "Library/Caches");
    EXPECT_EQ(relativeFolder("/", "/x"), std::nullopt);
    // Outside the root, also where a plain prefix of the name would match.
    EXPECT_EQ(relativeFolder("/Users/ann", "/Users/anne/Movies/a.mov"), std::nullopt);
    EXPECT_EQ(relativeFolder("/Users/ann", "/Volumes/b/c.mov"), std::nullopt);
}

TEST(InsightSharedPieces, DetailLineJoinsWhatAppliesWithMiddleDots) {
    EXPECT_EQ(joinDetail(detailParts(std::string("Movies/Trips"), std::string("Jan 5, 2026"), false)),
              "in Movies/Trips \u00b7 changed Jan 5, 2026");
    EXPECT_EQ(joinDetail(detailParts(std::nullopt, std::string("Jan 5, 2026"), true)),
              "In this folder \u00b7 changed Jan 5, 2026 \u00b7 counted as one item");
    EXPECT_EQ(joinDetail(detailParts(std::nullopt, std::nullopt, false)), "In this folder");
}

TEST(InsightSharedPieces, BarsScaleToTheFirstItemAndStayInsideTheirTrack) {
    const std::vector<DiskInsights::Item> one{{file("/r/a.mov", 500), FileKind::videos, std::nullopt}};
    EXPECT_EQ(barFillWidth(90, barFraction(500, listMaxBytes(one))), 90);
    const std::vector<DiskInsights::Item> zeroFirst{{file("/r/a.mov", 0), FileKind::videos, std::nullopt},
                                                    {file("/r/b.mov", 0), FileKind::videos, std::nullopt}};
    EXPECT_EQ(barFraction(0, listMaxBytes(zeroFirst)), 0);
    EXPECT_EQ(barFraction(7, 0), 0);
    EXPECT_EQ(listMaxBytes({}), 0);
    EXPECT_EQ(barFillWidth(110, barFraction(50, 100)), 55);
    EXPECT_EQ(barFillWidth(90, -0.5), 0);
    EXPECT_EQ(barFillWidth(90, barFraction(-20, 100)), 0);
    EXPECT_EQ(barFillWidth(90, std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(barFillWidth(90, 3), 90);
}

TEST(InsightTaskKeys, EqualExactlyWhenPathBytesFilesAndFoldersAre) {
    const FileNode a = folder("/r", {file("/r/a.mov", 10), file("/r/b.mov", 20)});
    EXPECT_EQ(InsightTaskKey::of(a), (InsightTaskKey{"/r", 30, 2, 1}));
    const FileNode otherDate = FileNode("r", "/r", true, false, 30, false, false, 0, false, 1, 2, 0, 12345.0,
                                        {a.children().begin(), a.children().end()});
    EXPECT_EQ(InsightTaskKey::of(a), InsightTaskKey::of(otherDate));
    EXPECT_NE(InsightTaskKey::of(a), InsightTaskKey::of(folder("/r", {file("/r/a.mov", 10)})));
    EXPECT_NE(InsightTaskKey::of(a),
              InsightTaskKey::of(folder("/s", {file("/s/a.mov", 10), file("/s/b.mov", 20)})));
    EXPECT_NE((UntouchedTaskKey{InsightTaskKey::of(a), 1}), (UntouchedTaskKey{InsightTaskKey::of(a), 2}));
}

TEST(LargestItemsComputation, AtMostAHundredLargestFirstTiesInWalkOrderNeverTheFolder) {
    std::vector<FileNode> children;
    for (int i = 0; i < 150; ++i)
        children.push_back(file("/r/f" + std::to_string(i) + ".mov", i < 120 ? 1000 : 5000));
    children.push_back(aggregate("/r/(small)", 100000));
    const FileNode bundle = folder("/r/Big.app", std::move(children));
    const FileNode root = folder("/r", {bundle, file("/r/tie-a.zip", 7000), file("/r/tie-b.zip", 7000)});
    // The application is one item; inside it nothing is listed.
    const auto top = largestItems(root);
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(top[0].node.path(), "/r/Big.app");

    std::vector<FileNode> many;
    for (int i = 0; i < 150; ++i)
        many.push_back(file("/r/f" + std::to_string(i) + ".mov", i % 3 == 0 ? 5000 : 1000));
    many.push_back(aggregate("/r/(small)", 100000));
    const auto items = largestItems(folder("/r", many));
    ASSERT_EQ(items.size(), 100u);
    EXPECT_EQ(items[0].node.path(), "/r/f0.mov");
    EXPECT_EQ(items[1].node.path(), "/r/f3.mov");
    EXPECT_EQ(items[50].node.path(), "/r/f1.mov"); // the first of the smaller ones, in walk order
    EXPECT_EQ(items[51].node.path(), "/r/f2.mov");
    for (const auto& item : items)
        EXPECT_NE(item.kind, FileKind::smallFiles);

    // Shown as the folder on screen, a bundle is never an item of its own list.
    const FileNode app = folder("/r/Only.app", {file("/r/Only.app/x", 10)});
    EXPECT_EQ(pathsOf(largestItems(app)), std::vector<std::string>{"/r/Only.app/x"});
    EXPECT_TRUE(largestItems(folder("/r", {file("/r/c.mov", 10, false, true)})).empty());
}

TEST(KindsComputation, TiesInDeclarationOrderAndCountLines) {
    const FileNode root = folder("/r", {file("/r/a.zip", 100), file("/r/b.mov", 100), file("/r/c.png", 50),
                                        aggregate("/r/(small)", 2)});
    const auto breakdown = kindBreakdown(root);
    ASSERT_EQ(breakdown.buckets.size(), 4u);
    EXPECT_EQ(breakdown.buckets[0].kind, FileKind::videos);
    EXPECT_EQ(breakdown.buckets[1].kind, FileKind::archives);
    EXPECT_EQ(breakdown.buckets[2].kind, FileKind::images);
    EXPECT_EQ(barFraction(breakdown.buckets[2].bytes, breakdown.buckets[0].bytes), 0.5);
    EXPECT_FALSE(isExpandable(breakdown.buckets[3]));
    EXPECT_TRUE(isExpandable(breakdown.buckets[0]));

    using insight_texts::kindCountLine;
    EXPECT_EQ(kindCountLine(FileKind::videos, 1, 100, 100), "1 item \u00b7 100%");
    EXPECT_EQ(kindCountLine(FileKind::videos, 12, 34, 100), "12 items \u00b7 34%");
    EXPECT_EQ(kindCountLine(FileKind::smallFiles, 3, 2, 100), "3 groups \u00b7 2%");
    EXPECT_EQ(kindCountLine(FileKind::smallFiles, 1, 2, 100), "1 group \u00b7 2%");
    EXPECT_EQ(kindCountLine(FileKind::images, 2, 4, 1000), "2 items \u00b7 0%");
    EXPECT_EQ(kindCountLine(FileKind::images, 2, 4, 0), "2 items \u00b7 0%");
    EXPECT_EQ(kindCountLine(FileKind::images, 12345, 1, 1), "12,345 items \u00b7 100%");

    EXPECT_EQ(insight_texts::kindTooltip(FileKind::buildFolders, true),
              "Show the largest build & dependency folders");
    EXPECT_EQ(insight_texts::kindTooltip(FileKind::smallFiles, false),
              std::string(explanation(FileKind::smallFiles)));

    auto expanded = toggled({}, FileKind::videos);
    expanded = toggled(expanded, FileKind::images);
    EXPECT_EQ(expanded, (std::vector<FileKind>{FileKind::videos, FileKind::images}));
    EXPECT_EQ(toggled(expanded, FileKind::videos), std::vector<FileKind>{FileKind::images});
}

TEST(UntouchedComputation, ThresholdCutoffAndWhatIsNeverListed) {
    const FileNode root = folder(
        "/r",
        {dated("/r/thirteen-months.mov", 300, day(2025, 5, 15)), dated("/r/exact.mov", 200, day(2025, 6, 15)),
         dated("/r/undated.mov", 900, std::nullopt), dated("/r/old-clock.mov", 800, day(1975, 1, 1)),
         dated("/r/ancient.zip", 100, day(2019, 1, 1)), aggregate("/r/(small)", 50),
         FileNode("Stuff", "/r/Stuff", true, false, 700, false, false, 0, false, 1, 0, 0, day(2010, 1, 1),
                  {})});
    EXPECT_EQ(pathsOf(untouchedItems(root, kNow, 1)),
              (std::vector<std::string>{"/r/thirteen-months.mov", "/r/ancient.zip"}));
    EXPECT_EQ(pathsOf(untouchedItems(root, kNow, 2)), std::vector<std::string>{"/r/ancient.zip"});
    EXPECT_TRUE(untouchedItems(root, kNow, 10).empty());

    // The bar counts everything, the undated and unexplored in "Not dated".
    const auto age = ageBreakdown(root, kNow);
    EXPECT_EQ(age.bytesByBand.at(Band::undated), 900 + 800 + 700 + 50);
    EXPECT_EQ(age.totalBytes, 300 + 200 + 900 + 800 + 100 + 50 + 700);

    std::vector<FileNode> many;
    for (int i = 0; i < 130; ++i)
        many.push_back(dated("/r/f" + std::to_string(i) + ".mov", i % 2 == 0 ? 20 : 10, day(2010, 1, 1)));
    const auto items = untouchedItems(folder("/r", many), kNow, 1);
    ASSERT_EQ(items.size(), 100u);
    EXPECT_EQ(items[0].node.path(), "/r/f0.mov");
    EXPECT_EQ(items[64].node.path(), "/r/f128.mov");
    EXPECT_EQ(items[65].node.path(), "/r/f1.mov");
    EXPECT_EQ(items[99].node.path(), "/r/f69.mov");
}

TEST(UntouchedComputation, StoredYearsTheCalendarCannotUseGiveNoCutoff) {
    EXPECT_EQ(untouchedCutoff(kNow, INT_MIN), std::nullopt);
    EXPECT_EQ(untouchedCutoff(kNow, INT_MIN + 1), std::nullopt);
    EXPECT_EQ(untouchedCutoff(kNow, 0), kNow);
    EXPECT_GT(*untouchedCutoff(kNow, -1), kNow);
    const auto far = untouchedCutoff(kNow, INT_MAX);
    if (far) {
        EXPECT_LT(*far, kNow);
    }
    const FileNode root = folder("/r", {dated("/r/a.mov", 1, day(2020, 1, 1))});
    EXPECT_TRUE(untouchedItems(root, kNow, INT_MIN).empty());
    EXPECT_EQ(untouchedItems(root, kNow, -1).size(), 1u);
    EXPECT_TRUE(untouchedItems(root, kNow, 0).size() == 1u);
    (void)untouchedItems(root, kNow, INT_MAX);
}

TEST(UntouchedComputation, AgeSegmentsLeaveOutEmptyBandsAndKeepTinyOnesVisible) {
    DiskInsights::AgeBreakdown age;
    age.bytesByBand = {{Band::pastYear, 999'999}, {Band::overFiveYears, 1}, {Band::twoToFiveYears, 0}};
    age.totalBytes = 1'000'000;
    const auto segments = ageSegments(age);
    EXPECT_EQ(segments, (std::vector<AgeSegment>{{Band::overFiveYears, 1}, {Band::pastYear, 999'999}}));
    const auto widths = ageSegmentWidths(segments, age.totalBytes, 500);
    EXPECT_EQ(widths[0], 2);
    EXPECT_NEAR(widths[1], 500 * 0.999999 - 2, 1e-9);
    EXPECT_TRUE(ageSegments({}).empty());
    EXPECT_EQ(ageSegmentWidths(segments, 0, 500), (std::vector<double>{2, 2}));
}

TEST(InsightTexts, ScreensInsertTheFolderNameUnchanged) {
    using namespace insight_texts;
    EXPECT_EQ(largestSubtitle("Macintosh HD"),
              "The biggest files and bundles anywhere beneath Macintosh HD, largest first.");
    EXPECT_EQ(largestEmpty("/"), "Nothing beneath / is big enough to list.");
    EXPECT_EQ(kindsSubtitle("a “b”"), "Everything beneath a “b”, grouped by what it is.");
    EXPECT_EQ(kindsEmpty("x"), "Nothing beneath x takes up space.");
    EXPECT_EQ(untouchedSubtitle("Home"), "What beneath Home hasn't changed in a long time. Unchanged isn't "
                                         "unneeded, so look before you delete.");
    EXPECT_EQ(untouchedEmpty("Home", 1), "Everything beneath Home has changed within the last year.");
    EXPECT_EQ(untouchedEmpty("Home", 2), "Everything beneath Home has changed within the last 2 years.");
    EXPECT_EQ(untouchedEmpty("Home", 5), "Everything beneath Home has changed within the last 5 years.");
    EXPECT_EQ(yearChoiceTitle(1), "1 year");
    EXPECT_EQ(yearChoiceTitle(2), "2 years");
    EXPECT_EQ(yearChoiceTitle(5), "5 years");
    EXPECT_EQ(yearChoiceHelp(1), "Files that haven't changed in a year or more");
    EXPECT_EQ(yearChoiceHelp(5), "Files that haven't changed in 5 years or more");
    EXPECT_EQ(ageBandLabel(Band::twoToFiveYears), "2\u20135 years");
    EXPECT_EQ(ageBandLabel(Band::oneToTwoYears), "1\u20132 years");
    EXPECT_EQ(ageBandLabel(Band::undated), "Not dated");
    EXPECT_NE(sharedFootnote().find(" \u2014 removing them frees nothing."), std::string::npos);
    EXPECT_EQ(untouchedFootnote().substr(0, 49), "Dates are when a file's contents last changed \u2014");
    EXPECT_EQ(loading(), "Reading the scan\u2026");
}

} // namespace
} // namespace quillmere::views
