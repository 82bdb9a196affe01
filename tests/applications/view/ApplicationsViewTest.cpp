#include "applications/view/ApplicationsView.hpp"

#include "applications/state/ApplicationsState.hpp"
#include "applications/view/ApplicationListView.hpp"
#include "applications/view/ApplicationsToolbar.hpp"
#include "applications/view/DetailPanelWidgets.hpp"
#include "applications/view/DetailPanels.hpp"
#include "support/ApplicationsTestSupport.hpp"
#include "support/ApplicationsWork.hpp"

#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace quillmere::testing {
namespace {

[[nodiscard]] bool deliverUntil(const std::function<bool()>& done) {
    return QTest::qWaitFor(
        [&] {
            // Outside an event loop, panels let go with deleteLater() go only when asked.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return done();
        },
        30000);
}

// Records what the panels ask to remove and answers with a chosen outcome.
class FakePresenter : public ReclaimPresenter {
public:
    void present(QWidget*, ReclaimTarget target, Finished onFinished) override {
        targets.push_back(std::move(target));
        finish = std::move(onFinished);
    }
    // Completes the last sheet as if `paths` had gone to the Trash.
    void complete(const std::vector<std::string>& paths) {
        Reclaimer::Outcome outcome;
        for (const std::string& path : paths)
            outcome.succeeded.push_back(
                FileNode("x", path, true, false, 0, false, false, 0, false, 0, 0, 0, std::nullopt, {}));
        finish(outcome);
    }
    std::vector<ReclaimTarget> targets;
    Finished finish;
};

struct Screen {
    explicit Screen(const fixture::FixtureDisk& disk)
        : state(std::make_shared<DiskApplicationServices>(fixtureEnvironment(disk)), {}, disk.home()),
          view(state, presenter,
               [this](const std::vector<std::string>& paths) { revealed.push_back(paths); }) {
        view.resize(980, 640);
    }
    void load() {
        view.show();
        ASSERT_TRUE(
            deliverUntil([&] { return state.isAttributionComplete() && state.isInventoryComplete(); }));
        ASSERT_TRUE(deliverUntil([&] { return !state.orphanGroups().empty(); }));
        QCoreApplication::processEvents();
    }
    template <class Panel> Panel* panel() {
        QCoreApplication::processEvents();
        return qobject_cast<Panel*>(view.detailPanel());
    }
    FakePresenter presenter;
    std::vector<std::vector<std::string>> revealed;
    ApplicationsState state;
    ApplicationsView view;
};

void dropUrl(QWidget& target, const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &drop);
    EXPECT_TRUE(drop.isAccepted()) << path.toStdString();
}

TEST(ApplicationsViewTest, ListAreaMovesFromLoadingToTheListAndShowsTheUntrimmedNoMatchText) {
    Screen screen(standardDisk());
    EXPECT_EQ(screen.view.listView()->content().kind, ListAreaContent::loading);
    screen.load();
    const auto& content = screen.view.listView()->content();
    EXPECT_EQ(content.kind, ListAreaContent::list);
    EXPECT_EQ(content.rows.size(), screen.state.apps().size());

    screen.view.searchField()->lineEdit()->setText("  zzz ");
    emit screen.view.searchField()->textEdited("  zzz ");
    // Orphans are never filtered: the orphan section alone is left.
    EXPECT_EQ(screen.view.listView()->content().kind, ListAreaContent::list);
    EXPECT_TRUE(screen.view.listView()->content().rows.empty());
    screen.state.applyOrphanRemoval([&] {
        std::set<std::string> all;
        for (const auto& group : screen.state.orphanGroups())
            for (const auto& entry : group.entries)
                all.insert(entry.path);
        return all;
    }());
    EXPECT_EQ(screen.view.listView()->content().kind, ListAreaContent::noMatch);
    EXPECT_EQ(screen.view.listView()->content().searchText, "  zzz ");
    EXPECT_TRUE(screen.view.searchField()->showsClearButton());
}

TEST(ApplicationsViewTest, EmptyInventoryEndsLoadingAndShowsTheOrphansFound) {
    const fixture::FixtureDisk disk(freshFolder("view-no-apps"));
    disk.file("Users/ann/Library/Application Support/Vanished Tool/data.bin", 9000);
    Screen screen(disk);
    screen.view.show();
    ASSERT_TRUE(deliverUntil(
        [&] { return screen.state.isInventoryComplete() && screen.state.isAttributionComplete(); }));
    ASSERT_TRUE(deliverUntil([&] { return !screen.state.orphanGroups().empty(); }));
    const auto& content = screen.view.listView()->content();
    EXPECT_EQ(content.kind, ListAreaContent::list);
    EXPECT_TRUE(content.rows.empty());
    EXPECT_FALSE(content.orphanGroups.empty());
    screen.state.applyOrphanRemoval({content.orphanGroups.front().entries.front().path});
    EXPECT_EQ(screen.view.listView()->content().kind, ListAreaContent::headerOnly);
}

TEST(ApplicationsViewTest, AppAndOrphanSelectionExcludeEachOtherAndADropClearsBoth) {
    Screen screen(standardDisk());
    screen.load();
    const std::string acme = standardDisk().path("Applications/Acme Player.app");
    const std::string group = screen.state.orphanGroups().front().id();
    screen.view.selectOrphanGroup(group);
    EXPECT_NE(screen.panel<OrphanPanel>(), nullptr);
    screen.view.selectApp(acme);
    EXPECT_FALSE(screen.state.selectedOrphanGroupID());
    ASSERT_NE(screen.panel<RemovableAppPanel>(), nullptr);
    screen.view.selectOrphanGroup(group);
    EXPECT_FALSE(screen.state.selectedAppPath());
    EXPECT_NE(screen.panel<OrphanPanel>(), nullptr);

    // A tap on the list's own row goes through the same action.
    const auto& lines = screen.view.listView()->lines();
    const auto row = std::ranges::find_if(
        lines, [](const auto& line) { return line.kind == ApplicationListView::Line::Kind::appRow; });
    ASSERT_NE(row, lines.end());
    QTest::mouseClick(screen.view.listView()->viewport(), Qt::LeftButton, {},
                      QPoint(40, qRound(row->top + 10)));
    EXPECT_EQ(screen.state.selectedAppPath(), screen.view.listView()->content().rows.front().app.path);
    EXPECT_FALSE(screen.state.selectedOrphanGroupID());

    dropUrl(screen.view, QString::fromStdString(standardDisk().path("Applications/Tuner.app")));
    EXPECT_FALSE(screen.state.selectedAppPath());
    EXPECT_FALSE(screen.state.selectedOrphanGroupID());
    ASSERT_TRUE(deliverUntil([&] { return screen.state.droppedAppAttribution().has_value(); }));
    auto* dropped = screen.panel<RemovableAppPanel>();
    ASSERT_NE(dropped, nullptr);
    EXPECT_EQ(dropped->app().name, "Tuner");
    EXPECT_FALSE(dropped->isLoading());
}

TEST(ApplicationsViewTest, CapitalisedAppDropIsTakenAndChangesNothing) {
    Screen screen(standardDisk());
    screen.load();
    const fixture::FixtureDisk disk(freshFolder("view-capitals"));
    const std::string upper = disk.bundle("FOO.APP", fixture::textInfo({{"CFBundleName", "Foo"}}),
                                          fixture::FixtureDisk::InfoFormat::xml);
    screen.view.selectApp(screen.state.apps().front().path);
    dropUrl(screen.view, QString::fromStdString(upper));
    ASSERT_TRUE(applicationsWorkSettled());
    EXPECT_EQ(screen.state.selectedAppPath(), screen.state.apps().front().path);
    EXPECT_FALSE(screen.state.droppedApp());
    EXPECT_FALSE(screen.view.isDropTargeted());
}

TEST(ApplicationsViewTest, UninstallTargetLeavesTheBundleOutAndSharedItemsUntickedUntilTicked) {
    Screen screen(standardDisk());
    screen.load();
    // Shared Cache shares a cache folder with Cache Data.
    const auto shared =
        std::ranges::find_if(screen.state.apps(), [](const auto& app) { return app.name == "Shared Cache"; });
    ASSERT_NE(shared, screen.state.apps().end());
    screen.view.selectApp(shared->path);
    auto* panel = screen.panel<RemovableAppPanel>();
    ASSERT_NE(panel, nullptr);
    const LeftoverAttribution& a = *panel->attribution();
    const auto sharedItem =
        std::ranges::find_if(a.items, [](const auto& item) { return item.sharedWithAppName.has_value(); });
    ASSERT_NE(sharedItem, a.items.end());
    const QString bytesBefore = panel->selectedBytesText();
    const ReclaimTarget::AppUninstall before = panel->uninstallTarget();
    EXPECT_FALSE(before.tickedPaths.contains(sharedItem->path));
    EXPECT_FALSE(before.tickedPaths.contains(a.items.front().path));
    EXPECT_FALSE(before.tickedPaths.contains(shared->path));
    panel->toggle(sharedItem->path);
    EXPECT_TRUE(panel->uninstallTarget().tickedPaths.contains(sharedItem->path));
    EXPECT_EQ(panel->selectedBytesText(), bytesBefore);
    // Unticking the bundle row lowers the count, yet the target still names the application.
    panel->toggle(a.items.front().path);
    EXPECT_EQ(panel->uninstallTarget().app.path, shared->path);
    EXPECT_FALSE(panel->uninstallTarget().tickedPaths.contains(a.items.front().path));
    // Every cache item of this app is shared: no cache button.
    EXPECT_EQ(panel->cacheButton()->isHidden(), cacheItems(a).empty());

    panel->uninstallButton()->click();
    ASSERT_EQ(screen.presenter.targets.size(), 1u);
    EXPECT_EQ(std::get<ReclaimTarget::AppUninstall>(screen.presenter.targets.back().value).tickedPaths,
              panel->uninstallTarget().tickedPaths);
}

TEST(ApplicationsViewTest, UninstallCompletionRemovesTheAppByRawOrCanonicalBundlePathOnly) {
    Screen screen(standardDisk());
    screen.load();
    const InstalledApp tuner =
        *std::ranges::find_if(screen.state.apps(), [](const auto& app) { return app.name == "Tuner"; });
    const InstalledApp acme =
        *std::ranges::find_if(screen.state.apps(), [](const auto& app) { return app.name == "Acme Player"; });
    const size_t count = screen.state.apps().size();

    screen.view.selectApp(tuner.path);
    screen.panel<RemovableAppPanel>()->presentUninstall();
    // Only leftovers went: the app stays, those items leave its attribution.
    const LeftoverAttribution before = screen.state.attributions().at(tuner.path);
    ASSERT_GE(before.items.size(), 2u);
    screen.presenter.complete({before.items.back().path});
    EXPECT_EQ(screen.state.apps().size(), count);
    EXPECT_EQ(screen.state.attributions().at(tuner.path).items.size(), before.items.size() - 1);

    screen.presenter.complete({tuner.path});
    EXPECT_EQ(screen.state.apps().size(), count - 1);
    EXPECT_FALSE(screen.state.selectedAppPath());

    // Through the canonical path of the bundle item (an app listed through a linked folder).
    screen.view.selectApp(acme.path);
    screen.panel<RemovableAppPanel>()->presentUninstall();
    const std::string canonical = screen.state.attributions().at(acme.path).items.front().path;
    screen.presenter.complete({canonical + "/"});
    EXPECT_EQ(screen.state.apps().size(), count - 1) << "a trailing slash is another path";
    screen.presenter.complete({canonical});
    EXPECT_EQ(screen.state.apps().size(), count - 2);
}

TEST(ApplicationsViewTest, CacheClearingLeavesTheClearedItemsOutOfTheAttribution) {
    Screen screen(standardDisk());
    screen.load();
    const auto withCaches = std::ranges::find_if(screen.state.apps(), [&](const auto& app) {
        const auto found = screen.state.attributions().find(app.path);
        return found != screen.state.attributions().end() && !cacheItems(found->second).empty();
    });
    ASSERT_NE(withCaches, screen.state.apps().end());
    const std::string path = withCaches->path;
    screen.view.selectApp(path);
    auto* panel = screen.panel<RemovableAppPanel>();
    ASSERT_FALSE(panel->cacheButton()->isHidden());
    panel->cacheButton()->click();
    const ReclaimTarget::AppCaches target =
        std::get<ReclaimTarget::AppCaches>(screen.presenter.targets.back().value);
    std::vector<std::string> removed;
    for (const LeftoverItem& item : target.items)
        removed.push_back(item.path);
    screen.presenter.complete(removed);
    EXPECT_TRUE(cacheItems(screen.state.attributions().at(path)).empty());
    EXPECT_EQ(screen.panel<RemovableAppPanel>(), panel) << "the same app keeps its panel and ticks";
    EXPECT_TRUE(panel->cacheButton()->isHidden());
}

TEST(ApplicationsViewTest, OrphanPanelTicksGiveExactlyTheTickedPathsAndCompletionRemovesThem) {
    Screen screen(standardDisk());
    screen.load();
    const auto group = std::ranges::find_if(screen.state.orphanGroups(),
                                            [](const auto& g) { return g.entries.size() >= 2; });
    ASSERT_NE(group, screen.state.orphanGroups().end());
    const OrphanLeftoverGroup shown = *group;
    screen.view.selectOrphanGroup(shown.id());
    auto* panel = screen.panel<OrphanPanel>();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->selectedText(), "0 selected");
    EXPECT_EQ(panel->readinessText(), "nothing ticked");
    EXPECT_EQ(panel->footerText(), "Nothing selected");
    EXPECT_FALSE(panel->deleteButton()->isEnabled());

    panel->toggle(shown.entries[0].path);
    panel->toggle(shown.entries[1].path);
    panel->toggle(shown.entries[0].path);
    EXPECT_EQ(panel->selectedText(), "1 selected");
    EXPECT_EQ(panel->readinessText(), "ready to delete");
    panel->deleteButton()->click();
    const auto& target = std::get<ReclaimTarget::OrphanGroup>(screen.presenter.targets.back().value);
    EXPECT_EQ(target.tickedPaths, std::set<std::string>{shown.entries[1].path});
    screen.presenter.complete({shown.entries[1].path});
    EXPECT_FALSE(screen.state.selectedOrphanGroupID());
    for (const auto& remaining : screen.state.orphanGroups())
        for (const auto& entry : remaining.entries)
            EXPECT_NE(entry.path, shown.entries[1].path);
}

TEST(ApplicationsViewTest, ProtectedPanelRevealsTheBundleAndDropsAStaleResult) {
    Screen screen(standardDisk());
    screen.load();
    const auto builtIn =
        std::ranges::find_if(screen.state.apps(), [](const auto& app) { return app.isProtected; });
    ASSERT_NE(builtIn, screen.state.apps().end());
    const InstalledApp app = *builtIn;
    screen.view.selectApp(app.path);
    // Before any event is delivered the run cannot have reported.
    auto* panel = qobject_cast<ProtectedAppPanel*>(screen.view.detailPanel());
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->factValue(1), "Zero KB");
    EXPECT_FALSE(panel->showCachesButton()->isEnabled());
    panel->revealButton()->click();
    ASSERT_EQ(screen.revealed.size(), 1u);
    EXPECT_EQ(screen.revealed.back(), std::vector<std::string>{app.path});

    // Another app before the run ends: the old panel is gone and its result lands nowhere.
    QPointer<ProtectedAppPanel> old(panel);
    screen.view.selectApp(screen.state.apps().front().path == app.path ? screen.state.apps().back().path
                                                                       : screen.state.apps().front().path);
    ASSERT_TRUE(deliverUntil([&] { return old.isNull(); }));
    screen.view.selectApp(app.path);
    auto* fresh = qobject_cast<ProtectedAppPanel*>(screen.view.detailPanel());
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(fresh->attribution().has_value());
    ASSERT_TRUE(deliverUntil([&] { return fresh->attribution().has_value(); }));
}

TEST(ApplicationsViewTest, TappingARowAbandonsADropStillBeingRead) {
    Screen screen(standardDisk());
    screen.load();
    screen.state.inspectDroppedApp(standardDisk().path("Applications/Tuner.app"));
    screen.view.selectApp(screen.state.apps().front().path);
    ASSERT_TRUE(applicationsWorkSettled());
    EXPECT_FALSE(screen.state.droppedApp());
    EXPECT_FALSE(screen.state.droppedAppAttribution());
}

} // namespace
} // namespace quillmere::testing
