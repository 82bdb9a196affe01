// The helper's server in this process, with short limits: it leaves when nobody needs it,
// closes idle connections, and cancels a walk whose client has gone.
#include "access/helper/HelperServer.hpp"

#include "access/HelperWire.hpp"
#include "access/PrivilegedScanClient.hpp"
#include "support/Eventually.hpp"
#include "support/HelperProcess.hpp"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace quillmere::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kPing = R"({"id":1,"selector":"pingWithReply:"})";

// serveHelper on a thread of its own, listening at `socket`.
class ServedHelper {
public:
    ServedHelper(const std::string& socket, HelperServerOptions options) {
        auto listener = listenAtPath(socket, 0600);
        if (!listener) throw std::runtime_error(listener.error());
        served_ = std::async(std::launch::async, [listener = std::move(*listener), options]() mutable {
            return serveHelper(std::move(listener), options);
        });
    }
    // Whether serveHelper has returned by the end of `limit`.
    bool returnedWithin(std::chrono::milliseconds limit) {
        return served_.wait_for(limit) == std::future_status::ready;
    }
    int status() { return served_.get(); }

private:
    std::future<int> served_;
};

platform::Fd connectTo(const std::string& socket) {
    platform::Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{.sun_family = AF_UNIX};
    std::copy(socket.begin(), socket.end(), address.sun_path);
    EXPECT_EQ(::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

bool pingAnswered(int fd) {
    if (!sendAll(fd, framed(kPing))) return false;
    const auto pong = readFrame(fd, kHelperReplyLimit, monotonicMs() + 10'000);
    return pong && pong->find("quillmere-helper") != std::string::npos;
}

class HelperServerTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    std::string socket = folder.path() + "/helper.sock";
};

TEST_F(HelperServerTest, StartedOnDemandItLeavesAfterItsIdleLimitButNotWhileAClientIsConnected) {
    HelperServerOptions options{.exitWhenIdle = 300ms, .clientIdleLimit = 30s};
    {
        ServedHelper nobodyCame(socket, options);
        EXPECT_TRUE(nobodyCame.returnedWithin(10s));
        EXPECT_EQ(nobodyCame.status(), 0);
    }
    ServedHelper helper(socket, options);
    auto client = connectTo(socket);
    ASSERT_TRUE(pingAnswered(client.get()));
    // Several idle limits pass while the client stays.
    EXPECT_FALSE(helper.returnedWithin(1500ms));
    EXPECT_TRUE(pingAnswered(client.get()));
    client.reset();
    EXPECT_TRUE(helper.returnedWithin(10s));
}

TEST_F(HelperServerTest, AConnectionIdleForItsLimitIsClosed) {
    ServedHelper helper(socket, {.exitWhenIdle = 300ms, .clientIdleLimit = 300ms});
    auto client = connectTo(socket);
    ASSERT_TRUE(pingAnswered(client.get()));
    const auto ended = readFrame(client.get(), kHelperReplyLimit, monotonicMs() + 10'000);
    ASSERT_FALSE(ended);
    EXPECT_EQ(ended.error(), FrameFault::closed);
    EXPECT_TRUE(helper.returnedWithin(10s));
}

// A file system where each folder named "d" takes 20 ms to open, like a cold disk.
class SlowChainHost : public platform::ScanHost {
public:
    platform::Fd openDirectoryAt(int directoryFd, const char* name) override {
        if (std::string_view(name) == "d") {
            std::this_thread::sleep_for(20ms);
            opened.fetch_add(1);
        }
        return ScanHost::openDirectoryAt(directoryFd, name);
    }
    std::atomic<int> opened{0};
};

TEST_F(HelperServerTest, AWalkWhoseClientLeftIsCancelledSoTheNextClientIsServed) {
    // Walked to its end, the chain would take 250 slow opens, one after the other.
    constexpr int kDepth = 250;
    fs::path chain = folder.path() + "/chain";
    for (int level = 0; level < kDepth; ++level)
        chain /= "d";
    fs::create_directories(chain);
    fs::create_directories(folder.path() + "/small");
    std::ofstream(folder.path() + "/small/file") << "contents";

    SlowChainHost host;
    ServedHelper helper(socket, {.exitWhenIdle = 300ms, .clientIdleLimit = 30s, .scanHost = &host});
    {
        auto leaving = connectTo(socket);
        const std::string request =
            R"({"id":1,"selector":"walkSubtreeAtPath:reply:","path":")" + folder.path() + R"(/chain"})";
        ASSERT_TRUE(sendAll(leaving.get(), framed(request)));
        ASSERT_TRUE(eventually([&] { return host.opened.load() > 0; })) << "the walk never started";
    }

    FakeHelperServiceManager service;
    service.setRawStatus(PrivilegedScanStatus::kEnabled);
    CapturedPrivilegedScanLog log(true);
    {
        PrivilegedScanClient next(service, log, {socket, ::getuid(), 50s});
        const auto walk = next.walkSubtree(folder.path() + "/small");
        // Walks are one at a time: this one came after the first had ended.
        const int openedByTheFirst = host.opened.load();
        ASSERT_TRUE(walk.tree);
        EXPECT_EQ(walk.tree->fileCount(), 1);
        EXPECT_LT(openedByTheFirst, kDepth) << "the walk went on without its client";
        EXPECT_TRUE(log.lines().empty());
    }
    EXPECT_TRUE(helper.returnedWithin(10s));
}

} // namespace
} // namespace quillmere::testing
