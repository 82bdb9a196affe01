#include "applications/state/ApplicationsState.hpp"

#include "support/ApplicationsWork.hpp"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace quillmere {
namespace {

using Group = LeftoverItem::Group;
using Signal = LeftoverItem::MatchSignal;

const std::string kHome = "/nonexistent-home/someone";

InstalledApp app(const std::string& name, bool isProtected = false,
                 std::optional<std::string> identifier = {}) {
    return {.name = name,
            .bundleIdentifier = std::move(identifier),
            .path = "/nonexistent-apps/" + name + ".app",
            .isProtected = isProtected,
            .allocatedSize = 1000};
}

OrphanLeftoverGroup group(std::optional<std::string> guess, std::vector<std::string> paths) {
    OrphanLeftoverGroup result{.guessedAppName = std::move(guess), .evidence = "e", .summary = "s"};
    for (std::string& path : paths)
        result.entries.push_back({.name = path, .path = path, .allocatedSize = 10});
    return result;
}

// Discovery is driven by the test. Reads and attributions (keyed by application path) and the
// orphan search ("orphans") can be held at a gate, so the test decides the order they end in.
class FakeServices : public ApplicationServices {
public:
    std::vector<std::string> applicationFolders(const std::string& home) const override {
        return {"/Applications", home + "/Applications"};
    }
    std::string library() const override { return "/fixture-root/Library"; }
    void discover(std::vector<std::string> folders, std::function<void(InstalledApp)> onApp,
                  std::function<void()> onFinished, std::shared_ptr<ScanCancellation> cancellation) override {
        ++discoverCalls;
        discoveredFolders = std::move(folders);
        onApp_ = std::move(onApp);
        onFinished_ = std::move(onFinished);
        discoveryCancellation = std::move(cancellation);
    }
    // From a thread of the discovery's own, as the real one does.
    void deliver(const InstalledApp& installed) {
        std::thread([&] { onApp_(installed); }).join();
    }
    // The real discovery lets go of its callbacks when it ends; they hold the state's work,
    // which holds these services.
    void forgetDiscovery() {
        onApp_ = nullptr;
        onFinished_ = nullptr;
    }
    // Ends the discovery, which lets go of its callbacks as the real one does.
    void finishDiscovery() {
        std::thread([&] { onFinished_(); }).join();
        onApp_ = nullptr;
        onFinished_ = nullptr;
    }

    InstalledApp read(const std::string& bundlePath) override {
        waitAtGate(bundlePath);
        std::lock_guard lock(mutex_);
        ++readsDone;
        return bundles.at(bundlePath);
    }
    std::vector<LeftoverCandidate> candidates(const InstalledApp& forApp, const std::string& home,
                                              const std::string& library) override {
        waitAtGate(forApp.path);
        std::lock_guard lock(mutex_);
        foldersGiven = {home, library};
        return candidatesByApp[forApp.path];
    }
    std::vector<LeftoverItem> size(std::vector<LeftoverCandidate> candidates) override {
        std::lock_guard lock(mutex_);
        std::vector<LeftoverItem> items;
        for (const LeftoverCandidate& c : candidates)
            items.push_back({c.name, c.path, c.group, c.matchSignal, sizes[c.path]});
        return items;
    }
    std::vector<LeftoverItem> markShared(std::vector<LeftoverItem> items, const InstalledApp& forApp,
                                         const std::vector<InstalledApp>& installedApps, const std::string&,
                                         const std::string&) override {
        std::lock_guard lock(mutex_);
        installedAppsSeenBy[forApp.path] = installedApps;
        for (LeftoverItem& item : items)
            if (item.path == "/shared") item.sharedWithAppName = "Other";
        return items;
    }
    std::vector<OrphanLeftoverGroup> findGroups(const std::string& home, const std::string& library,
                                                const std::vector<InstalledApp>& installedApps) override {
        waitAtGate("orphans");
        std::lock_guard lock(mutex_);
        installedAppsSeenBy["orphans"] = installedApps;
        foldersGiven = {home, library};
        ++orphanSearchesDone;
        return groups;
    }

    void hold(const std::string& key) {
        std::lock_guard lock(mutex_);
        held_.insert(key);
    }
    void release(const std::string& key) {
        std::lock_guard lock(mutex_);
        key.empty() ? held_.clear() : void(held_.erase(key));
        gate_.notify_all();
    }

    // Set up before the state runs; read back once the workers are done.
    std::map<std::string, InstalledApp> bundles;
    std::map<std::string, std::vector<LeftoverCandidate>> candidatesByApp;
    std::map<std::string, int64_t> sizes;
    std::vector<OrphanLeftoverGroup> groups;
    int discoverCalls = 0;
    std::vector<std::string> discoveredFolders;
    std::shared_ptr<ScanCancellation> discoveryCancellation;
    std::pair<std::string, std::string> foldersGiven;
    std::map<std::string, std::vector<InstalledApp>> installedAppsSeenBy;
    std::atomic<int> readsDone = 0, orphanSearchesDone = 0;

private:
    void waitAtGate(const std::string& key) {
        std::unique_lock lock(mutex_);
        gate_.wait(lock, [&] { return !held_.contains(key); });
    }

    std::mutex mutex_;
    std::condition_variable gate_;
    std::set<std::string> held_;
    std::function<void(InstalledApp)> onApp_;
    std::function<void()> onFinished_;
};

// Delivers queued results until `done` holds; the limit only keeps a broken run from hanging.
[[nodiscard]] bool waitUntil(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, 30000);
}

class ApplicationsStateTest : public ::testing::Test {
protected:
    void TearDown() override {
        services->release("");
        services->forgetDiscovery();
    }

    std::unique_ptr<ApplicationsState> makeState(std::vector<std::string> arguments = {}) {
        return std::make_unique<ApplicationsState>(services, std::move(arguments), kHome);
    }
    std::unique_ptr<ApplicationsState> surveyed(const std::vector<InstalledApp>& installed,
                                                std::vector<std::string> arguments = {}) {
        auto state = makeState(std::move(arguments));
        QSignalSpy published(state.get(), &ApplicationsState::orphanGroupsChanged);
        state->start();
        for (const InstalledApp& each : installed)
            services->deliver(each);
        services->finishDiscovery();
        EXPECT_TRUE(waitUntil([&] { return published.count() > 0; }));
        return state;
    }

    std::shared_ptr<FakeServices> services = std::make_shared<FakeServices>();
};

TEST_F(ApplicationsStateTest, SurveyStreamsAppsThenAttributionsInCompletionOrderThenOrphans) {
    services->groups = {group("Gone", {"/L/gone"})};
    const InstalledApp first = app("First"), builtIn = app("BuiltIn", true), second = app("Second");
    services->hold(first.path);
    auto state = makeState();
    QSignalSpy started(state.get(), &ApplicationsState::hasStartedChanged);
    QSignalSpy appsChanged(state.get(), &ApplicationsState::appsChanged);
    QSignalSpy attributionsChanged(state.get(), &ApplicationsState::attributionsChanged);
    QSignalSpy orphansChanged(state.get(), &ApplicationsState::orphanGroupsChanged);

    state->start();
    EXPECT_TRUE(state->hasStarted());
    EXPECT_EQ(services->discoveredFolders,
              (std::vector<std::string>{"/Applications", kHome + "/Applications"}));
    const std::vector<InstalledApp> arriving{second, builtIn, first};
    for (size_t i = 0; i < arriving.size(); ++i) {
        services->deliver(arriving[i]);
        ASSERT_TRUE(waitUntil([&] { return state->apps().size() == i + 1; }));
        EXPECT_FALSE(state->isInventoryComplete());
    }
    EXPECT_EQ(state->apps(), arriving); // arrival order, not sorted
    EXPECT_EQ(appsChanged.count(), 3);

    services->finishDiscovery();
    // The orphan search and the second attribution end while the first is held; the groups wait.
    ASSERT_TRUE(waitUntil([&] { return state->attributions().contains(second.path); }));
    ASSERT_TRUE(waitUntil([&] { return services->orphanSearchesDone == 1; }));
    ASSERT_TRUE(testing::applicationsWorkSettled(1)); // all but the held attribution
    EXPECT_TRUE(state->isInventoryComplete());
    EXPECT_FALSE(state->isAttributionComplete());
    EXPECT_TRUE(state->orphanGroups().empty());

    services->release(first.path);
    ASSERT_TRUE(waitUntil([&] { return !state->orphanGroups().empty(); }));
    EXPECT_TRUE(state->isAttributionComplete());
    EXPECT_EQ(state->orphanGroups(), services->groups);
    EXPECT_EQ(orphansChanged.count(), 1);
    EXPECT_EQ(attributionsChanged.count(), 2);
    EXPECT_EQ(state->attributions().size(), 2u);
    EXPECT_FALSE(state->attributions().contains(builtIn.path));
    // Protected applications still count as installed for the orphan search and shared marking.
    EXPECT_EQ(services->installedAppsSeenBy["orphans"], arriving);
    EXPECT_EQ(services->installedAppsSeenBy[first.path], arriving);
    EXPECT_EQ(services->foldersGiven, std::make_pair(kHome, std::string("/fixture-root/Library")));

    state->start(); // the screen shown again
    QCoreApplication::processEvents();
    EXPECT_EQ(services->discoverCalls, 1);
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(appsChanged.count(), 3);
}

TEST_F(ApplicationsStateTest, AttributionStartsWithTheBundleAndSortsByGroupSizeAndName) {
    const InstalledApp player = app("Player", false, "com.acme.player"), tool = app("Tool");
    services->candidatesByApp[player.path] = {
        {"Cache 10", "/c10", Group::cachesPreferencesAndState},
        {"Cache 9", "/c9", Group::cachesPreferencesAndState},
        {"Big", "/big", Group::cachesPreferencesAndState},
        {"Twin", "/t1", Group::supportAndContainers},
        {"Twin", "/t2", Group::supportAndContainers},
        {"Sounds", "/shared", Group::soundLibrariesAndContent},
    };
    services->sizes = {{"/big", 500}, {"/c10", 5}, {"/c9", 5}, {"/t1", 7}, {"/t2", 7}};
    auto state = surveyed({player, tool});

    const LeftoverAttribution& attribution = state->attributions().at(player.path);
    EXPECT_EQ(attribution.app, player);
    EXPECT_GE(attribution.elapsedSeconds, 0.0);
    std::vector<std::string> order;
    for (const LeftoverItem& item : attribution.items)
        order.push_back(item.path);
    // Full ties keep the order in which they were sized.
    EXPECT_EQ(order, (std::vector<std::string>{player.path, "/shared", "/t1", "/t2", "/big", "/c9", "/c10"}));
    EXPECT_EQ(attribution.items[0], (LeftoverItem{"Player.app", player.path, Group::application,
                                                  Signal::bundleIdentifier, 1000, 0, std::nullopt}));
    EXPECT_EQ(attribution.items[1].sharedWithAppName, "Other");
    EXPECT_EQ(state->attributions().at(tool.path).items.at(0).matchSignal, Signal::name);
}

TEST_F(ApplicationsStateTest, WithoutRemovableAppsAttributionCompletesWithTheInventory) {
    services->groups = {group({}, {"/L/x"})};
    services->hold("orphans");
    auto state = makeState();
    state->start();
    services->deliver(app("System", true));
    services->finishDiscovery();

    ASSERT_TRUE(waitUntil([&] { return state->isInventoryComplete(); }));
    EXPECT_TRUE(state->isAttributionComplete());
    EXPECT_TRUE(state->orphanGroups().empty());
    services->release("orphans");
    EXPECT_TRUE(waitUntil([&] { return state->orphanGroups() == services->groups; }));
}

TEST_F(ApplicationsStateTest, DevelopmentSwitchesSelectAtTheEndOfTheSurvey) {
    const std::vector<InstalledApp> installed{app("Builtin", true), app("Chosen"), app("Later")};
    services->groups = {group("Gone", {"/L/gone", "/L/more"}), group({}, {"/L/x"})};

    auto both = surveyed(installed, {"quillmere", "--debug-select-first-app", "--debug-select-first-orphan"});
    EXPECT_EQ(both->selectedAppPath(), installed[1].path);
    EXPECT_EQ(both->selectedOrphanGroupID(), std::nullopt);

    auto orphan = surveyed(installed, {"--debug-select-first-orphan"});
    EXPECT_EQ(orphan->selectedOrphanGroupID(), "Gone:/L/gone");
    EXPECT_EQ(orphan->selectedAppPath(), std::nullopt);

    auto onlyProtected = surveyed({installed[0]}, {"--debug-select-first-app"});
    EXPECT_EQ(onlyProtected->selectedAppPath(), std::nullopt);

    auto inexact = surveyed(installed, {"--debug-select-first-app=1", "--debug-select-first-orphans"});
    EXPECT_EQ(inexact->selectedAppPath(), std::nullopt);
    EXPECT_EQ(inexact->selectedOrphanGroupID(), std::nullopt);
}

TEST_F(ApplicationsStateTest, OrphanRemovalFiltersEntriesAndClearsTheGroupSelection) {
    const OrphanLeftoverGroup partly = group("Acme", {"/L/a1", "/L/a2"}), wholly = group({}, {"/L/g"}),
                              untouched = group("Other", {"/L/o"});
    EXPECT_EQ(partly.id(), "Acme:/L/a1");
    EXPECT_EQ(wholly.id(), "unmatched:/L/g");
    EXPECT_EQ(OrphanLeftoverGroup{}.id(), "unmatched:");
    services->groups = {partly, wholly, untouched};
    auto state = surveyed({});
    state->setSelectedOrphanGroupID(untouched.id());
    QSignalSpy groupsChanged(state.get(), &ApplicationsState::orphanGroupsChanged);
    QSignalSpy selectionChanged(state.get(), &ApplicationsState::selectedOrphanGroupIDChanged);

    state->applyOrphanRemoval({});
    EXPECT_EQ(groupsChanged.count(), 0);
    EXPECT_EQ(state->selectedOrphanGroupID(), untouched.id());

    state->applyOrphanRemoval({"/L/nowhere"}); // matches nothing, still ends the selection
    EXPECT_EQ(state->orphanGroups(), services->groups);
    EXPECT_EQ(state->selectedOrphanGroupID(), std::nullopt);

    state->applyOrphanRemoval({"/L/a1", "/L/g"});
    EXPECT_EQ(state->orphanGroups(), (std::vector{group("Acme", {"/L/a2"}), untouched}));
    EXPECT_EQ(groupsChanged.count(), 2);
    EXPECT_EQ(selectionChanged.count(), 1);
}

TEST_F(ApplicationsStateTest, AppRemovalDropsTheAppItsAttributionSelectionAndDrop) {
    const InstalledApp kept = app("Kept"), removed = app("Removed");
    services->bundles[removed.path] = removed;
    auto state = surveyed({kept, removed});
    state->inspectDroppedApp(removed.path);
    ASSERT_TRUE(waitUntil([&] { return state->droppedAppAttribution().has_value(); }));
    state->setSelectedAppPath(removed.path);
    const LeftoverAttribution keptAttribution = state->attributions().at(kept.path);

    state->applyAppRemoval(removed.path);
    EXPECT_EQ(state->apps(), std::vector{kept});
    EXPECT_EQ(state->attributions(),
              (std::map<std::string, LeftoverAttribution>{{kept.path, keptAttribution}}));
    EXPECT_EQ(state->selectedAppPath(), std::nullopt);
    EXPECT_EQ(state->droppedApp(), std::nullopt);
    EXPECT_EQ(state->droppedAppAttribution(), std::nullopt);

    state->setSelectedAppPath(kept.path);
    state->applyAppRemoval("/nonexistent-apps/Else.app");
    EXPECT_EQ(state->selectedAppPath(), kept.path);
}

TEST_F(ApplicationsStateTest, DroppedBundleIsInspectedApartFromTheListAndTheLastDropWins) {
    const InstalledApp listed = app("Listed"), dropped = app("Dropped"), system = app("System", true),
                       slow = app("Slow");
    services->bundles = {{dropped.path, dropped}, {system.path, system}, {slow.path, slow}};
    auto state = surveyed({listed});
    state->setSelectedAppPath(listed.path);
    state->setSelectedOrphanGroupID("x:/y");
    QSignalSpy appSelection(state.get(), &ApplicationsState::selectedAppPathChanged);
    QSignalSpy orphanSelection(state.get(), &ApplicationsState::selectedOrphanGroupIDChanged);

    state->inspectDroppedApp(dropped.path);
    EXPECT_EQ(state->selectedAppPath(), std::nullopt);
    EXPECT_EQ(state->selectedOrphanGroupID(), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return state->droppedAppAttribution().has_value(); }));
    EXPECT_EQ(state->droppedApp(), dropped);
    EXPECT_EQ(services->installedAppsSeenBy[dropped.path], std::vector{listed});
    EXPECT_EQ(state->apps(), std::vector{listed});
    EXPECT_FALSE(state->attributions().contains(dropped.path));

    // A drop still being read is superseded by a later one, here a protected bundle.
    services->hold(slow.path);
    state->inspectDroppedApp(slow.path);
    state->inspectDroppedApp(system.path);
    EXPECT_EQ(state->droppedAppAttribution(), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return state->droppedApp() == system; }));
    services->release(slow.path);
    ASSERT_TRUE(testing::applicationsWorkSettled());
    EXPECT_EQ(services->readsDone, 3);
    EXPECT_EQ(state->droppedApp(), system);
    EXPECT_EQ(state->droppedAppAttribution(), std::nullopt);
    EXPECT_EQ(appSelection.count(), 1);
    EXPECT_EQ(orphanSelection.count(), 1);
}

TEST_F(ApplicationsStateTest, SettersNotifyOnlyOnChange) {
    auto state = makeState();
    QSignalSpy search(state.get(), &ApplicationsState::searchTextChanged);
    QSignalSpy appPath(state.get(), &ApplicationsState::selectedAppPathChanged);
    state->setSearchText("");
    state->setSearchText("foo");
    state->setSearchText("foo");
    state->setSelectedAppPath(std::nullopt);
    state->setSelectedAppPath("/A.app");
    state->setSelectedAppPath("/A.app");
    state->setSelectedAppPath(std::nullopt);
    EXPECT_EQ(search.count(), 1);
    EXPECT_EQ(appPath.count(), 2);
}

// Leaving the section used to cut the inventory short and mark the partial list complete for
// the life of the window. The survey belongs to the state now; the screen has no hold on it.
TEST_F(ApplicationsStateTest, LeavingTheSectionMidInventoryLeavesTheInventoryRunning) {
    const std::vector<InstalledApp> installed{app("One"), app("Two"), app("Three")};
    auto state = makeState();
    state->start();
    services->deliver(installed[0]);
    ASSERT_TRUE(waitUntil([&] { return state->apps().size() == 1; }));

    state->start(); // shown again after leaving
    services->deliver(installed[1]);
    services->deliver(installed[2]);
    ASSERT_TRUE(waitUntil([&] { return state->apps().size() == 3; }));
    EXPECT_FALSE(services->discoveryCancellation->isCancelled());
    EXPECT_FALSE(state->isInventoryComplete());
    EXPECT_EQ(services->discoverCalls, 1);

    services->finishDiscovery();
    ASSERT_TRUE(waitUntil([&] { return state->isAttributionComplete(); }));
    EXPECT_EQ(state->apps(), installed);
    EXPECT_EQ(state->attributions().size(), 3u);
}

TEST_F(ApplicationsStateTest, ClosingTheWindowCancelsDiscoveryAndDropsLateResults) {
    const InstalledApp inFlight = app("InFlight");
    services->hold(inFlight.path);
    auto attributing = makeState();
    attributing->start();
    services->deliver(inFlight);
    services->finishDiscovery();
    ASSERT_TRUE(waitUntil([&] { return attributing->isInventoryComplete(); }));
    attributing.reset();
    services->release(inFlight.path);

    auto listing = makeState();
    listing->start();
    listing.reset();
    EXPECT_TRUE(services->discoveryCancellation->isCancelled());
    services->deliver(app("Late"));
    services->finishDiscovery();
    // The late results are delivered, to nobody; then nothing holds the services any more.
    ASSERT_TRUE(testing::applicationsWorkSettled());
    EXPECT_EQ(services.use_count(), 1);
}

} // namespace
} // namespace quillmere
