#include "applications/model/LeftoverAttribution.hpp"
#include "applications/model/LeftoverMatching.hpp"
#include "platform/FolderListing.hpp"
#include "support/ApplicationsTestSupport.hpp"

#include <algorithm>
#include <gtest/gtest.h>

namespace quillmere::testing {
namespace {

using Group = LeftoverItem::Group;
using Signal = LeftoverItem::MatchSignal;

struct ExpectedItem {
    std::string name;
    std::string relativePath;
    Group group;
    Signal signal;
    std::optional<std::string> sharedWith;
};

// What a scan of a folder, or the file's own blocks, count.
int64_t measuredBytes(const std::string& path) {
    return platform::isDirectoryItem(path) ? scannedBytes(path)
                                           : platform::itemAllocatedBytes(path).value_or(-1);
}

class AttributionTest : public ::testing::Test {
protected:
    AttributionTest() : services(fixtureEnvironment(standardDisk())), apps(inventory(services)) {}

    const InstalledApp& named(const std::string& name) const {
        return *std::ranges::find(apps, name, &InstalledApp::name);
    }
    LeftoverAttribution attribute(const std::string& name) {
        return LeftoverAttributor::attribute(services, named(name), apps, standardDisk().home());
    }
    void expectItems(const LeftoverAttribution& attribution, const std::vector<ExpectedItem>& expected) {
        ASSERT_EQ(attribution.items.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(expected[i].name);
            const LeftoverItem& item = attribution.items[i];
            EXPECT_EQ(item.name, expected[i].name);
            EXPECT_EQ(item.path, standardDisk().path(expected[i].relativePath));
            EXPECT_EQ(item.group, expected[i].group);
            EXPECT_EQ(item.matchSignal, expected[i].signal);
            EXPECT_EQ(item.sharedWithAppName, expected[i].sharedWith);
            EXPECT_EQ(item.allocatedSize, measuredBytes(item.path));
            EXPECT_EQ(item.cloudOnlyCount, 0);
        }
    }

    DiskApplicationServices services;
    std::vector<InstalledApp> apps;
};

TEST_F(AttributionTest, BundleFirstThenLeftoversInDisplayOrderWithSharedMarks) {
    const LeftoverAttribution acme = attribute("Acme Player");
    EXPECT_EQ(acme.app, named("Acme Player"));
    // Caches by size, largest first; the editor's preferences are matched by developer and
    // belong to the editor too.
    expectItems(acme, {
                          {"Acme Player.app", "Applications/Acme Player.app", Group::application,
                           Signal::bundleIdentifier},
                          {"com.acme.Player", "Users/ann/Library/Application Support/com.acme.Player",
                           Group::supportAndContainers, Signal::bundleIdentifier},
                          {"acme-telemetry", "Users/ann/Library/Caches/acme-telemetry",
                           Group::cachesPreferencesAndState, Signal::developer},
                          {"com.acme.Player.log", "Library/Logs/com.acme.Player.log",
                           Group::cachesPreferencesAndState, Signal::bundleIdentifierPrefix},
                          {"com.acme.Player.savedState",
                           "Users/ann/Library/Saved Application State/com.acme.Player.savedState",
                           Group::cachesPreferencesAndState, Signal::bundleIdentifierPrefix},
                          {"com.acme.Player.plist", "Users/ann/Library/Preferences/com.acme.Player.plist",
                           Group::cachesPreferencesAndState, Signal::bundleIdentifier},
                          {"com.acme.Editor.plist", "Users/ann/Library/Preferences/com.acme.Editor.plist",
                           Group::cachesPreferencesAndState, Signal::developer, "Acme Editor"},
                      });
    EXPECT_EQ(acme.items.front().allocatedSize, named("Acme Player").allocatedSize);
    EXPECT_GE(acme.elapsedSeconds, 0);

    // A linked folder is sized at its target; no bundle identifier: the bundle carries `name`.
    expectItems(attribute("Tuner"),
                {
                    {"Tuner.app", "Applications/Tuner.app", Group::application, Signal::name},
                    {"Tuner Data", "Data/TunerStore", Group::supportAndContainers, Signal::name},
                    {"Tuner Presets", "Users/ann/Library/Application Support/Tuner Presets",
                     Group::supportAndContainers, Signal::name},
                    {"tuner.plist", "Users/ann/Library/Preferences/tuner.plist",
                     Group::cachesPreferencesAndState, Signal::name},
                });

    // Content rows first; each of the two audio applications claims the other's loops.
    expectItems(
        attribute("Logic Pro"),
        {
            {"Logic Pro.app", "Applications/Logic Pro.app", Group::application, Signal::bundleIdentifier},
            {"Logic instrument libraries", "Library/Application Support/Logic",
             Group::soundLibrariesAndContent, Signal::name},
            {"GarageBand content", "Library/Application Support/GarageBand", Group::soundLibrariesAndContent,
             Signal::developer, "GarageBand"},
            {"Audio Music Apps", "Users/ann/Music/Audio Music Apps", Group::supportAndContainers,
             Signal::name},
        });

    // A leftover two applications claim, each marked with the other; twins mark each other.
    EXPECT_EQ(attribute("Shared Cache").items.back().sharedWithAppName, "Cache Data");
    EXPECT_EQ(attribute("Cache Data").items.back().sharedWithAppName, "Shared Cache");
    EXPECT_EQ(attribute("Twin").items.back().sharedWithAppName, "Twin");

    // Nothing found: the bundle alone.
    const LeftoverAttribution console = attribute("Console Tool");
    ASSERT_EQ(console.items.size(), 1u);
    EXPECT_TRUE(console.itemsIn(Group::supportAndContainers).empty());
    EXPECT_EQ(console.itemsIn(Group::application), console.items);
}

TEST_F(AttributionTest, SharedMarkingNamesTheFirstOtherClaimantAndNeverTheAppItself) {
    const fixture::FixtureDisk& disk = standardDisk();
    const LeftoverItem shared{.name = "Shared Cache Data",
                              .path = disk.path("Users/ann/Library/Caches/Shared Cache Data"),
                              .group = Group::cachesPreferencesAndState};
    const LeftoverItem bundle = LeftoverAttributor::bundleItem(named("Acme Player"));
    const auto mark = [&](const InstalledApp& app, const std::vector<InstalledApp>& installed) {
        return LeftoverAttributor::markShared({bundle, shared}, app, installed, disk.home(), disk.library());
    };
    const InstalledApp& acme = named("Acme Player");
    EXPECT_EQ(mark(acme, {acme, named("Shared Cache"), named("Cache Data")})[1].sharedWithAppName,
              "Shared Cache");
    EXPECT_EQ(mark(acme, {named("Cache Data"), acme, named("Shared Cache")})[1].sharedWithAppName,
              "Cache Data");
    // The bundle item is never marked, and copies of the application itself (same canonical
    // path through another spelling) are not others.
    InstalledApp sameApp = named("Shared Cache");
    sameApp.path = disk.path("Applications/./Shared Cache.app");
    const auto alone = mark(named("Shared Cache"), {named("Shared Cache"), sameApp});
    EXPECT_EQ(alone[0].sharedWithAppName, std::nullopt);
    EXPECT_EQ(alone[1].sharedWithAppName, std::nullopt);
}

TEST_F(AttributionTest, BundleItemPathIsCanonical) {
    const fixture::FixtureDisk& disk = standardDisk();
    const std::string linkedFolder = disk.link("Linked Applications", disk.path("Applications"));
    InstalledApp viaLink = named("Tuner");
    viaLink.path = linkedFolder + "/Tuner.app";
    const LeftoverItem item = LeftoverAttributor::bundleItem(viaLink);
    EXPECT_EQ(item.path, disk.path("Applications/Tuner.app"));
    EXPECT_EQ(item.name, "Tuner.app");
}

// A cloud provider's answer for every file.
class CloudHost : public platform::ScanHost {
public:
    std::optional<platform::CloudItemStatus> cloudStatus(const std::string&) override { return status; }
    std::optional<platform::CloudItemStatus> status;
};

TEST(SizingTest, CloudOnlyFilesCountOnceAndZeroBytes) {
    const fixture::FixtureDisk& disk = standardDisk();
    const std::string file = disk.path("Users/ann/Library/Preferences/tuner.plist");
    CloudHost host;
    const ItemSizer sizer(disk.home(), host, [] { return true; });
    using Downloading = platform::CloudItemStatus::Downloading;
    const int64_t local = platform::itemAllocatedBytes(file).value();
    const std::vector<std::pair<std::optional<platform::CloudItemStatus>, ItemMeasurement>> table{
        {platform::CloudItemStatus{}, {local, 0}},
        {platform::CloudItemStatus{true, Downloading::notDownloaded, false}, {0, 1}},
        {platform::CloudItemStatus{true, Downloading::absent, false}, {0, 1}},
        {platform::CloudItemStatus{true, Downloading::current, false}, {local, 0}},
        {platform::CloudItemStatus{true, Downloading::downloaded, false}, {local, 0}},
        // Downloaded, but a newer version is coming down.
        {platform::CloudItemStatus{true, Downloading::downloaded, true}, {0, 1}},
        // The provider cannot be asked: nothing is known.
        {std::nullopt, {0, 0}},
    };
    for (const auto& [status, expected] : table) {
        host.status = status;
        EXPECT_EQ(sizer.sizeFile(file), expected);
    }
    host.status = platform::CloudItemStatus{};
    // Vanished between discovery and sizing: a file whose values cannot be read.
    EXPECT_EQ(sizer.sizeItem(disk.path("Users/ann/Library/Caches/vanished")), (ItemMeasurement{0, 0}));
    const LeftoverItem item = LeftoverAttributor::sizeItem(
        {"Tuner Presets", disk.path("Users/ann/Library/Application Support/Tuner Presets"),
         Group::supportAndContainers, Signal::name},
        sizer);
    EXPECT_EQ(item.allocatedSize, scannedBytes(item.path));
}

TEST(DisplayOrderTest, GroupThenLargerThenNameWithNumbersByValue) {
    const auto item = [](std::string name, Group group, int64_t size) {
        return LeftoverItem{.name = std::move(name), .group = group, .allocatedSize = size};
    };
    std::vector<LeftoverItem> items{item("name 10", Group::cachesPreferencesAndState, 5),
                                    item("name 2", Group::cachesPreferencesAndState, 5),
                                    item("big", Group::cachesPreferencesAndState, 9),
                                    item("support", Group::supportAndContainers, 1),
                                    item("content", Group::soundLibrariesAndContent, 1),
                                    item("App.app", Group::application, 0)};
    std::ranges::stable_sort(items, LeftoverItem::displayOrder);
    std::vector<std::string> names;
    for (const LeftoverItem& each : items)
        names.push_back(each.name);
    EXPECT_EQ(names, (std::vector<std::string>{"App.app", "content", "support", "big", "name 2", "name 10"}));

    for (const Group group : {Group::application, Group::soundLibrariesAndContent,
                              Group::supportAndContainers, Group::cachesPreferencesAndState})
        EXPECT_EQ(LeftoverItem::groupFromRawValue(LeftoverItem::rawValue(group)), group);
    EXPECT_EQ(LeftoverItem::rawValue(Group::cachesPreferencesAndState), "Caches, preferences & state");
    EXPECT_EQ(LeftoverItem::groupFromRawValue("the application"), std::nullopt);
}

} // namespace
} // namespace quillmere::testing
