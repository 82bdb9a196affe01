#include "views/widgets/InsightViews.hpp"

#include "ui/SegmentedPills.hpp"
#include "ui/Theme.hpp"
#include "views/InsightTestSupport.hpp"
#include "views/ViewsTestSupport.hpp"
#include "views/widgets/WaitUntil.hpp"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <atomic>
#include <chrono>
#include <climits>
#include <ctime>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace quillmere {
namespace {

using views::test::aggregate;
using views::test::file;
using views::test::folder;

using views::test::dated;
using views::test::day;
const Date kNow = views::test::kInsightNow;

std::vector<std::string> pathsOf(const std::vector<FileNode>& nodes) {
    std::vector<std::string> paths;
    for (const auto& node : nodes)
        paths.push_back(node.path());
    return paths;
}

struct Recorder {
    std::vector<std::vector<std::string>> drilled;
    std::vector<std::string> selected;
    std::string protectedPath = "/r/lib/locked.zip";
    InsightActions actions() {
        return {[this](const std::vector<FileNode>& chain) { drilled.push_back(pathsOf(chain)); },
                [this](const FileNode& node) { selected.push_back(node.path()); },
                [this](const std::string& path) { return path == protectedPath; }, [] { return kNow; },
                [] { return true; }};
    }
};

// /r: a movie two folders down, a direct archive, a protected one, the small files.
FileNode sampleTree(int64_t movieSize = 4000) {
    return folder("/r",
                  {folder("/r/a", {folder("/r/a/b", {dated("/r/a/b/trip.mov", movieSize, day(2020, 1, 1))})}),
                   file("/r/direct.zip", 1000), folder("/r/lib", {file("/r/lib/locked.zip", 500)}),
                   aggregate("/r/(small)", 300)});
}

InsightInputs inputsFor(const FileNode& root, bool saved = false) {
    return {root, "r", saved, std::nullopt};
}

QImage render(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

InsightItemRow* rowOf(InsightItemList* list, const std::string& path) {
    for (auto* row : list->rows())
        if (row->model().item.node.path() == path) return row;
    return nullptr;
}

TEST(InsightItemRows, OpenTheFolderThroughBothLevelsOrSelectTheItem) {
    Recorder recorder;
    LargestItemsView view(inputsFor(sampleTree()), recorder.actions());
    view.resize(700, 500);
    ASSERT_TRUE(waitUntil([&] { return view.items().has_value(); }));
    auto* movie = rowOf(view.list(), "/r/a/b/trip.mov");
    auto* direct = rowOf(view.list(), "/r/direct.zip");
    ASSERT_TRUE(movie && direct);
    EXPECT_EQ(movie->model().detail.substr(0, 10), "in a/b \u00b7 ");
    EXPECT_NE(movie->model().detail.find("changed "), std::string::npos);
    EXPECT_EQ(direct->model().detail, "In this folder");

    movie->clickAt(movie->buttonRect().center());
    EXPECT_EQ(recorder.drilled, (std::vector<std::vector<std::string>>{{"/r/a", "/r/a/b"}}));
    EXPECT_EQ(movie->toolTipAt(movie->buttonRect().center()), "Open the folder it's in");
    EXPECT_EQ(movie->toolTipAt(movie->textRect().center()), "/r/a/b/trip.mov");

    // A direct child has an empty space in place of the button: a click there selects.
    EXPECT_FALSE(direct->hasOpenFolderButton());
    direct->clickAt(direct->buttonRect().center());
    movie->clickAt(movie->textRect().center());
    EXPECT_EQ(recorder.selected, (std::vector<std::string>{"/r/direct.zip", "/r/a/b/trip.mov"}));
    EXPECT_EQ(recorder.drilled.size(), 1u);

    EXPECT_TRUE(rowOf(view.list(), "/r/lib/locked.zip")->model().isProtected);
    EXPECT_FALSE(movie->model().isProtected);
}

TEST(InsightItemRows, BarsAreFullEmptyOrZeroOnThePixels) {
    Recorder recorder;
    const auto alphaAtBarEnd = [](InsightItemRow& row) {
        row.resize(640, row.sizeHint().height());
        const QImage image = render(row);
        const QRectF bar = row.barRect();
        return qAlpha(image.pixel(static_cast<int>(bar.right()) - 4, static_cast<int>(bar.center().y())));
    };
    const auto rowFor = [&](int64_t size, int64_t maxBytes) {
        InsightItemRow::Model model;
        model.item = {file("/r/x.mov", size), FileKind::videos, std::nullopt};
        model.maxBytes = maxBytes;
        model.detail = "In this folder";
        return std::make_unique<InsightItemRow>(model, nullptr, nullptr);
    };
    const auto full = rowFor(1000, 1000);
    const auto zeroScale = rowFor(0, 0);
    const auto negative = rowFor(-50, 1000);
    const int track = alphaAtBarEnd(*zeroScale);
    EXPECT_GT(alphaAtBarEnd(*full), 150);
    EXPECT_LT(track, 40);
    EXPECT_EQ(alphaAtBarEnd(*negative), track);
}

TEST(InsightItemRows, TheSelectedRowKeepsItsAccentWhileHovered) {
    InsightItemRow::Model model;
    model.item = {file("/r/x.mov", 10), FileKind::videos, std::nullopt};
    model.maxBytes = 10;
    model.detail = "In this folder";
    InsightItemRow row(model, nullptr, nullptr);
    row.resize(640, row.sizeHint().height());
    const QPoint probe(static_cast<int>(row.textRect().right()) + 6, 3);
    const auto colorAt = [&] { return render(row).pixel(probe); };
    const QRgb plain = colorAt();
    row.setHovered(true);
    const QRgb hovered = colorAt();
    row.setSelected(true);
    const QRgb selectedHovered = colorAt();
    row.setHovered(false);
    EXPECT_EQ(selectedHovered, colorAt());
    EXPECT_NE(hovered, plain);
    EXPECT_NE(selectedHovered, hovered);
    const QColor accent = Theme::accent(Theme::isDark(&row));
    const QColor seen = QColor::fromRgba(selectedHovered);
    EXPECT_NEAR(seen.hslHue(), accent.hslHue(), 12);
}

TEST(LargestItemsScreen, LoadingOnlyBeforeTheFirstResultThenTheOldListUntilTheNewOne) {
    Recorder recorder;
    LargestItemsView view(inputsFor(sampleTree(), true), recorder.actions());
    view.resize(700, 500);
    EXPECT_TRUE(view.showsSavedScanNotice());
    EXPECT_EQ(view.titleText(), "Largest items");
    EXPECT_FALSE(view.loadingState()->isHidden());
    ASSERT_TRUE(waitUntil([&] { return view.items().has_value(); }));
    EXPECT_TRUE(view.loadingState()->isHidden());
    EXPECT_FALSE(view.footnote()->isHidden());
    const auto first = view.items()->front().node.path();

    std::promise<void> release;
    auto gate = release.get_future().share();
    view.setComputation([gate](const FileNode& folder, const std::atomic<bool>*) {
        gate.wait();
        return views::insight::largestItems(folder);
    });
    // The same key starts nothing; a new size does, and the old list stays meanwhile.
    view.setInputs(inputsFor(sampleTree(), false));
    EXPECT_EQ(view.task().startedCount(), 1);
    EXPECT_FALSE(view.showsSavedScanNotice());
    view.setInputs(inputsFor(sampleTree(500), false));
    EXPECT_EQ(view.task().startedCount(), 2);
    QCoreApplication::processEvents();
    EXPECT_TRUE(view.loadingState()->isHidden());
    EXPECT_EQ(view.items()->front().node.path(), first);
    release.set_value();
    ASSERT_TRUE(waitUntil([&] { return view.items()->front().node.path() != first; }));
    EXPECT_EQ(view.items()->front().node.path(), "/r/direct.zip");
    EXPECT_TRUE(view.loadingState()->isHidden());
}

TEST(LargestItemsScreen, NothingToListShowsTheEmptyTextAndNoFootnote) {
    Recorder recorder;
    LargestItemsView view(
        inputsFor(folder("/r", {file("/r/c.mov", 10, false, true), aggregate("/r/(s)", 5)})),
        recorder.actions());
    ASSERT_TRUE(waitUntil([&] { return view.items().has_value(); }));
    EXPECT_FALSE(view.emptyState()->isHidden());
    EXPECT_EQ(view.emptyState()->text(), "Nothing beneath r is big enough to list.");
    EXPECT_TRUE(view.footnote()->isHidden());
    EXPECT_TRUE(view.list()->isHidden());
}

// The screen's computation is told to stop when the screen goes, and what it returns then is
// dropped without touching the screen.
TEST(LargestItemsScreen, AScreenThatGoesStopsItsComputation) {
    Recorder recorder;
    std::promise<void> started;
    auto running = started.get_future();
    std::atomic<bool> sawCancel = false;
    auto view = std::make_unique<LargestItemsView>(inputsFor(sampleTree()), recorder.actions());
    ASSERT_TRUE(waitUntil([&] { return view->items().has_value(); }));
    view->setComputation([&](const FileNode& folder, const std::atomic<bool>* cancelled) {
        started.set_value();
        if (!cancelled) return views::insight::largestItems(folder);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!cancelled->load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        sawCancel = cancelled->load();
        return views::insight::largestItems(folder);
    });
    view->setInputs(inputsFor(sampleTree(10)));
    ASSERT_EQ(running.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    view.reset();
    insightPool().waitForDone();
    QCoreApplication::processEvents();
    EXPECT_TRUE(sawCancel.load());
}

FileNode kindsTree(int64_t videoBytes = 1000) {
    return folder("/r", {file("/r/a.mov", videoBytes), file("/r/b.png", 500),
                         FileNode("Never", "/r/Never", true, false, 200, false, false, 0, false, 1, 0, 0,
                                  std::nullopt, {}),
                         aggregate("/r/(small)", 100)});
}

TEST(KindsScreen, RowsOfUnlistableKindsNeitherOpenNorPointAndExpansionSurvivesANewBreakdown) {
    Recorder recorder;
    ByKindView view(inputsFor(kindsTree()), recorder.actions());
    view.resize(760, 700);
    view.show();
    ASSERT_TRUE(waitUntil([&] { return view.breakdown().has_value(); }));
    const auto rows = view.rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0]->kind(), FileKind::videos);
    EXPECT_EQ(rows[1]->barFraction(), 0.5);
    EXPECT_EQ(rows[0]->countLine(), "1 item \u00b7 56%");
    for (auto* row : rows) {
        const bool listable = row->kind() != FileKind::unexplored && row->kind() != FileKind::smallFiles;
        EXPECT_EQ(row->isExpandable(), listable);
        EXPECT_EQ(row->cursor().shape() == Qt::PointingHandCursor, listable);
        if (!listable) {
            EXPECT_EQ(row->toolTip().toStdString(), std::string(explanation(row->kind())));
            ASSERT_TRUE(row->onToggle);
            QMouseEvent click(QEvent::MouseButtonRelease, QPointF(20, 10), QPointF(20, 10), Qt::LeftButton,
                              Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(row, &click);
        }
    }
    EXPECT_TRUE(view.expandedKinds().empty());
    EXPECT_EQ(rows[0]->toolTip(), "Show the largest videos");

    rows[0]->onToggle();
    rows[1]->onToggle();
    EXPECT_TRUE(view.expandedList(FileKind::videos) && view.expandedList(FileKind::images));
    EXPECT_EQ(view.expandedList(FileKind::videos)->rows().size(), 1u);
    EXPECT_EQ(rows[0]->chevronAngle(), 90); // reduce motion: turned at once

    view.setInputs(inputsFor(kindsTree(4000)));
    ASSERT_TRUE(waitUntil([&] { return view.breakdown()->totalBytes == 4800; }));
    EXPECT_TRUE(view.expandedList(FileKind::videos) && view.expandedList(FileKind::images));
    EXPECT_EQ(view.rows()[0]->chevronAngle(), 90);
    view.rows()[0]->onToggle();
    EXPECT_EQ(view.expandedList(FileKind::videos), nullptr);
    EXPECT_EQ(view.expandedKinds(), std::vector<FileKind>{FileKind::images});
}

TEST(UntouchedScreen, TheYearChoiceReRunsOnlyTheList) {
    Recorder recorder;
    const FileNode root = folder(
        "/r", {dated("/r/old.mov", 300, day(2025, 5, 15)), dated("/r/older.zip", 100, day(2019, 1, 1))});
    UntouchedView view(inputsFor(root), 1, recorder.actions());
    view.resize(760, 700);
    std::vector<int> chosen;
    view.onYearsChosen = [&](int years) {
        chosen.push_back(years);
        view.setYears(years); // what the host does once the setting is stored
    };
    ASSERT_TRUE(waitUntil([&] { return view.items().has_value() && view.age().has_value(); }));
    EXPECT_EQ(view.items()->size(), 2u);
    EXPECT_TRUE(view.yearPills()->isSelected(0));
    view.yearPills()->activate(1);
    EXPECT_EQ(chosen, std::vector<int>{2});
    ASSERT_TRUE(waitUntil([&] { return view.items()->size() == 1u; }));
    EXPECT_EQ(view.ageTask().startedCount(), 1);
    EXPECT_EQ(view.listTask().startedCount(), 2);
    EXPECT_TRUE(view.yearPills()->isSelected(1));
    EXPECT_EQ(view.emptyState()->text(), "Everything beneath r has changed within the last 2 years.");
    EXPECT_EQ(view.yearPills()->pillToolTip(2), "Files that haven't changed in 5 years or more");
}

TEST(UntouchedScreen, NothingClassifiedShowsAnEmptyStripAndTheEmptyText) {
    Recorder recorder;
    UntouchedView view(inputsFor(folder("/r", {})), 1, recorder.actions());
    view.resize(760, 700);
    ASSERT_TRUE(waitUntil([&] { return view.items().has_value() && view.age().has_value(); }));
    EXPECT_FALSE(view.ageBar()->isHidden());
    EXPECT_TRUE(view.ageBar()->segments().empty());
    EXPECT_EQ(view.ageBar()->stripRect().height(), 12);
    EXPECT_FALSE(view.emptyState()->isHidden());
    EXPECT_EQ(view.emptyState()->text(), "Everything beneath r has changed within the last year.");
    EXPECT_TRUE(view.footnote()->isHidden());
}

TEST(UntouchedScreen, StoredYearsOutsideTheChoicesAreUsedOrGiveAnEmptyList) {
    Recorder recorder;
    const FileNode root = folder("/r", {dated("/r/old.mov", 300, day(2019, 5, 15))});
    for (const int years : {0, -1, INT_MIN, INT_MAX, INT_MIN + 1}) {
        UntouchedView view(inputsFor(root), years, recorder.actions());
        ASSERT_TRUE(waitUntil([&] { return view.items().has_value(); })) << years;
        for (int i = 0; i < 3; ++i)
            EXPECT_FALSE(view.yearPills()->isSelected(i)) << years;
        const bool calendarCanForm = years != INT_MIN && years != INT_MIN + 1 && years != INT_MAX;
        if (calendarCanForm) {
            EXPECT_EQ(view.items()->size(), 1u) << years;
        }
        if (years == INT_MIN) {
            EXPECT_TRUE(view.items()->empty());
        }
    }
}

TEST(UntouchedScreen, TheAgeBarDropsEmptyBandsAndNamesTheRestForAssistiveTechnology) {
    AgeBar bar;
    bar.resize(500, bar.sizeHint().height());
    DiskInsights::AgeBreakdown age;
    age.bytesByBand = {{DiskInsights::AgeBand::pastYear, 1'000'000},
                       {DiskInsights::AgeBand::overFiveYears, 1}};
    age.totalBytes = 1'000'001;
    bar.setBreakdown(age);
    const auto rects = bar.segmentRects();
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[0].width(), 2);
    EXPECT_EQ(rects[1].left(), 4);
    EXPECT_TRUE(bar.accessibleName().startsWith("Over 5 years "));

    // A narrow bar carries its legend on as many lines as it needs, never past its width.
    DiskInsights::AgeBreakdown all;
    for (const auto band : DiskInsights::allAgeBands())
        all.bytesByBand[band] = 123'456'789;
    all.totalBytes = 5 * 123'456'789LL;
    bar.setBreakdown(all);
    const auto wide = bar.legendOrigins(2000);
    const auto narrow = bar.legendOrigins(150);
    EXPECT_EQ(wide.back().y(), wide.front().y());
    EXPECT_GT(narrow.back().y(), narrow.front().y());
    EXPECT_GT(bar.heightForWidth(150), bar.heightForWidth(2000));
    for (const auto& origin : narrow)
        EXPECT_LT(origin.x(), 150);
    EXPECT_TRUE(bar.accessibleName().contains(", Past year "));
}

} // namespace
} // namespace quillmere
