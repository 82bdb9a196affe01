#include "applications/model/LeftoverMatching.hpp"

#include "support/ApplicationsTestSupport.hpp"

#include <algorithm>
#include <gtest/gtest.h>

namespace quillmere::testing {
namespace {

using Group = LeftoverItem::Group;
using Signal = LeftoverItem::MatchSignal;
namespace LA = LeftoverAttributor;

InstalledApp app(std::string name, std::optional<std::string> identifier = {},
                 std::optional<std::string> developer = {}, std::string path = "/nowhere/App.app") {
    return {.name = std::move(name),
            .bundleIdentifier = std::move(identifier),
            .developer = std::move(developer),
            .path = std::move(path)};
}

TEST(LeftoverMatchingTest, OneEntryIsMatchedByTheFirstRuleThatHolds) {
    const InstalledApp example = app("Example", "com.example.App");
    const std::vector<std::pair<std::string, std::optional<Signal>>> table{
        {"com.example.app", Signal::bundleIdentifier},
        {"com.example.app.plist", Signal::bundleIdentifier},
        {"com.example.app.savedState", Signal::bundleIdentifierPrefix},
        {"COM.EXAMPLE.APP.helper", Signal::bundleIdentifierPrefix},
        // No dot after the identifier: falls to the name test.
        {"com.example.application", Signal::name},
        {"Example Sync", Signal::name},
        {"Ex", std::nullopt},
        {"com.other.thing", std::nullopt},
    };
    for (const auto& [entry, signal] : table) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(LA::matchSignal(entry, example), signal);
    }
    // The developer comes before the name.
    EXPECT_EQ(LA::matchSignal("acme example tools", app("Example", {}, "Acme Co")), Signal::developer);
    // A signing team code matches a group container that starts with it.
    EXPECT_EQ(LA::matchSignal("ABCDE12345.group.shared", app("Signed", {}, "ABCDE12345")), Signal::developer);
    EXPECT_FALSE(LA::isClaimed("Ex", {example}));
    EXPECT_TRUE(LA::isClaimed("Other", {example, app("Other")}));
}

TEST(LeftoverMatchingTest, DeveloperWordsAndNameContainment) {
    // An application named too briefly to match by name, so only its developer can match.
    const auto byDeveloper = [](std::string_view entry, std::string developer) {
        return LA::matchSignal(entry, app("Qz", {}, std::move(developer))) == Signal::developer;
    };
    EXPECT_TRUE(byDeveloper("example.widgets", "The Example Co., Ltd."));
    EXPECT_FALSE(byDeveloper("the.co.ltd", "The Example Co., Ltd."));
    EXPECT_TRUE(byDeveloper("acme-cache", "Acme Co"));
    // Only stop words and words shorter than three characters: never a match.
    EXPECT_FALSE(byDeveloper("inc co ab", "Inc. Co AB"));
    // Letters, marks and digits of any script form words.
    EXPECT_TRUE(byDeveloper("zürich-cache", "Zürich AG"));

    const auto byName = [](std::string_view entry, std::string appName) {
        return LA::matchSignal(entry, app(std::move(appName))) == Signal::name;
    };
    EXPECT_FALSE(byName("Go", "Go"));
    EXPECT_FALSE(byName("gopher", "Go"));
    EXPECT_TRUE(byName("com.example.notes-sync", "Notes"));
    EXPECT_FALSE(byName("Nope", "Notes"));
    // Either side may hold the other.
    EXPECT_TRUE(byName("Tune", "Tuner"));
    // Three user-perceived characters, however many code points.
    EXPECT_TRUE(byName("e\u0301e\u0301e\u0301-data", "e\u0301e\u0301e\u0301"));
    EXPECT_FALSE(byName("e\u0301e\u0301", "e\u0301e\u0301"));
}

struct ExpectedCandidate {
    std::string name;
    std::string relativePath;
    Group group;
    Signal signal;
};

void expectCandidates(const std::vector<LeftoverCandidate>& actual,
                      const std::vector<ExpectedCandidate>& expected) {
    const fixture::FixtureDisk& disk = standardDisk();
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(actual[i], (LeftoverCandidate{expected[i].name, disk.path(expected[i].relativePath),
                                                expected[i].group, expected[i].signal}));
    }
}

TEST(LeftoverMatchingTest, CandidatesOnTheStandardDisk) {
    const fixture::FixtureDisk& disk = standardDisk();
    const InstalledApp acme =
        app("Acme Player", "com.acme.Player", "Acme Inc", disk.path("Applications/Acme Player.app"));
    // The link in Containers reaches the support folder again (listed once, first row wins);
    // the link in Caches leads inside it (nested, dropped). Computer-wide Containers are not searched.
    expectCandidates(LA::candidates(acme, disk.home(), disk.library()),
                     {
                         {"com.acme.Player.log", "Library/Logs/com.acme.Player.log",
                          Group::cachesPreferencesAndState, Signal::bundleIdentifierPrefix},
                         {"com.acme.Player", "Users/ann/Library/Application Support/com.acme.Player",
                          Group::supportAndContainers, Signal::bundleIdentifier},
                         {"acme-telemetry", "Users/ann/Library/Caches/acme-telemetry",
                          Group::cachesPreferencesAndState, Signal::developer},
                         {"com.acme.Editor.plist", "Users/ann/Library/Preferences/com.acme.Editor.plist",
                          Group::cachesPreferencesAndState, Signal::developer},
                         {"com.acme.Player.plist", "Users/ann/Library/Preferences/com.acme.Player.plist",
                          Group::cachesPreferencesAndState, Signal::bundleIdentifier},
                         {"com.acme.Player.savedState",
                          "Users/ann/Library/Saved Application State/com.acme.Player.savedState",
                          Group::cachesPreferencesAndState, Signal::bundleIdentifierPrefix},
                     });

    // A link is listed at its target; a dangling link is no candidate.
    expectCandidates(LA::candidates(app("Tuner", {}, {}, disk.path("Applications/Tuner.app")), disk.home(),
                                    disk.library()),
                     {
                         {"Tuner Data", "Data/TunerStore", Group::supportAndContainers, Signal::name},
                         {"Tuner Presets", "Users/ann/Library/Application Support/Tuner Presets",
                          Group::supportAndContainers, Signal::name},
                         {"tuner.plist", "Users/ann/Library/Preferences/tuner.plist",
                          Group::cachesPreferencesAndState, Signal::name},
                     });

    // The audio family's content rows: by exact name only, and never twice.
    expectCandidates(LA::candidates(app("Logic Pro", "com.example.logic"), disk.home(), disk.library()),
                     {
                         {"Logic instrument libraries", "Library/Application Support/Logic",
                          Group::soundLibrariesAndContent, Signal::name},
                         {"GarageBand content", "Library/Application Support/GarageBand",
                          Group::soundLibrariesAndContent, Signal::developer},
                         {"Audio Music Apps", "Users/ann/Music/Audio Music Apps", Group::supportAndContainers,
                          Signal::name},
                     });
    expectCandidates(LA::candidates(app("GarageBand", "com.example.garageband"), disk.home(), disk.library()),
                     {{"GarageBand content", "Library/Application Support/GarageBand",
                       Group::soundLibrariesAndContent, Signal::developer}});
    // Not of the family: its name still finds the "Logic" folder, as a plain support folder.
    expectCandidates(
        LA::candidates(app("Logic Pro X", "com.example.logicx"), disk.home(), disk.library()),
        {{"Logic", "Library/Application Support/Logic", Group::supportAndContainers, Signal::name}});

    // A candidate at the application's own path is never returned.
    const InstalledApp living =
        app("Presets", {}, {}, disk.path("Users/ann/Library/Application Support/Tuner Presets"));
    EXPECT_TRUE(LA::candidates(living, disk.home(), disk.library()).empty());
}

TEST(LeftoverMatchingTest, NestedCandidatesAreRemovedByWholeComponents) {
    const auto candidate = [](std::string path) {
        return LeftoverCandidate{"x", std::move(path), Group::supportAndContainers, Signal::name};
    };
    const std::vector<LeftoverCandidate> kept = LA::removeNested({
        candidate("/nowhere/Library/Application Support/Foo/Cache"),
        candidate("/nowhere/Library/Application Support/FooBar"),
        candidate("/nowhere/Library/Application Support/Foo"),
        candidate("/nowhere/Library/Caches/Foo"),
    });
    std::vector<std::string> paths;
    for (const LeftoverCandidate& each : kept)
        paths.push_back(each.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/nowhere/Library/Application Support/FooBar",
                                               "/nowhere/Library/Application Support/Foo",
                                               "/nowhere/Library/Caches/Foo"}));
}

TEST(LeftoverMatchingTest, LibraryEntriesWalkTheElevenRowsAndTheFiveComputerWideFolders) {
    const fixture::FixtureDisk& disk = standardDisk();
    EXPECT_EQ(LA::libraryFolders().size(), 11u);
    size_t computerWide = 0;
    for (const LA::LibraryFolder& row : LA::libraryFolders())
        computerWide += row.alsoComputerWide;
    EXPECT_EQ(computerWide, 5u);

    const auto entries = LA::libraryEntries(disk.home(), disk.library());
    const auto has = [&](const std::string& relative) {
        return std::ranges::find(entries, disk.path(relative), &std::pair<std::string, Group>::first) !=
               entries.end();
    };
    EXPECT_TRUE(has("Library/Preferences/com.example.locked.plist"));
    EXPECT_TRUE(has("Library/Logs/com.acme.Player.log"));
    EXPECT_TRUE(has("Users/ann/Library/Group Containers/ABCDE12345.group.shared"));
    EXPECT_FALSE(has("Library/Containers/com.gone.stuff"));
    EXPECT_FALSE(has("Users/ann/Library/Caches/.DS_Store"));
    // Table order: the user's Application Support first.
    EXPECT_EQ(entries.front(), std::make_pair(disk.path("Users/ann/Library/Application Support/Old Sync"),
                                              Group::supportAndContainers));
}

} // namespace
} // namespace quillmere::testing
