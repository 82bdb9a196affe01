#include "platform/Processes.hpp"
#include "support/Eventually.hpp"
#include "systemdata/ReclaimerTestSupport.hpp"

#include <cstring>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillmere {
namespace {

using platform::TrashError;
using testing::exists;
using testing::failuresOf;
using testing::pathsOf;
using testing::ReclaimFixture;

TEST(Reclaimer, MovesNodesInOrderAndRecordsEveryRefusal) {
    ReclaimFixture f;
    testing::writeFile(f / "a", 4096);
    testing::writeFile(f / "b", 4096);
    testing::writeFile(f / "behind-aggregate", 10);
    ASSERT_EQ(::symlink("/usr", (f / "into-usr").c_str()), 0);
    f.capacity.script["*"] = {1000, 1500};
    const FileNode a = testing::file(f / "a", 4096);
    const std::vector<FileNode> nodes{a,
                                      testing::file("/usr/bin/env", 100),
                                      testing::aggregateAt(f / "behind-aggregate", 7),
                                      testing::file(f / "into-usr/bin", 50),
                                      testing::file(f / "b", 4096),
                                      a};
    const Reclaimer::Outcome outcome = f.reclaimer().reclaim(nodes, {});

    EXPECT_EQ(outcome.promisedBytes, 4096 + 100 + 7 + 50 + 4096 + 4096) << "refused inputs count too";
    EXPECT_EQ(pathsOf(outcome.succeeded), (std::vector<std::string>{f / "a", f / "b"}));
    EXPECT_TRUE(outcome.succeeded[0].sharesNodeWith(a)) << "the nodes as given";
    const std::vector<std::pair<std::string, std::string>> expected{
        {"/usr/bin/env", "protected — Quillmere will never remove this"},
        {f / "behind-aggregate", "a group of small items, not one item on disk — nothing was moved"},
        {f / "into-usr/bin", "protected — Quillmere will never remove this"},
        {f / "a", "it no longer exists"},
    };
    EXPECT_EQ(failuresOf(outcome), expected);
    EXPECT_TRUE(exists(f / "behind-aggregate"));
    EXPECT_TRUE(f.inTrash("a") && f.inTrash("b"));
    EXPECT_EQ(outcome.measuredFreedBytes, 500);
    EXPECT_TRUE(outcome.systemDataSucceeded.empty() && outcome.systemDataFailures.empty() &&
                outcome.systemDataRemovedPaths.empty());
    for (const std::string& moved : f.files->moved)
        EXPECT_TRUE(moved == f / "a" || moved == f / "b") << moved << " was tried though refused";
}

TEST(Reclaimer, MeasuresFreeSpaceOnEveryFileSystemHoldingAnInput) {
    {
        ReclaimFixture f;
        f.capacity.script["/"] = {100, 40};
        const Reclaimer::Outcome outcome = f.reclaimer().reclaim({}, {});
        EXPECT_EQ(outcome.promisedBytes, 0);
        EXPECT_TRUE(outcome.succeeded.empty() && outcome.failures.empty());
        EXPECT_EQ(outcome.measuredFreedBytes, -60) << "nothing given: the volume is read";
    }
    char shmPattern[] = "/dev/shm/quillmere-reclaim-XXXXXX";
    ASSERT_NE(::mkdtemp(shmPattern), nullptr);
    const std::string shm = shmPattern;
    testing::writeFile(shm + "/protected-anyway", 10);
    const auto readings = [&](std::vector<std::optional<int64_t>> scratchValues,
                              std::vector<std::optional<int64_t>> shmValues) {
        ReclaimFixture f;
        testing::writeFile(f / "folder/x", 10);
        f.capacity.script[f / "folder"] = std::move(scratchValues);
        f.capacity.script[shm] = std::move(shmValues);
        // /dev/shm lies under /dev, a system folder: the node is refused but its disk is read.
        const Reclaimer::Outcome outcome = f.reclaimer().reclaim(
            {testing::file(f / "folder/x", 10), testing::file(shm + "/protected-anyway", 10)}, {});
        EXPECT_EQ(outcome.failures.size(), 1u);
        return std::pair(outcome.measuredFreedBytes, *f.capacity.asked);
    };
    const auto [freed, asked] = readings({1000, 1100}, {50, 45});
    EXPECT_EQ(freed, 95);
    EXPECT_EQ(asked.size(), 4u);
    EXPECT_EQ(readings({1000, std::nullopt}, {50, 45}).first, std::nullopt);
    EXPECT_EQ(readings({1000, 1100}, {std::nullopt, 45}).first, std::nullopt);
    std::system(("rm -rf '" + shm + "'").c_str());
}

TEST(Reclaimer, PermissionErrorsTryTheRecycleFallbackOthersDoNot) {
    ReclaimFixture f;
    for (const char* name : {"denied", "recycled", "missing-ish"})
        testing::writeFile(f / name, 10);
    f.files->refusals[f / "denied"] = TrashError::fromErrno(EACCES);
    f.files->refusals[f / "recycled"] = TrashError::fromErrno(EPERM);
    f.files->refusals[f / "missing-ish"] = TrashError::fromErrno(ENOENT);
    f.files->recycler = [&](const std::string& path) -> std::expected<void, TrashError> {
        if (path == f / "recycled") return {};
        return std::unexpected(TrashError::fromErrno(EACCES));
    };
    const Reclaimer::Outcome outcome =
        f.reclaimer().reclaim({testing::file(f / "denied", 1), testing::file(f / "recycled", 2),
                               testing::file(f / "missing-ish", 3)},
                              {});
    EXPECT_EQ(pathsOf(outcome.succeeded), (std::vector<std::string>{f / "recycled"}));
    const std::vector<std::pair<std::string, std::string>> expected{
        {f / "denied", "you don't have permission to move it to the Trash"},
        {f / "missing-ish", "it no longer exists"},
    };
    EXPECT_EQ(failuresOf(outcome), expected);
    EXPECT_EQ(f.files->recycled, (std::vector<std::string>{f / "denied", f / "recycled"}));

    // Without a recycle service the permission error stands.
    ReclaimFixture plain;
    testing::writeFile(plain / "ro", 10);
    plain.files->refusals[plain / "ro"] = TrashError::fromErrno(EROFS);
    plain.files->refusals[plain / "full"] = TrashError::fromErrno(ENOSPC);
    testing::writeFile(plain / "full", 10);
    EXPECT_EQ(failuresOf(plain.reclaimer().reclaim(
                  {testing::file(plain / "ro", 1), testing::file(plain / "full", 1)}, {})),
              (std::vector<std::pair<std::string, std::string>>{
                  {plain / "ro", "it's on a read-only disk"},
                  {plain / "full", "there's no room on its disk for the Trash's record of it"}}));
}

TEST(Reclaimer, ParentSwappedForASymlinkAfterStartFailsTheItem) {
    ReclaimFixture f;
    testing::writeFile(f / "parent/item", 10);
    testing::writeFile(f / "target/item", 10);
    f.files->beforeMove = [&](const std::string&) {
        ::rename((f / "parent").c_str(), (f / "parent-was").c_str());
        ::symlink((f / "target").c_str(), (f / "parent").c_str());
        f.files->beforeMove = nullptr;
    };
    const Reclaimer::Outcome outcome = f.reclaimer().reclaim({testing::file(f / "parent/item", 10)}, {});
    EXPECT_TRUE(outcome.succeeded.empty());
    EXPECT_EQ(failuresOf(outcome),
              (std::vector<std::pair<std::string, std::string>>{
                  {f / "parent/item", "it changed since you confirmed — it was left where it is"}}));
    EXPECT_TRUE(exists(f / "target/item"));
    EXPECT_TRUE(exists(f / "parent-was/item"));
}

SystemDataReclaimEntry entry(std::string id, int64_t size, SystemDataReclaimAction action) {
    return {.id = id, .name = id + " name", .sizeBytes = size, .action = std::move(action)};
}

TEST(Reclaimer, DirectoryContentsMovesVisibleEntriesOneByOneAndTestsEach) {
    ReclaimFixture f;
    testing::writeFile(f / "cache/one", 10);
    testing::writeFile(f / "cache/two/inner", 10);
    testing::writeFile(f / "cache/.hidden", 10);
    testing::writeFile(f / "elsewhere/target", 10);
    ASSERT_EQ(::symlink((f / "elsewhere/target").c_str(), (f / "cache/link").c_str()), 0);
    testing::writeFile(f / "only-hidden/.keep", 10);
    testing::makeFolder(f / "cache/Documents");
    f.files->refusals[f / "cache/two"] = TrashError::fromErrno(EBUSY);
    ProtectionRoots roots = f.roots();
    roots.userFolders.push_back(f / "cache/Documents");

    const std::vector<SystemDataReclaimEntry> entries{
        entry("user-caches", 30, SystemDataReclaimAction::directoryContents(f / "cache")),
        entry("hidden-only", 10, SystemDataReclaimAction::directoryContents(f / "only-hidden")),
        entry("missing", 5, SystemDataReclaimAction::directoryContents(f / "no-such-folder")),
        entry("home", 7, SystemDataReclaimAction::directoryContents(f / "home")),
    };
    testing::writeFile(f / "home/Music/song", 10);
    f.capacity.script["*"] = {10, 10};
    const Reclaimer::Outcome outcome = f.reclaimer(roots).reclaim({}, entries);

    EXPECT_EQ(outcome.promisedBytes, 52);
    EXPECT_EQ(outcome.systemDataRemovedPaths, (std::set<std::string>{f / "cache/link", f / "cache/one"}))
        << "a moved link is recorded under its own path";
    EXPECT_EQ(outcome.systemDataSucceeded, (std::vector<SystemDataReclaimEntry>{entries[1]}));
    ASSERT_EQ(outcome.systemDataFailures.size(), 3u);
    EXPECT_EQ(outcome.systemDataFailures[0].entry, entries[0]);
    EXPECT_EQ(outcome.systemDataFailures[0].reason,
              "Documents: protected — Quillmere will never remove this; two: " +
                  std::string(std::strerror(EBUSY)));
    EXPECT_EQ(outcome.systemDataFailures[1].reason, "couldn't list the contents of no-such-folder");
    EXPECT_EQ(outcome.systemDataFailures[2].reason, "home: protected — Quillmere will never remove this");
    EXPECT_TRUE(exists(f / "cache/.hidden") && exists(f / "only-hidden/.keep") &&
                exists(f / "cache/Documents"));
    EXPECT_TRUE(exists(f / "home/Music/song")) << "a misset folder never empties the home folder";
    EXPECT_TRUE(exists(f / "elsewhere/target"));
    EXPECT_EQ(outcome.measuredFreedBytes, 0);
}

TEST(Reclaimer, ActionFolderSwappedForASymlinkIsRefused) {
    ReclaimFixture f;
    testing::writeFile(f / "cache/one", 10);
    testing::writeFile(f / "precious/file", 10);
    f.files->beforeListing = [&](const std::string&) {
        ::rename((f / "cache").c_str(), (f / "cache-was").c_str());
        ::symlink((f / "precious").c_str(), (f / "cache").c_str());
    };
    const Reclaimer::ActionResult result =
        f.reclaimer().perform(SystemDataReclaimAction::directoryContents(f / "cache"));
    EXPECT_TRUE(result.removedPaths.empty());
    EXPECT_EQ(result.failure, "cache: it changed since you confirmed — it was left where it is");
    EXPECT_TRUE(exists(f / "precious/file"));
}

TEST(Reclaimer, WholeItemsAndEvictionReportByLabelAndName) {
    ReclaimFixture f;
    testing::writeFile(f / "backups/one", 10);
    testing::writeFile(f / "backups/two", 10);
    ASSERT_EQ(::symlink("/etc", (f / "etc-link").c_str()), 0);
    const SystemDataReclaimAction whole = SystemDataReclaimAction::wholeItems({
        {.url = f / "backups/one", .label = "Phone backup", .sizeBytes = 10},
        {.url = f / "backups/gone", .label = "Old tablet", .sizeBytes = 10},
        {.url = f / "etc-link/passwd", .label = "Sneaky", .sizeBytes = 10},
        {.url = f / "backups/two", .label = "Watch", .sizeBytes = 10},
    });
    const Reclaimer::ActionResult moved = f.reclaimer().perform(whole);
    EXPECT_EQ(moved.removedPaths, (std::set<std::string>{f / "backups/one", f / "backups/two"}));
    EXPECT_EQ(moved.failure,
              "Old tablet: it no longer exists; Sneaky: protected — Quillmere will never remove this");

    const SystemDataReclaimAction evict =
        SystemDataReclaimAction::evictDownloadedICloudItems({f / "a.pdf", f / "b.mov"});
    const Reclaimer::ActionResult standIn = f.reclaimer().perform(evict);
    EXPECT_TRUE(standIn.removedPaths.empty());
    EXPECT_EQ(standIn.failure, "a.pdf: no cloud service on this computer keeps a copy of it; b.mov: no cloud "
                               "service on this computer keeps a copy of it");
    std::vector<std::string> evicted;
    f.files->evictor = [&](const std::string& path) -> std::expected<void, std::string> {
        evicted.push_back(path);
        return {};
    };
    EXPECT_EQ(f.reclaimer().perform(evict), Reclaimer::ActionResult{});
    EXPECT_EQ(evicted, (std::vector<std::string>{f / "a.pdf", f / "b.mov"}));
}

// A copy of a real executable inside a fixture bundle, running until the fixture goes.
class RunningCopy {
public:
    explicit RunningCopy(const std::string& executable) {
        std::system(("cp /bin/sleep '" + executable + "'").c_str());
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl(executable.c_str(), "sleep", "60", nullptr);
            ::_exit(127);
        }
        // Wait until the child runs the copy, not the test binary.
        const bool runsTheCopy =
            pid_ > 0 && testing::eventually([&] {
                char target[4096];
                const ssize_t length =
                    ::readlink(("/proc/" + std::to_string(pid_) + "/exe").c_str(), target, sizeof target);
                return length > 0 && std::string(target, static_cast<size_t>(length)) == executable;
            });
        EXPECT_TRUE(runsTheCopy) << executable;
    }
    ~RunningCopy() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

private:
    pid_t pid_ = -1;
};

TEST(Reclaimer, UninstallRefusesARunningOrProtectedBundleAndStopsWhenTheBundleStays) {
    ReclaimFixture f;
    testing::makeFolder(f / "Apps/Editor.app/bin");
    testing::writeFile(f / "home/.config/editor/settings", 10);
    testing::writeFile(f / "home/.cache/editor/blob", 10);
    const std::string executable = f / "Apps/Editor.app/bin/editor";
    const FileNode leftover1 = testing::file(f / "home/.config/editor", 10);
    const FileNode leftover2 = testing::file(f / "home/.cache/editor", 10);
    {
        RunningCopy running(executable);
        ReclaimFixture& g = f;
        g.running = platform::ownProcessExecutables();
        for (const std::string& spelling :
             {f / "Apps/Editor.app", f / "Apps/./Editor.app/", f / "Apps/Editor.app/"}) {
            const FileNode bundle = testing::folder(spelling, {});
            const Reclaimer::Outcome outcome = g.reclaimer().uninstall(bundle, {leftover1, leftover2});
            EXPECT_EQ(failuresOf(outcome),
                      (std::vector<std::pair<std::string, std::string>>{
                          {spelling,
                           std::string(bundle.name()) + " is currently running — quit it, then try again"}}))
                << spelling;
            EXPECT_TRUE(outcome.succeeded.empty());
        }
        EXPECT_TRUE(g.files->moved.empty());
        // Protected and running: the protected text wins.
        ProtectionRoots roots = g.roots();
        roots.mountPoints.push_back(f / "Apps/Editor.app");
        EXPECT_EQ(g.reclaimer(roots).refusalReason(testing::folder(f / "Apps/Editor.app", {})),
                  "protected — Quillmere will never remove this");
    }
    // The bundle's move fails: the leftovers are not touched.
    f.running.clear();
    f.files->refusals[f / "Apps/Editor.app"] = TrashError::fromErrno(EBUSY);
    f.capacity.script["*"] = {500, 400};
    const Reclaimer::Outcome failed =
        f.reclaimer().uninstall(testing::folder(f / "Apps/Editor.app", {}), {leftover1, leftover2});
    EXPECT_EQ(failed.failures.size(), 1u);
    EXPECT_EQ(failed.promisedBytes, 20);
    EXPECT_EQ(failed.measuredFreedBytes, -100);
    EXPECT_EQ(f.files->moved, (std::vector<std::string>{f / "Apps/Editor.app"}));

    f.files->refusals.clear();
    f.capacity.script["*"] = {500, std::nullopt};
    const FileNode protectedLeftover = testing::file("/usr/share/editor", 5);
    const Reclaimer::Outcome done = f.reclaimer().uninstall(testing::folder(f / "Apps/Editor.app", {}),
                                                            {leftover1, protectedLeftover, leftover2});
    EXPECT_EQ(pathsOf(done.succeeded),
              (std::vector<std::string>{f / "Apps/Editor.app", f / "home/.config/editor",
                                        f / "home/.cache/editor"}));
    EXPECT_EQ(failuresOf(done), (std::vector<std::pair<std::string, std::string>>{
                                    {"/usr/share/editor", "protected — Quillmere will never remove this"}}));
    EXPECT_TRUE(f.inTrash("Editor.app") && f.inTrash("editor") && f.inTrash("editor.2"));
    EXPECT_EQ(done.measuredFreedBytes, std::nullopt) << "a reading after the work failed";
}

} // namespace
} // namespace quillmere
