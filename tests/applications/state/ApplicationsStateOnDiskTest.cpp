#include "applications/state/ApplicationsState.hpp"
#include "support/ApplicationsTestSupport.hpp"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <set>

namespace quillmere::testing {
namespace {

std::shared_ptr<DiskApplicationServices> servicesOn(const fixture::FixtureDisk& disk) {
    return std::make_shared<DiskApplicationServices>(fixtureEnvironment(disk));
}

TEST(ApplicationsStateOnDiskTest, SurveyOfTheStandardDiskPublishesAppsAttributionsThenOrphans) {
    const fixture::FixtureDisk& disk = standardDisk();
    auto services = servicesOn(disk);
    ApplicationsState state(services, {}, disk.home());
    state.start();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return state.isAttributionComplete() && !state.orphanGroups().empty(); }, 30000));

    DiskApplicationServices reference(fixtureEnvironment(disk));
    const std::vector<InstalledApp> expected = inventory(reference);
    EXPECT_EQ(state.apps(), expected);
    EXPECT_TRUE(state.isInventoryComplete());
    std::set<std::string> attributed, unprotected;
    for (const auto& [path, attribution] : state.attributions()) {
        attributed.insert(path);
        EXPECT_EQ(attribution.app.path, path);
    }
    for (const InstalledApp& app : expected)
        if (!app.isProtected) unprotected.insert(app.path);
    EXPECT_EQ(attributed, unprotected);
    // The fixture's own Library reached attribution: Acme Player's computer-wide log is there.
    const LeftoverAttribution& acme = state.attributions().at(disk.path("Applications/Acme Player.app"));
    EXPECT_EQ(acme.items.size(), 7u);
    EXPECT_EQ(state.orphanGroups(), reference.findGroups(disk.home(), reference.library(), expected));
}

TEST(ApplicationsStateOnDiskTest, EmptyRootAndHomeEndTheSurveyAtOnce) {
    const fixture::FixtureDisk empty(freshFolder("state-empty"));
    ApplicationsState state(servicesOn(empty), {}, empty.home());
    QSignalSpy orphansPublished(&state, &ApplicationsState::orphanGroupsChanged);
    state.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return orphansPublished.count() == 1; }, 30000));
    EXPECT_TRUE(state.isInventoryComplete());
    EXPECT_TRUE(state.isAttributionComplete());
    EXPECT_TRUE(state.apps().empty());
    EXPECT_TRUE(state.orphanGroups().empty());
    EXPECT_TRUE(state.attributions().empty());
}

TEST(ApplicationsStateOnDiskTest, ClosingMidSurveyIsClean) {
    const fixture::FixtureDisk& disk = standardDisk();
    for (int round = 0; round < 10; ++round) {
        auto state =
            std::make_unique<ApplicationsState>(servicesOn(disk), std::vector<std::string>{}, disk.home());
        state->start();
        for (int spin = 0; spin < round; ++spin) {
            QCoreApplication::processEvents();
            QThread::usleep(300);
        }
        state.reset();
    }
    // What was still queued is delivered to nobody.
    for (int spin = 0; spin < 50; ++spin)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace
} // namespace quillmere::testing
