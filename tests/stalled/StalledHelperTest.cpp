// The helper beside a real FUSE mount whose daemon was stopped: a walk of the stalled mount
// itself is declined once its time is up, and walks of other folders are answered meanwhile.
#include "access/PrivilegedScanClient.hpp"
#include "access/helper/HelperServer.hpp"
#include "support/Gate.hpp"
#include "support/HelperProcess.hpp"
#include "support/StalledMount.hpp"

#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace quillmere::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(StalledHelper, AWalkOfTheStalledMountIsDeclinedAndOtherWalksAreAnsweredMeanwhile) {
    TemporaryFolder folder;
    const std::string mountPoint = folder.path() + "/stalled";
    const std::string other = folder.path() + "/other";
    fs::create_directories(mountPoint);
    fs::create_directories(other);
    std::ofstream(other + "/file") << "contents";
    std::string reason;
    const auto mount = StalledMount::make(mountPoint, reason);
    if (!mount) GTEST_SKIP() << reason;

    const std::string socket = folder.path() + "/helper.sock";
    auto listener = listenAtPath(socket, 0600);
    ASSERT_TRUE(listener);
    // The helper's future is waited for last, once the mount answers again and every walk it
    // left behind has ended.
    auto served = std::async(std::launch::async, [listener = std::move(*listener)]() mutable {
        return serveHelper(std::move(listener), {.exitWhenIdle = 300ms, .walkLimit = 500ms});
    });
    FakeHelperServiceManager service;
    service.setRawStatus(PrivilegedScanStatus::kEnabled);
    CapturedPrivilegedScanLog log(true);
    mount->stall();

    std::optional<PrivilegedWalk> stalledWalk;
    std::jthread stalled([&] {
        PrivilegedScanClient client(service, log, {socket, ::getuid(), 60s});
        stalledWalk = client.walkSubtree(mountPoint);
    });
    CapturedPrivilegedScanLog otherLog(true);
    {
        PrivilegedScanClient client(service, otherLog, {socket, ::getuid(), 60s});
        const auto walk = client.walkSubtree(other);
        ASSERT_TRUE(walk.tree);
        EXPECT_EQ(walk.tree->fileCount(), 1);
    }
    stalled.join();
    ASSERT_TRUE(stalledWalk);
    EXPECT_FALSE(stalledWalk->hasTree());
    EXPECT_EQ(log.lines(), (std::vector<LogLine>{
                               {LogLevel::notice, "Helper declined " + mountPoint +
                                                      ": The folder did not answer within 0.5 seconds."}}));
    mount->resume();
    EXPECT_EQ(served.wait_for(60s), std::future_status::ready);
}

} // namespace
} // namespace quillmere::testing
