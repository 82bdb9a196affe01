#include "support/ScratchMount.hpp"
#include "systemdata/ReclaimerTestSupport.hpp"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using testing::exists;
using testing::failuresOf;
using testing::pathsOf;
using testing::ReclaimFixture;
using testing::ScratchMount;

constexpr const char* kChanged = "it changed since you confirmed — it was left where it is";

bool trashIsEmpty(const ReclaimFixture& f) {
    const std::string files = f / "data/Trash/files";
    return !exists(files) || std::filesystem::is_empty(files);
}

TEST(ReclaimerConfirmation, AnythingHoldingAMountIsRefusedWholeAlsoInsideAnActionFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
    ReclaimFixture f;
    testing::writeFile(f / "C/own.txt", 100);
    testing::makeFolder(f / "C/inner");
    testing::writeFile(f / "cache/junk/a", 10);
    testing::makeFolder(f / "cache/holder/deep/m");
    const ScratchMount inner = ScratchMount::tmpfs(f / "C/inner");
    const ScratchMount deep = ScratchMount::tmpfs(f / "cache/holder/deep/m");
    if (!inner.mounted() || !deep.mounted()) GTEST_SKIP() << "mounting is not permitted here";
    testing::writeFile(f / "C/inner/other-disk.bin", 5 << 20);
    testing::writeFile(f / "cache/holder/deep/m/kept", 10);

    const Reclaimer::Outcome outcome =
        f.reclaimer().reclaim({testing::folder(f / "C", {}), testing::folder(f / "C/inner", {})}, {});
    EXPECT_TRUE(outcome.succeeded.empty());
    EXPECT_EQ(failuresOf(outcome),
              (std::vector<std::pair<std::string, std::string>>{
                  {f / "C", "another file system is mounted inside it, at “" + (f / "C/inner") +
                                "” — nothing of it was moved"},
                  {f / "C/inner", "another file system is mounted here, at “" + (f / "C/inner") +
                                      "” — nothing of it was moved"}}));
    EXPECT_EQ(testing::allocatedBytes(f / "C/inner/other-disk.bin"), 5 << 20);
    EXPECT_TRUE(exists(f / "C/own.txt"));

    const Reclaimer::ActionResult emptied =
        f.reclaimer().perform(SystemDataReclaimAction::directoryContents(f / "cache"));
    EXPECT_EQ(emptied.removedPaths, (std::set<std::string>{f / "cache/junk"}));
    EXPECT_EQ(emptied.failure, "holder: another file system is mounted inside it, at “" +
                                   (f / "cache/holder/deep/m") + "” — nothing of it was moved");
    const Reclaimer::ActionResult whole = f.reclaimer().perform(SystemDataReclaimAction::wholeItems(
        {{.url = f / "cache/holder", .label = "Holder", .sizeBytes = 10}}));
    EXPECT_TRUE(whole.removedPaths.empty());
    EXPECT_TRUE(exists(f / "cache/holder/deep/m/kept"));
    EXPECT_TRUE(f.inTrash("junk"));
    EXPECT_FALSE(f.inTrash("C") || f.inTrash("inner") || f.inTrash("holder"));
}

TEST(ReclaimerConfirmation, ItemsSwappedAfterTheConfirmationStayWhereTheyAre) {
    ReclaimFixture f;
    testing::writeFile(f / "parent/item", 10);
    testing::writeFile(f / "decoy/item", 10);
    testing::writeFile(f / "kept/item", 10);
    testing::writeFile(f / "cache/one", 10);
    testing::writeFile(f / "precious/one", 10);
    const std::vector<FileNode> nodes{testing::file(f / "parent/item", 10),
                                      testing::file(f / "kept/item", 10)};
    const std::vector<SystemDataReclaimEntry> entries{
        {.id = "user-caches",
         .name = "Caches",
         .sizeBytes = 10,
         .action = SystemDataReclaimAction::directoryContents(f / "cache")}};
    const Reclaimer reclaimer = f.reclaimer();
    const ReclaimPins pins = reclaimer.pin(nodes, entries);

    // Between the confirmation and the removal: the parent becomes a link to a folder holding
    // an item of the same name, the other item is replaced by a new file, and the action's
    // folder becomes a link to another folder.
    ASSERT_EQ(::rename((f / "parent").c_str(), (f / "parent-was").c_str()), 0);
    ASSERT_EQ(::symlink((f / "decoy").c_str(), (f / "parent").c_str()), 0);
    ASSERT_EQ(::rename((f / "kept/item").c_str(), (f / "kept/item-was").c_str()), 0);
    testing::writeFile(f / "kept/item", 10);
    ASSERT_EQ(::rename((f / "cache").c_str(), (f / "cache-was").c_str()), 0);
    ASSERT_EQ(::symlink((f / "precious").c_str(), (f / "cache").c_str()), 0);

    const Reclaimer::Outcome outcome = reclaimer.reclaim(nodes, entries, &pins);
    EXPECT_TRUE(outcome.succeeded.empty());
    EXPECT_EQ(failuresOf(outcome), (std::vector<std::pair<std::string, std::string>>{
                                       {f / "parent/item", kChanged}, {f / "kept/item", kChanged}}));
    ASSERT_EQ(outcome.systemDataFailures.size(), 1u);
    EXPECT_EQ(outcome.systemDataFailures[0].reason, std::string("cache: ") + kChanged);
    EXPECT_TRUE(exists(f / "decoy/item") && exists(f / "parent-was/item") && exists(f / "kept/item") &&
                exists(f / "kept/item-was") && exists(f / "precious/one") && exists(f / "cache-was/one"));
    EXPECT_TRUE(trashIsEmpty(f));

    // Unchanged items pinned the same way do move.
    testing::writeFile(f / "fresh/item", 10);
    const std::vector<FileNode> fresh{testing::file(f / "fresh/item", 10)};
    const ReclaimPins freshPins = reclaimer.pin(fresh, {});
    EXPECT_EQ(pathsOf(reclaimer.reclaim(fresh, {}, &freshPins).succeeded), pathsOf(fresh));
}

TEST(ReclaimerConfirmation, InputsThatAreNotPlainFullPathsAreRefused) {
    ReclaimFixture f;
    testing::writeFile(f / "a/b/file", 10);
    const std::string reason = "its location isn't a plain full path — it was left where it is";
    const std::vector<FileNode> nodes{testing::file("a/b", 1), testing::folder(f / "a/b/..", {}),
                                      testing::folder(f / "a/./b", {}), testing::file(f / "a/b/./file", 1)};
    const Reclaimer::Outcome outcome = f.reclaimer().reclaim(nodes, {});
    EXPECT_TRUE(outcome.succeeded.empty());
    ASSERT_EQ(outcome.failures.size(), nodes.size());
    for (const Reclaimer::ItemFailure& failure : outcome.failures)
        EXPECT_EQ(failure.reason, reason) << failure.node.path();
    EXPECT_TRUE(exists(f / "a/b/file"));
    EXPECT_TRUE(f.files->moved.empty());
    const Reclaimer::ActionResult action =
        f.reclaimer().perform(SystemDataReclaimAction::directoryContents(f / "a/b/.."));
    EXPECT_EQ(action.failure, "couldn't list the contents of ..");
    EXPECT_TRUE(exists(f / "a/b/file"));
}

TEST(ReclaimerConfirmation, DirectorySizesIsWrittenOnceWhenTheRunEndsWithEveryFolder) {
    ReclaimFixture f;
    std::vector<FileNode> nodes;
    for (int i = 0; i < 4; ++i) {
        testing::writeFile(f / ("in/folder " + std::to_string(i) + "/a"), 5000);
        nodes.push_back(testing::folder(f / ("in/folder " + std::to_string(i)), {}));
    }
    testing::writeFile(f / "in/plain", 10);
    nodes.push_back(testing::file(f / "in/plain", 10));
    const std::string cache = f / "data/Trash/directorysizes";
    int writtenEarly = 0;
    f.files->beforeMove = [&](const std::string&) { writtenEarly += exists(cache) ? 1 : 0; };

    const Reclaimer::Outcome outcome = f.reclaimer().reclaim(nodes, {});
    EXPECT_EQ(outcome.succeeded.size(), nodes.size());
    EXPECT_EQ(writtenEarly, 0) << "the cache was rewritten during the run";
    EXPECT_EQ(f.files->finishedRuns, 1);
    const std::string text = testing::fileText(cache);
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(text.find(" folder%20" + std::to_string(i) + "\n"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4) << text;
}

} // namespace
} // namespace quillmere
