#include "applications/state/ApplicationsState.hpp"
#include "support/ApplicationsTestSupport.hpp"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
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
    // Closed after none, one, two… of the survey's notifications, until the survey ends first:
    // every time, all of its work ends, what was still queued is delivered to nobody, and
    // nothing keeps the services alive afterwards.
    const fixture::FixtureDisk& disk = standardDisk();
    int midSurvey = 0;
    for (int heard = 0; heard < 200; ++heard) {
        auto services = servicesOn(disk);
        const std::weak_ptr<DiskApplicationServices> watched = services;
        auto state =
            std::make_unique<ApplicationsState>(std::move(services), std::vector<std::string>{}, disk.home());
        int notifications = 0;
        bool surveyed = false;
        for (const auto notifies : {&ApplicationsState::appsChanged, &ApplicationsState::attributionsChanged,
                                    &ApplicationsState::isInventoryCompleteChanged})
            QObject::connect(state.get(), notifies, [&] { ++notifications; });
        QObject::connect(state.get(), &ApplicationsState::orphanGroupsChanged, [&] { surveyed = true; });
        state->start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return notifications >= heard || surveyed; }, 30000));
        const bool endedFirst = surveyed;
        state.reset();
        EXPECT_TRUE(QTest::qWaitFor([&] { return watched.expired(); }, 30000)) << "closed at " << heard;
        if (endedFirst) break;
        ++midSurvey;
    }
    EXPECT_GT(midSurvey, 5);
}

} // namespace
} // namespace quillmere::testing
