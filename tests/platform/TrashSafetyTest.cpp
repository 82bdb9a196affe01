#include "platform/Trash.hpp"
#include "platform/TrashDirectorySizes.hpp"
#include "platform/TrashTestSupport.hpp"
#include "scan/FileNode.hpp"
#include "scan/ScanTestSupport.hpp"
#include "support/ScratchMount.hpp"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>

namespace quillmere::platform {
namespace {

using testing::exists;
using testing::fileText;
using testing::ScratchFolder;
using testing::ScratchMount;
using testing::trashSettings;

std::string canonical(const ScratchFolder& scratch) {
    return FileNode::canonicalPath(scratch.path());
}

TEST(TrashSafety, AnItemAtOrAboveAMountPointStaysWholeWithTheMountNamed) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
    ScratchFolder scratch;
    const std::string root = canonical(scratch);
    testing::writeFile(root + "/C/own.txt", 100);
    testing::makeFolder(root + "/C/inner");
    const ScratchMount inner = ScratchMount::tmpfs(root + "/C/inner");
    if (!inner.mounted()) GTEST_SKIP() << "mounting is not permitted here";
    testing::writeFile(root + "/C/inner/other-disk.bin", 5 << 20);
    const Trash trash(trashSettings(root + "/data", testing::liveMounts()));

    const auto holding = trash.moveToTrash(root, "C", std::nullopt);
    ASSERT_FALSE(holding);
    EXPECT_EQ(holding.error().kind, TrashError::Kind::holdsMount);
    EXPECT_EQ(holding.error().description(), "another file system is mounted inside it, at “" + root +
                                                 "/C/inner” — nothing of it was moved");
    const auto itself = trash.moveToTrash(root + "/C", "inner", std::nullopt);
    ASSERT_FALSE(itself);
    EXPECT_EQ(itself.error().description(),
              "another file system is mounted here, at “" + root + "/C/inner” — nothing of it was moved");

    EXPECT_EQ(testing::allocatedBytes(root + "/C/inner/other-disk.bin"), 5 << 20);
    EXPECT_TRUE(exists(root + "/C/own.txt"));
    EXPECT_FALSE(exists(root + "/data/Trash")) << "no record, no Trash";
    // A sibling whose name merely starts like the mounted folder's is not above it.
    testing::writeFile(root + "/C/inner-notes", 10);
    EXPECT_TRUE(trash.moveToTrash(root + "/C", "inner-notes", std::nullopt));
}

TEST(TrashSafety, MountTableIsReadAtTheMoveNotBefore) {
    ScratchFolder scratch;
    const std::string root = canonical(scratch);
    testing::writeFile(root + "/C/file", 10);
    auto table = std::make_shared<std::vector<MountEntry>>(testing::liveMounts());
    TrashSettings settings = trashSettings(root + "/data", {});
    settings.mounts = [table] { return visibleMounts(*table); };
    const Trash trash(settings);
    table->push_back({.root = "/", .mountPoint = root + "/C/late", .fileSystemType = "tmpfs", .source = "x"});
    const auto moved = trash.moveToTrash(root, "C", std::nullopt);
    ASSERT_FALSE(moved);
    EXPECT_EQ(moved.error().mountPoint, root + "/C/late");
    table->pop_back();
    EXPECT_TRUE(trash.moveToTrash(root, "C", std::nullopt));
}

// Another item put in the confirmed one's place while the Trash is made ready (the mount table
// is read in between) is moved back at once and the move refused; the confirmed item, moved
// aside, is untouched, and the Trash keeps no record of either.
TEST(TrashSafety, AnItemSwappedInJustBeforeTheMoveGoesBack) {
    ScratchFolder scratch;
    const std::string root = canonical(scratch);
    testing::writeFile(root + "/in/item", 10);
    TrashSettings settings = trashSettings(root + "/data", {});
    settings.mounts = [root] {
        std::filesystem::rename(root + "/in/item", root + "/in/aside");
        testing::writeFile(root + "/in/item", 20);
        return visibleMounts(testing::liveMounts());
    };
    const Trash trash(settings);
    const auto moved = trash.moveToTrash(root + "/in", "item", std::nullopt);
    ASSERT_FALSE(moved);
    EXPECT_EQ(moved.error().kind, TrashError::Kind::changed);
    EXPECT_EQ(fileText(root + "/in/item"), std::string(20, 'q'));
    EXPECT_EQ(fileText(root + "/in/aside"), std::string(10, 'q'));
    EXPECT_TRUE(std::filesystem::is_empty(root + "/data/Trash/files"));
    EXPECT_TRUE(std::filesystem::is_empty(root + "/data/Trash/info"));
}

TEST(TrashDirectorySizes, MergeReplacesOwnNamesAndKeepsEveryOtherLine) {
    const std::string current = "100 1 a\n200 2 b\ngarbage\n\n300 3 c";
    EXPECT_EQ(mergedDirectorySizes(current, {"250 9 b\n", "400 9 d\n"}),
              "100 1 a\ngarbage\n300 3 c\n250 9 b\n400 9 d\n");
    EXPECT_EQ(mergedDirectorySizes("", {"1 2 x%20y\n"}), "1 2 x%20y\n");
    EXPECT_EQ(mergedDirectorySizes("5 6 keep\n", {}), "5 6 keep\n");
}

// Whether some process waits for an flock on the file with this inode (/proc/locks marks
// waiters with "->").
bool someoneWaitsForLock(ino_t inode) {
    std::ifstream locks("/proc/locks");
    std::string line;
    const std::string suffix = ":" + std::to_string(inode) + " ";
    while (std::getline(locks, line))
        if (line.find("->") != std::string::npos && line.find("FLOCK") != std::string::npos &&
            (line + " ").find(suffix) != std::string::npos)
            return true;
    return false;
}

// A Trash made by moving the folder "first" into it, and the folder "second" waiting to go.
struct TrashWithAFolder {
    ScratchFolder scratch;
    const std::string root = canonical(scratch);
    const Trash trash{trashSettings(root + "/data", testing::liveMounts())};
    const std::string cache = root + "/data/Trash/directorysizes";

    TrashWithAFolder() {
        testing::writeFile(root + "/in/first/a", 5000);
        testing::writeFile(root + "/in/second/b", 5000);
        EXPECT_TRUE(trash.moveToTrash(root + "/in", "first", std::nullopt)) << "makes the Trash";
    }
};

TEST(TrashDirectorySizes, OneRunWaitsForTheLockAndMergesWhatOthersWroteMeanwhile) {
    TrashWithAFolder made;
    const std::string& root = made.root;
    const Trash& trash = made.trash;
    const std::string& cache = made.cache;
    testing::writeFile(root + "/in/plain", 10);
    const std::string lockPath = root + "/data/Trash/directorysizes.lock";
    ASSERT_TRUE(exists(lockPath)) << "the lock file lies beside the cache";
    const std::string firstLine = fileText(cache);

    DirectorySizesBatch batch;
    ASSERT_TRUE(trash.moveToTrash(root + "/in", "second", std::nullopt, &batch));
    ASSERT_TRUE(trash.moveToTrash(root + "/in", "plain", std::nullopt, &batch));
    EXPECT_EQ(fileText(cache), firstLine) << "nothing is written before the run ends";

    // Another client holds the lock, and writes its line while this run waits for it.
    const Fd held(::open(lockPath.c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_TRUE(held);
    ASSERT_EQ(::flock(held.get(), LOCK_EX), 0);
    std::atomic<bool> flushed{false};
    std::thread flusher([&] {
        batch.flush();
        flushed = true;
    });
    const ino_t lockInode = testing::lstatOf(lockPath).st_ino;
    // Bounded only so that a broken lock table cannot hang the suite.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!flushed && !someoneWaitsForLock(lockInode) && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::yield();
    const bool waited = !flushed;
    std::ofstream(cache, std::ios::app) << "4096 1700000000 from-another-client\n";
    ASSERT_EQ(::flock(held.get(), LOCK_UN), 0);
    flusher.join();

    EXPECT_TRUE(waited) << "the run wrote its line without waiting for the lock";
    const std::string merged = fileText(cache);
    EXPECT_NE(merged.find(firstLine), std::string::npos) << merged;
    EXPECT_NE(merged.find(" from-another-client\n"), std::string::npos) << "a stale copy was written back";
    EXPECT_NE(merged.find(" second\n"), std::string::npos) << merged;
    EXPECT_EQ(merged.find(" plain\n"), std::string::npos) << "files have no line";
}

// A FIFO in the cache's place (a stick's Trash can carry one) is left alone; the run ends
// rather than wait for a writer that never comes.
TEST(TrashDirectorySizes, ACacheThatIsNoPlainFileIsNeverWaitedOn) {
    TrashWithAFolder made;
    const std::string& root = made.root;
    const Trash& trash = made.trash;
    const std::string& cache = made.cache;
    ASSERT_EQ(::unlink(cache.c_str()), 0);
    ASSERT_EQ(::mkfifo(cache.c_str(), 0600), 0);

    std::atomic<bool> flushed{false};
    std::thread run([&] {
        DirectorySizesBatch batch;
        const bool moved = trash.moveToTrash(root + "/in", "second", std::nullopt, &batch).has_value();
        batch.flush();
        flushed = moved;
    });
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!flushed && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::yield();
    const bool ended = flushed;
    // A run stuck in the open is let go, so that the suite goes on.
    if (!ended) ::close(::open(cache.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    run.join();
    EXPECT_TRUE(ended) << "the run waited on the FIFO";
    EXPECT_TRUE(S_ISFIFO(testing::lstatOf(cache).st_mode));
    EXPECT_TRUE(exists(root + "/data/Trash/files/second/b"));
}

} // namespace
} // namespace quillmere::platform
