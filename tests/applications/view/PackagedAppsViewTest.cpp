#include "applications/model/LeftoverAttribution.hpp"
#include "applications/state/ApplicationsState.hpp"
#include "applications/view/AppIconCache.hpp"
#include "applications/view/ApplicationListView.hpp"
#include "applications/view/ApplicationsToolbar.hpp"
#include "applications/view/ApplicationsView.hpp"
#include "applications/view/DetailPanelWidgets.hpp"
#include "applications/view/DetailPanels.hpp"
#include "applications/view/PackagedAppPanel.hpp"
#include "support/ApplicationsTestSupport.hpp"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace quillmere::testing {
namespace {

// Records what the panels ask to remove and answers as if the listed paths had gone.
class FakePresenter : public ReclaimPresenter {
public:
    void present(QWidget*, ReclaimTarget target, Finished onFinished) override {
        targets.push_back(std::move(target));
        finish = std::move(onFinished);
    }
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

struct LinuxScreen {
    LinuxScreen()
        : state(std::make_shared<DiskApplicationServices>(linuxEnvironment(linuxDisk())), {},
                linuxDisk().home()),
          view(state, presenter, {}) {
        view.resize(980, 640);
        view.show();
    }
    [[nodiscard]] bool load() {
        return QTest::qWaitFor(
            [&] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return state.isInventoryComplete() && state.isAttributionComplete() &&
                       !state.orphanGroups().empty();
            },
            30000);
    }
    const InstalledApp& app(std::string_view identifier) const {
        const auto found = std::ranges::find(state.apps(), std::optional<std::string>(identifier),
                                             &InstalledApp::bundleIdentifier);
        if (found == state.apps().end()) throw std::runtime_error("no " + std::string(identifier));
        return *found;
    }
    PackagedAppPanel* select(std::string_view identifier) {
        view.selectApp(app(identifier).path);
        QCoreApplication::processEvents();
        return qobject_cast<PackagedAppPanel*>(view.detailPanel());
    }
    std::vector<std::string> rowNames() const {
        std::vector<std::string> names;
        for (const ApplicationRow& row : view.listView()->content().rows)
            names.push_back(row.app.name);
        return names;
    }
    FakePresenter presenter;
    ApplicationsState state;
    ApplicationsView view;
};

std::vector<std::string> pathsOf(const std::vector<LeftoverItem>& items) {
    std::vector<std::string> paths;
    for (const LeftoverItem& item : items)
        paths.push_back(item.path);
    return paths;
}

TEST(PackagedAppsViewTest, ListsEveryApplicationWithItsDataAndTheOrphansAndSearchesNameAndDeveloper) {
    LinuxScreen screen;
    ASSERT_TRUE(screen.load());
    EXPECT_EQ(screen.state.apps().size(), 5u);
    // Largest combined total first: the snap's package file, then GIMP with its data.
    EXPECT_EQ(screen.rowNames(), (std::vector<std::string>{"Firefox", "GNU Image Manipulation Program",
                                                           "Podcasts", "Broken", "CacheOnly"}));
    for (const ApplicationRow& row : screen.view.listView()->content().rows) {
        SCOPED_TRACE(row.app.name);
        ASSERT_TRUE(row.attribution);
        EXPECT_TRUE(applicationSubtitle(row).starts_with("Installed ")) << applicationSubtitle(row);
        EXPECT_TRUE(rowBadge(row.app));
        EXPECT_GT(combinedTotal(row), row.app.allocatedSize);
    }
    std::vector<std::string> orphans;
    for (const OrphanLeftoverGroup& group : screen.view.listView()->content().orphanGroups)
        orphans.push_back(orphanTitle(group));
    EXPECT_EQ(orphans, (std::vector<std::string>{"org.example.Removed", "gone-tool"}));

    const auto search = [&](const QString& text) {
        screen.view.searchField()->lineEdit()->setText(text);
        emit screen.view.searchField()->textEdited(text);
        return screen.rowNames();
    };
    EXPECT_EQ(search("gnome project"), std::vector<std::string>{"Podcasts"});
    EXPECT_EQ(search("IMAGE"), std::vector<std::string>{"GNU Image Manipulation Program"});
    EXPECT_EQ(search("mozilla"), std::vector<std::string>{"Firefox"});
    EXPECT_EQ(search("org.gimp"), std::vector<std::string>{}) << "the identifier is not searched";
}

TEST(PackagedAppsViewTest, ClearingTakesExactlyTheTickedItemsAndNeverTheApplication) {
    LinuxScreen screen;
    ASSERT_TRUE(screen.load());
    const InstalledApp gimp = screen.app("org.gimp.GIMP");
    PackagedAppPanel* panel = screen.select("org.gimp.GIMP");
    ASSERT_NE(panel, nullptr);
    EXPECT_NE(panel->calloutText().indexOf("Installed with Flatpak."), -1);
    EXPECT_NE(panel->calloutText().indexOf("flatpak uninstall org.gimp.GIMP"), -1);
    EXPECT_EQ(panel->footerText(), "Nothing selected");
    EXPECT_FALSE(panel->deleteButton()->isEnabled());
    panel->deleteButton()->click();
    EXPECT_TRUE(screen.presenter.targets.empty()) << "nothing ticked, nothing offered";

    const LeftoverAttribution before = *panel->attribution();
    const std::vector<LeftoverItem> items = clearableItems(before);
    ASSERT_EQ(items.size(), 4u);
    const std::string data = items[0].path, cache = items[3].path;
    ASSERT_TRUE(data.ends_with("/data"));
    ASSERT_TRUE(cache.ends_with("/cache"));
    panel->toggle(data);
    panel->toggle(cache);
    panel->toggle(gimp.path);
    EXPECT_EQ(panel->footerText(), "2 selected");
    ASSERT_TRUE(panel->deleteButton()->isEnabled());
    panel->deleteButton()->click();
    ASSERT_EQ(screen.presenter.targets.size(), 1u);
    const auto& target = std::get<ReclaimTarget::AppItems>(screen.presenter.targets.back().value);
    EXPECT_EQ(pathsOf(target.items), (std::vector<std::string>{data, cache}));
    EXPECT_EQ(target.app, gimp);

    screen.presenter.complete({data, cache});
    // The application stays, its panel too; what went leaves the list.
    EXPECT_EQ(screen.state.apps().size(), 5u);
    EXPECT_EQ(qobject_cast<PackagedAppPanel*>(screen.view.detailPanel()), panel);
    EXPECT_EQ(pathsOf(clearableItems(*panel->attribution())),
              (std::vector<std::string>{items[1].path, items[2].path}));
    EXPECT_TRUE(panel->cacheButton()->isHidden());
    EXPECT_EQ(panel->footerText(), "Nothing selected");
}

TEST(PackagedAppsViewTest, CachesClearApartAndSnapsSayHowTheyAreRemoved) {
    LinuxScreen screen;
    ASSERT_TRUE(screen.load());
    PackagedAppPanel* podcasts = screen.select("org.gnome.Podcasts");
    ASSERT_NE(podcasts, nullptr);
    ASSERT_FALSE(podcasts->cacheButton()->isHidden());
    podcasts->cacheButton()->click();
    const auto& caches = std::get<ReclaimTarget::AppCaches>(screen.presenter.targets.back().value);
    ASSERT_EQ(caches.items.size(), 1u);
    EXPECT_TRUE(caches.items[0].path.ends_with("/.var/app/org.gnome.Podcasts/cache"));

    PackagedAppPanel* firefox = screen.select("firefox");
    ASSERT_NE(firefox, nullptr);
    EXPECT_NE(firefox->calloutText().indexOf("Installed as a snap."), -1);
    EXPECT_NE(firefox->calloutText().indexOf("snap remove firefox"), -1);
    EXPECT_TRUE(firefox->cacheButton()->isHidden());
    EXPECT_EQ(clearableItems(*firefox->attribution()).size(), 2u);

    // An application without anything in the home folder says so instead of an empty list.
    InstalledApp bare = screen.app("org.example.Broken");
    AppIconCache icons;
    PackagedAppPanel alone(bare, LeftoverAttribution{bare, {LeftoverAttributor::bundleItem(bare)}, 0},
                           PanelServices{screen.state, screen.presenter, {}, icons});
    EXPECT_TRUE(alone.showsNothingToClear());
    EXPECT_FALSE(alone.deleteButton()->isEnabled());
    EXPECT_TRUE(alone.cacheButton()->isHidden());
}

TEST(PackagedAppsViewTest, AnOrphanedFolderGoesWholeThroughTheOrphanPanel) {
    LinuxScreen screen;
    ASSERT_TRUE(screen.load());
    const OrphanLeftoverGroup removed = screen.state.orphanGroups().front();
    ASSERT_EQ(removed.guessedAppName, "org.example.Removed");
    screen.view.selectOrphanGroup(removed.id());
    QCoreApplication::processEvents();
    auto* panel = qobject_cast<OrphanPanel*>(screen.view.detailPanel());
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->deleteButton()->isEnabled());
    panel->toggle(removed.entries[0].path);
    panel->deleteButton()->click();
    const auto& target = std::get<ReclaimTarget::OrphanGroup>(screen.presenter.targets.back().value);
    EXPECT_EQ(target.tickedPaths,
              std::set<std::string>{linuxDisk().path("home/ann/.var/app/org.example.Removed")});
    screen.presenter.complete({removed.entries[0].path});
    ASSERT_EQ(screen.state.orphanGroups().size(), 1u);
    EXPECT_EQ(screen.state.orphanGroups()[0].guessedAppName, "gone-tool");
}

} // namespace
} // namespace quillmere::testing
