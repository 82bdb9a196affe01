#include "reclaim/SheetFlow.hpp"

#include "reclaim/SheetTestSupport.hpp"
#include "systemdata/ReclaimerTestSupport.hpp"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

using namespace testing;
using Group = LeftoverItem::Group;

std::vector<std::string> paths(const std::vector<FileNode>& nodes) {
    std::vector<std::string> out;
    for (const FileNode& node : nodes)
        out.push_back(node.path());
    return out;
}

TEST(ReclaimerInputOf, SystemDataSkipsCategoriesWithoutAnAction) {
    auto unreclaimable = category("a", "A", 5, SystemDataReclaimAction::directoryContents("/c"));
    unreclaimable.isReclaimable = false; // not consulted
    const ReclaimerInput input = reclaimerInput(
        ReclaimTarget::systemData({category("none", "None", 9), unreclaimable,
                                   category("b", "B", 7, SystemDataReclaimAction::wholeItems({}))}));
    ASSERT_EQ(input.entries.size(), 2u);
    EXPECT_EQ(input.entries[0],
              (SystemDataReclaimEntry{"a", "A", 5, SystemDataReclaimAction::directoryContents("/c")}));
    EXPECT_EQ(input.entries[1].id, "b");
    EXPECT_TRUE(input.nodes.empty());
    EXPECT_FALSE(input.appBundle);
    EXPECT_TRUE(reclaimerInput(ReclaimTarget::systemData({category("none", "None", 9)})).entries.empty());
}

TEST(ReclaimerInputOf, UninstallTakesTheFirstBundleAndTickedLeftoversInOrder) {
    LeftoverAttribution attribution{
        app("Tide"),
        {leftover("Cache", "/h/Cache/", Group::cachesPreferencesAndState, 7, {}, 2),
         leftover("Tide.app", "/opt/Tide.app", Group::application, 500, {}, 1),
         leftover("Old.app", "/opt/Old.app", Group::application, 900),
         leftover("Support", "/h/Support", Group::supportAndContainers, 10),
         leftover("Loops", "/h/Loops", Group::soundLibrariesAndContent, 40)},
        0};
    const ReclaimerInput input = reclaimerInput(
        ReclaimTarget::appUninstall(app("Tide"), attribution, {"/h/Loops", "/h/Cache/", "/opt/Old.app"}));
    ASSERT_TRUE(input.appBundle);
    EXPECT_EQ(input.appBundle->path(), "/opt/Tide.app");
    EXPECT_EQ(input.appBundle->fields(),
              (NodeFields{.isDirectory = true, .allocatedSize = 500, .cloudOnlyCount = 1}));
    EXPECT_EQ(paths(input.nodes), (std::vector<std::string>{"/h/Cache", "/h/Loops"}));
    EXPECT_EQ(input.nodes[0].fields(),
              (NodeFields{.isDirectory = true, .allocatedSize = 7, .cloudOnlyCount = 2}));
    EXPECT_EQ(input.nodes[0].name(), "Cache");

    // Without an application item the record itself is the bundle, with no cloud count.
    LeftoverAttribution bare{
        app("Tide", "/opt/Tide.app", 55), {leftover("X", "/x", Group::application, 1, {}, 3)}, 0};
    bare.items[0].group = Group::supportAndContainers;
    const ReclaimerInput fallback =
        reclaimerInput(ReclaimTarget::appUninstall(app("Tide", "/opt/Tide.app", 55), bare, {}));
    ASSERT_TRUE(fallback.appBundle);
    EXPECT_EQ(fallback.appBundle->name(), "Tide");
    EXPECT_EQ(fallback.appBundle->fields(), (NodeFields{.isDirectory = true, .allocatedSize = 55}));
    EXPECT_TRUE(fallback.nodes.empty());
}

TEST(ReclaimerInputOf, CachesTakeEveryItemAndOrphansOnlyTickedOnes) {
    const ReclaimerInput caches = reclaimerInput(
        ReclaimTarget::appCaches(app("Tide"), {leftover("B", "/c/b", Group::cachesPreferencesAndState, 1),
                                               leftover("A", "/c/a", Group::cachesPreferencesAndState, 9)}));
    EXPECT_EQ(paths(caches.nodes), (std::vector<std::string>{"/c/b", "/c/a"}));
    EXPECT_FALSE(caches.appBundle);

    OrphanLeftoverGroup group;
    group.entries = {orphan("a", "/o/a", 3), orphan("b", "/o/b", 8), orphan("c", "/o/c", 1)};
    EXPECT_EQ(paths(reclaimerInput(ReclaimTarget::orphanGroup(group, {"/o/c", "/o/a"})).nodes),
              (std::vector<std::string>{"/o/a", "/o/c"}));
    EXPECT_TRUE(reclaimerInput(ReclaimTarget::orphanGroup(group, {})).nodes.empty());
    EXPECT_EQ(paths(reclaimerInput(ReclaimTarget::node(file("/n", 1))).nodes),
              (std::vector<std::string>{"/n"}));
}

TEST(ReclaimerInputOf, PackagedItemsNeverTakeTheApplicationItself) {
    const ReclaimerInput input = reclaimerInput(ReclaimTarget::appItems(
        app("GIMP", "/flatpak/app/org.gimp.GIMP"),
        {leftover("data", "/h/data", Group::supportAndContainers, 9),
         leftover("org.gimp.GIMP", "/flatpak/app/org.gimp.GIMP", Group::application, 900),
         leftover("cache", "/h/cache", Group::cachesPreferencesAndState, 5)}));
    EXPECT_EQ(paths(input.nodes), (std::vector<std::string>{"/h/data", "/h/cache"}));
    EXPECT_FALSE(input.appBundle);
}

TEST(RunReclaim, ClearingAPackagedApplicationMovesOnlyTheTickedFoldersToTheTrash) {
    ReclaimFixture fixture;
    writeFile(fixture / "flatpak/app/org.example.App/files/bin", 4000);
    writeFile(fixture / "home/.var/app/org.example.App/cache/blob", 3000);
    writeFile(fixture / "home/.var/app/org.example.App/data/store", 2000);
    writeFile(fixture / "home/.var/app/org.example.App/config/settings", 1000);
    fixture.capacity.script["*"] = {100, 100};
    const std::string data = fixture / "home/.var/app/org.example.App/";
    const auto outcome = runReclaim(
        fixture.reclaimer(), reclaimerInput(ReclaimTarget::appItems(
                                 app("App", fixture / "flatpak/app/org.example.App"),
                                 {leftover("cache", data + "cache", Group::cachesPreferencesAndState, 4096),
                                  leftover("data", data + "data", Group::supportAndContainers, 4096),
                                  leftover("org.example.App", fixture / "flatpak/app/org.example.App",
                                           Group::application, 8192)})));
    EXPECT_EQ(paths(outcome.succeeded), (std::vector<std::string>{data + "cache", data + "data"}));
    EXPECT_TRUE(outcome.failures.empty());
    EXPECT_TRUE(fixture.inTrash("cache"));
    EXPECT_TRUE(fixture.inTrash("data"));
    EXPECT_FALSE(fixture.inTrash("config"));
    EXPECT_FALSE(fixture.inTrash("org.example.App"));
    struct stat info {};
    EXPECT_EQ(::lstat((data + "config/settings").c_str(), &info), 0);
    EXPECT_EQ(::lstat((fixture / "flatpak/app/org.example.App/files/bin").c_str(), &info), 0);
}

TEST(RootAfterRemoval, OnlyANodeTargetWithARootAndASuccess) {
    const FileNode root = folder("/r", {folder("/r/a", {file("/r/a/x", 10)}), file("/r/b", 5)});
    Reclaimer::Outcome outcome;
    outcome.succeeded = {*root.find("/r/a")};
    const auto target = ReclaimTarget::node(*root.find("/r/a"));
    const auto rebuilt = rootAfterRemoval(target, root, outcome);
    ASSERT_TRUE(rebuilt);
    EXPECT_FALSE(rebuilt->find("/r/a"));
    EXPECT_EQ(rebuilt->allocatedSize(), 5);
    EXPECT_FALSE(rootAfterRemoval(target, std::nullopt, outcome));
    EXPECT_FALSE(rootAfterRemoval(ReclaimTarget::appCaches(app("Tide"), {}), root, outcome));
    EXPECT_FALSE(rootAfterRemoval(ReclaimTarget::systemData({}), root, outcome));
    EXPECT_FALSE(rootAfterRemoval(target, root, Reclaimer::Outcome{}));
}

TEST(RunReclaim, MovesTheNodesAndEmptyInputsGiveEmptyOutcomes) {
    ReclaimFixture fixture;
    makeFolder(fixture / "stuff");
    writeFile(fixture / "stuff/a.bin", 5000);
    fixture.capacity.script["*"] = {100, 100};
    const auto moved =
        runReclaim(fixture.reclaimer(),
                   reclaimerInput(ReclaimTarget::node(leftoverNode("stuff", fixture / "stuff", 8192, 0))));
    ASSERT_EQ(moved.succeeded.size(), 1u);
    EXPECT_TRUE(fixture.inTrash("stuff"));

    const auto empty =
        runReclaim(fixture.reclaimer(), reclaimerInput(ReclaimTarget::systemData({category("x", "X", 1)})));
    EXPECT_TRUE(empty.succeeded.empty() && empty.failures.empty() && empty.systemDataSucceeded.empty() &&
                empty.systemDataFailures.empty());
}

TEST(RunReclaim, AThrowingRemovalReportsEveryItemFailed) {
    ReclaimFixture fixture;
    fixture.files->beforeMove = [](const std::string&) { throw std::runtime_error("gone"); };
    const ReclaimerInput input{
        {leftoverNode("a", fixture / "a", 3, 0)},
        {SystemDataReclaimEntry{"user-caches", "User caches", 4,
                                SystemDataReclaimAction::directoryContents(fixture / "c")}},
        std::nullopt};
    writeFile(fixture / "a", 10);
    const auto outcome = runReclaim(fixture.reclaimer(), input);
    EXPECT_EQ(outcome.failures.size(), 1u);
    EXPECT_EQ(outcome.systemDataFailures.size(), 1u);
    EXPECT_EQ(outcome.promisedBytes, 7);
    EXPECT_TRUE(outcome.succeeded.empty());
}

} // namespace
} // namespace quillmere
