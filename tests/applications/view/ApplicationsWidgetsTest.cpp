#include "applications/LeftoverSamples.hpp"
#include "applications/state/ApplicationsState.hpp"
#include "applications/view/AppDropOverlay.hpp"
#include "applications/view/AppIconCache.hpp"
#include "applications/view/ApplicationListView.hpp"
#include "applications/view/ApplicationsToolbar.hpp"
#include "applications/view/ApplicationsView.hpp"
#include "applications/view/DetailPanelWidgets.hpp"
#include "applications/view/DetailPanels.hpp"
#include "reclaim/view/SheetReclaimPresenter.hpp"
#include "support/ApplicationsTestSupport.hpp"

#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

namespace quillmere::testing {
namespace {

using Group = LeftoverItem::Group;

class NoPresenter : public ReclaimPresenter {
public:
    void present(QWidget*, ReclaimTarget, Finished) override {}
};

// Panels built directly, on a state that is never started.
struct Bench {
    Bench()
        : disk(freshFolder("widgets")),
          state(std::make_shared<DiskApplicationServices>(fixtureEnvironment(disk)), {}, disk.home()),
          services{state, presenter,
                   [this](const std::vector<std::string>& paths) { revealed.push_back(paths); }, icons} {}
    fixture::FixtureDisk disk;
    NoPresenter presenter;
    AppIconCache icons;
    std::vector<std::vector<std::string>> revealed;
    ApplicationsState state;
    PanelServices services;
};

TEST(ApplicationsWidgetsTest, ABundleOnlyAttributionReadsInTheSingularWithoutACacheButton) {
    Bench bench;
    const InstalledApp foo = app("/A/Foo.app", 300);
    RemovableAppPanel panel(foo, std::nullopt, bench.services);
    EXPECT_TRUE(panel.isLoading());
    panel.setAttribution(LeftoverAttribution{foo, {item("/A/Foo.app", Group::application, 300)}, 0});
    EXPECT_FALSE(panel.isLoading());
    EXPECT_EQ(panel.summaryCountText(), "1 item");
    EXPECT_EQ(panel.placeCountText(), "in 1 place");
    EXPECT_EQ(panel.removingText(), "Removing 1 of 1 items");
    EXPECT_TRUE(panel.cacheButton()->isHidden());
    EXPECT_TRUE(panel.uninstallTarget().tickedPaths.empty());
    ASSERT_EQ(panel.tickList()->sections().size(), 1u);
    EXPECT_EQ(panel.tickList()->sections()[0].heading, "The application");

    // Every cache item is shared: still no cache button; the shared row names the other app.
    panel.setAttribution(LeftoverAttribution{foo,
                                             {item("/A/Foo.app", Group::application, 300),
                                              item("/C/x", Group::cachesPreferencesAndState, 10, "Bar")},
                                             0});
    EXPECT_TRUE(panel.cacheButton()->isHidden());
    EXPECT_EQ(panel.placeCountText(), "in 2 places");
    const TickList::Row& shared = panel.tickList()->sections().back().rows.front();
    EXPECT_EQ(shared.location, "shared with Bar — kept");
    EXPECT_TRUE(shared.locationIsAccent);
    EXPECT_FALSE(shared.isChecked);
}

TEST(ApplicationsWidgetsTest, TickListTogglesByTapAndKeyboardAndSkipsHeadings) {
    Bench bench;
    const InstalledApp foo = app("/A/Foo.app", 300);
    RemovableAppPanel panel(foo,
                            LeftoverAttribution{foo,
                                                {item("/A/Foo.app", Group::application, 300),
                                                 item("/S/Foo", Group::supportAndContainers, 900),
                                                 item("/C/foo", Group::cachesPreferencesAndState, 100)},
                                                0},
                            bench.services);
    panel.resize(302, 600);
    panel.show();
    TickList* list = panel.tickList();
    QSignalSpy toggled(list, &TickList::toggled);
    // The second section's only row: below two headings and one row.
    const qreal heading = 12 + QFontMetricsF(Theme::uiFont(10, QFont::Bold)).height() + 4;
    const int y = qRound(2 * heading + TickList::kRowHeight + TickList::kRowHeight / 2);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(40, y));
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_EQ(toggled.at(0).at(0).toInt(), 1);
    EXPECT_EQ(toggled.at(0).at(1).toInt(), 0);
    EXPECT_FALSE(panel.uninstallTarget().tickedPaths.contains("/S/Foo"));
    EXPECT_EQ(list->rowAt(QPoint(40, qRound(heading / 2))), -1) << "a heading is no row";

    list->setFocus(Qt::TabFocusReason);
    QTest::keyClick(list, Qt::Key_Down); // from the first row (focused on entry) to the second
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_FALSE(panel.uninstallTarget().tickedPaths.contains("/C/foo"));
}

TEST(ApplicationsWidgetsTest, TickListLetsGoOfAFocusThatNewSectionsPutOnAHeading) {
    TickList list;
    list.resize(302, 400);
    list.show();
    const auto row = [](const char* name) { return TickList::Row{name, "/x", false, "1 KB", true}; };
    list.setSections({{"First", {row("a"), row("b")}}});
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Down); // the second row, or it stays there
    ASSERT_EQ(list.focusedRow(), 2);
    // The second row moves under a heading of its own: index 2 is now that heading.
    list.setSections({{"First", {row("a")}}, {"Second", {row("b")}}});
    EXPECT_EQ(list.focusedRow(), -1);
    QSignalSpy toggled(&list, &TickList::toggled);
    QTest::keyClick(&list, Qt::Key_Space);
    EXPECT_EQ(toggled.count(), 0) << "a heading is never toggled";
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.focusedRow(), 1);
}

TEST(ApplicationsWidgetsTest, OrphanPanelFollowsTheCaseOrderOfGroupsWhateverTheEntryOrder) {
    Bench bench;
    OrphanLeftoverGroup group{std::nullopt,
                              "com.gone.plist",
                              "",
                              {OrphanEntry{"c", "/L/Caches/c", Group::cachesPreferencesAndState, 5, 0, {}},
                               OrphanEntry{"s", "/L/Support/s", Group::supportAndContainers, -7, 0, {}}}};
    OrphanPanel panel(group, bench.services);
    ASSERT_EQ(panel.tickList()->sections().size(), 2u);
    EXPECT_EQ(panel.tickList()->sections()[0].heading, "Support & containers");
    EXPECT_EQ(panel.tickList()->sections()[0].rows[0].size, "Zero KB") << "negative sizes show as zero";
    EXPECT_EQ(panel.notInstalledText(), "Not installed · 2 folders left behind");
    EXPECT_EQ(panel.tickedBytesText(), "Zero KB");
    panel.toggle("/L/Support/s");
    EXPECT_EQ(panel.tickedBytesText(), "Zero KB") << "a negative sum shows as zero";
    EXPECT_EQ(panel.footerText(), "1 selected");
}

TEST(ApplicationsWidgetsTest, ProtectedPanelFiguresAndShowItsCachesFollowTheAttribution) {
    Bench bench;
    const InstalledApp safari = app("/System/Applications/Safari.app", 300, true);
    ProtectedAppPanel panel(safari, bench.services);
    EXPECT_FALSE(panel.showCachesButton()->isEnabled());
    panel.setAttribution(LeftoverAttribution{
        safari,
        {item("/System/Applications/Safari.app", Group::application, 300),
         item("/h/Library/Containers/com.safari/Data/Library/WebKit", Group::supportAndContainers, 2000),
         item("/h/Library/Caches/com.safari", Group::cachesPreferencesAndState, 1000)},
        0});
    EXPECT_EQ(panel.factValue(0), "300 bytes");
    EXPECT_EQ(panel.factValue(1), "1 KB");
    EXPECT_EQ(panel.factValue(2), "2 KB");
    ASSERT_TRUE(panel.showCachesButton()->isEnabled());
    panel.showCachesButton()->click();
    ASSERT_EQ(bench.revealed.size(), 1u);
    EXPECT_EQ(bench.revealed[0],
              (std::vector<std::string>{"/h/Library/Containers/com.safari/Data/Library/WebKit",
                                        "/h/Library/Caches/com.safari"}));
}

TEST(ApplicationsWidgetsTest, ListRowsAreKeyedByPositionSoTwinGroupsStayApartForTheKeyboard) {
    AppIconCache icons;
    ApplicationListView list(icons);
    list.resize(600, 400);
    list.show();
    ApplicationListView::Content content;
    content.kind = ListAreaContent::list;
    content.rows = {ApplicationRow{app("/A/One.app", 300), std::nullopt}};
    const OrphanLeftoverGroup twin{
        std::nullopt, "x", "", {OrphanEntry{"x", "/L/x", Group::supportAndContainers, 1, 0, {}}}};
    content.orphanGroups = {twin, twin};
    list.setContent(content);
    using Kind = ApplicationListView::Line::Kind;
    std::vector<Kind> kinds;
    for (const auto& line : list.lines())
        kinds.push_back(line.kind);
    EXPECT_EQ(kinds, (std::vector<Kind>{Kind::header, Kind::appRow, Kind::orphanHeader, Kind::orphanRow,
                                        Kind::orphanRow}));

    QSignalSpy apps(&list, &ApplicationListView::appSelected);
    QSignalSpy orphans(&list, &ApplicationListView::orphanGroupSelected);
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.focusedRow(), 1) << "the first row, not the header";
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.focusedRow(), 4) << "the second twin, past the section header";
    QTest::keyClick(&list, Qt::Key_Space);
    ASSERT_EQ(orphans.count(), 1);
    EXPECT_EQ(orphans.at(0).at(0).value<std::string>(), twin.id());
    EXPECT_EQ(apps.count(), 0);
}

TEST(ApplicationsWidgetsTest, SearchClearButtonShowsForBlanksAndEmptiesTheStateText) {
    Bench bench;
    ApplicationsView view(bench.state, bench.presenter, {});
    SearchField* search = view.searchField();
    QTest::keyClicks(search->lineEdit(), " ");
    EXPECT_TRUE(search->showsClearButton());
    EXPECT_EQ(bench.state.searchText(), " ");
    search->findChild<QToolButton*>()->click();
    EXPECT_EQ(bench.state.searchText(), "");
    EXPECT_FALSE(search->showsClearButton());
}

TEST(ApplicationsWidgetsTest, OverlayShowsOnlyForAnAppDragAndNeverTakesTheMouse) {
    Bench bench;
    ApplicationsView view(bench.state, bench.presenter, {});
    EXPECT_TRUE(view.dropOverlay()->testAttribute(Qt::WA_TransparentForMouseEvents));
    QMimeData text;
    text.setUrls({QUrl::fromLocalFile("/x/readme.txt")});
    QDragEnterEvent plain(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &plain);
    EXPECT_FALSE(plain.isAccepted());
    EXPECT_FALSE(view.isDropTargeted());
    QMimeData bundle;
    bundle.setUrls({QUrl::fromLocalFile("/x/Foo.APP")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &bundle, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &enter);
    EXPECT_TRUE(view.isDropTargeted());
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(&view, &leave);
    EXPECT_FALSE(view.isDropTargeted());
}

TEST(ApplicationsWidgetsTest, TheSheetHandsThePanelItsOutcomeOnDone) {
    QWidget window;
    std::optional<Reclaimer::Outcome> received;
    SheetReclaimPresenter presenter([] { return Reclaimer(ReclaimerServices::current()); });
    const InstalledApp foo = app("/nonexistent/Foo.app", 300);
    presenter.present(
        &window, ReclaimTarget::appCaches(foo, {item("/nonexistent/c", Group::cachesPreferencesAndState, 1)}),
        [&](const Reclaimer::Outcome& outcome) { received = outcome; });
    auto* sheet = window.findChild<DeleteConfirmationSheet*>();
    ASSERT_NE(sheet, nullptr);
    Reclaimer::Outcome outcome;
    outcome.succeeded.push_back(
        FileNode("c", "/nonexistent/c", true, false, 1, false, false, 0, false, 0, 0, 0, std::nullopt, {}));
    sheet->showResult(outcome);
    EXPECT_FALSE(received);
    sheet->finishWithResult();
    ASSERT_TRUE(received);
    ASSERT_EQ(received->succeeded.size(), 1u);
    EXPECT_EQ(received->succeeded[0].path(), "/nonexistent/c");
}

} // namespace
} // namespace quillmere::testing

Q_DECLARE_METATYPE(std::string)
