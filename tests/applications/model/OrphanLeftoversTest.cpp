#include "applications/model/OrphanLeftovers.hpp"

#include "platform/FolderListing.hpp"
#include "support/ApplicationsTestSupport.hpp"

#include <gtest/gtest.h>

namespace quillmere::testing {
namespace {

using Group = LeftoverItem::Group;
namespace OLA = OrphanLeftoverAttributor;
const std::string kUnmatched(OLA::kUnmatchedSummary);

struct ExpectedGroup {
    std::optional<std::string> guess;
    std::string evidence;
    std::string summary;
    std::vector<std::pair<std::string, Group>> entries; // relative path and group, in order
};

TEST(OrphanLeftoversTest, FindGroupsOnTheStandardDisk) {
    const fixture::FixtureDisk& disk = standardDisk();
    DiskApplicationServices services(fixtureEnvironment(disk));
    const std::vector<InstalledApp> apps = inventory(services);
    const std::vector<OrphanLeftoverGroup> groups =
        services.findGroups(disk.home(), services.library(), apps);

    // Claimed entries (built-in applications' too), the system's own, hidden files and the
    // computer-wide Containers never appear. Largest first; equal totals keep guesses ahead,
    // then entries without a signature ahead of lone bucket entries.
    const std::string support = "Users/ann/Library/Application Support/";
    const std::vector<ExpectedGroup> expected{
        {std::nullopt, "Old Sync", kUnmatched, {{"Data/OldSyncStore", Group::supportAndContainers}}},
        {"Gone Player",
         "com.gone",
         "Support and caches and preferences",
         {{support + "com.gone.player", Group::supportAndContainers},
          {"Users/ann/Library/Preferences/com.gone.player.plist", Group::cachesPreferencesAndState}}},
        {"Widget",
         "Widget",
         "Support and caches and preferences",
         {{support + "Widget", Group::supportAndContainers},
          {"Users/ann/Library/Caches/widget", Group::cachesPreferencesAndState}}},
        {"Foobar Viewer",
         "org.foobar",
         "Caches and preferences",
         {{"Users/ann/Library/Caches/org.foobar.viewer", Group::cachesPreferencesAndState}}},
        {std::nullopt,
         "io.ab.tool",
         kUnmatched,
         {{"Users/ann/Library/Logs/io.ab.tool", Group::cachesPreferencesAndState}}},
        {std::nullopt,
         "com.foo.helper",
         kUnmatched,
         {{"Users/ann/Library/Caches/com.foo.helper", Group::cachesPreferencesAndState}}},
        {std::nullopt,
         "Gadget",
         kUnmatched,
         {{"Users/ann/Library/Logs/Gadget", Group::cachesPreferencesAndState}}},
    };
    ASSERT_EQ(groups.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].evidence);
        const OrphanLeftoverGroup& group = groups[i];
        EXPECT_EQ(group.guessedAppName, expected[i].guess);
        EXPECT_EQ(group.evidence, expected[i].evidence);
        EXPECT_EQ(group.summary, expected[i].summary);
        ASSERT_EQ(group.entries.size(), expected[i].entries.size());
        for (size_t e = 0; e < group.entries.size(); ++e) {
            const OrphanEntry& entry = group.entries[e];
            EXPECT_EQ(entry.path, disk.path(expected[i].entries[e].first));
            EXPECT_EQ(entry.group, expected[i].entries[e].second);
            EXPECT_EQ(entry.cloudOnlyCount, 0);
            EXPECT_EQ(entry.allocatedSize, platform::isDirectoryItem(entry.path)
                                               ? scannedBytes(entry.path)
                                               : platform::itemAllocatedBytes(entry.path).value());
        }
        EXPECT_EQ(group.id(), expected[i].guess.value_or("unmatched") + ":" + group.entries.front().path);
    }
    // The linked orphan: stored, tested and sized where it lies; its date is the link's own.
    const OrphanEntry& linked = groups[0].entries[0];
    EXPECT_EQ(linked.name, "Old Sync");
    EXPECT_EQ(linked.allocatedSize, scannedBytes(disk.path("Data/OldSyncStore")));
    EXPECT_GT(linked.allocatedSize, 80 * 1024 - 1);
    EXPECT_EQ(linked.lastTouched, 1600000000.0);
    EXPECT_EQ(groups[0].latestTouch(), 1600000000.0);

    // Without the signing team, the group container is nobody's.
    DiskApplicationServices unsigned_(fixtureEnvironment(disk, false));
    const auto withoutTeam = unsigned_.findGroups(disk.home(), unsigned_.library(), inventory(unsigned_));
    EXPECT_EQ(withoutTeam.size(), groups.size() + 1);
    // No applications: every entry but the system's own is an orphan.
    EXPECT_GT(services.findGroups(disk.home(), services.library(), {}).size(), groups.size() + 10);
    const fixture::FixtureDisk empty(freshFolder("no-library"));
    EXPECT_TRUE(services.findGroups(empty.home(), empty.library(), apps).empty());
}

TEST(OrphanLeftoversTest, NameSignatures) {
    using Signature = OLA::NameSignature;
    const std::vector<std::pair<std::string, std::optional<Signature>>> table{
        {"com.acme.player", Signature{"com", "acme", {"acme", "player"}}},
        {"com.acme.MyTool.plist", Signature{"com", "acme", {"acme", "MyTool"}}},
        {"org.foobar.viewer", Signature{"org", "foobar", {"foobar", "viewer"}}},
        // A trailing generic word goes, once.
        {"com.foo.helper", Signature{"com", "foo", {"foo"}}},
        {"com.foo.agent.helper", Signature{"com", "foo", {"foo", "agent"}}},
        {"com..foo.bar", Signature{"com", "foo", {"foo", "bar"}}},
        {"io.ab.tool", std::nullopt},
        {"foo.bar", std::nullopt},
        {"1abc.def.ghi", std::nullopt},
        {"abcde.foo.bar", std::nullopt},
        {"Widget", Signature{std::nullopt, "widget", {"Widget"}}},
        {"Old Sync", Signature{std::nullopt, "oldsync", {"Old Sync"}}},
        {"Widget.PLIST", Signature{std::nullopt, "widget", {"Widget"}}},
        {"ab.plist", std::nullopt},
        {"com.helper", std::nullopt},
    };
    for (const auto& [name, signature] : table) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Signature::make(name), signature);
    }
}

TEST(OrphanLeftoversTest, TheSystemsOwnEntries) {
    for (const char* name : {"com.apple.Safari", "com.apple.Safari.plist", "group.com.apple.notes", "Apple",
                             "apple.plist", "COM.APPLE.x"})
        EXPECT_TRUE(OLA::isAppleOwned(name)) << name;
    for (const char* name : {"Apple Inc", "apple.something", "com.foo.com.apple.x", "com", "", "applecare"})
        EXPECT_FALSE(OLA::isAppleOwned(name)) << name;
}

OrphanEntry entry(std::string name, int64_t size, Group group = Group::supportAndContainers) {
    return {.name = name, .path = "/nowhere/" + name, .group = group, .allocatedSize = size};
}

TEST(OrphanLeftoversTest, GroupingAndSummaries) {
    // A folder "Acme" and com.acme.player.plist share the key: named after the richer name.
    auto groups =
        OLA::group({entry("Acme", 10), entry("com.acme.player.plist", 30, Group::cachesPreferencesAndState)});
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].guessedAppName, "Acme Player");
    EXPECT_EQ(groups[0].evidence, "com.acme");
    EXPECT_EQ(groups[0].entries.front().name, "com.acme.player.plist");
    // Different vendors share a bucket when their keys are equal; capitalising lowers the rest.
    EXPECT_EQ(OLA::group({entry("com.vscode.x", 1), entry("org.VSCode.y", 1)})[0].guessedAppName, "Vscode X");

    // Equal totals: the guess group stays ahead of the unmatched one.
    groups = OLA::group({entry("Gadget", 20), entry("org.foobar.viewer", 20)});
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].guessedAppName, "Foobar Viewer");
    EXPECT_EQ(groups[1].id(), "unmatched:/nowhere/Gadget");
    EXPECT_EQ(groups[1].summary, kUnmatched);
    EXPECT_TRUE(OLA::group({}).empty());

    EXPECT_EQ(OLA::summary({entry("a", 1, Group::soundLibrariesAndContent),
                            entry("b", 1, Group::supportAndContainers),
                            entry("c", 1, Group::cachesPreferencesAndState)}),
              "Content, support, and caches and preferences");
    EXPECT_EQ(OLA::summary({entry("a", 1)}), "Support");
    EXPECT_EQ(OLA::summary({entry("a", 1, Group::application)}), "Leftover files");
    EXPECT_EQ(OLA::summary({}), "Leftover files");
}

} // namespace
} // namespace quillmere::testing
