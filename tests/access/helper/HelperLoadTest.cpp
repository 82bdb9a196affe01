// The helper under load, on real sockets: a burst of walks is served and its memory given
// back, a client that asks and never reads is dropped, one user's idle connections never lock
// another out, and a walk stuck in the kernel never keeps the others from being served.
#include "access/HelperWire.hpp"
#include "access/PrivilegedScanClient.hpp"
#include "access/helper/HelperServer.hpp"
#include "scan/ScanTestSupport.hpp"
#include "support/Gate.hpp"
#include "support/HelperProcess.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quillmere::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kPing = R"({"id":1,"selector":"pingWithReply:"})";

// serveHelper on a thread of its own, listening at `socket` with `mode`.
class ServedHelper {
public:
    ServedHelper(const std::string& socket, HelperServerOptions options, mode_t mode = 0600) {
        auto listener = listenAtPath(socket, mode);
        if (!listener) throw std::runtime_error(listener.error());
        served_ = std::async(std::launch::async, [listener = std::move(*listener), options]() mutable {
            return serveHelper(std::move(listener), options);
        });
    }

private:
    std::future<int> served_;
};

platform::Fd connectTo(const std::string& socket) {
    platform::Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{.sun_family = AF_UNIX};
    socket.copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

bool pingAnswered(int fd) {
    if (!sendAll(fd, framed(kPing))) return false;
    const auto pong = readFrame(fd, kHelperReplyLimit, monotonicMs() + 30'000);
    return pong && pong->find("quillmere-helper") != std::string::npos;
}

// Whether the helper has closed its end of `fd`.
bool closedByHelper(int fd) {
    pollfd entry{fd, POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP));
}

int64_t residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:")) return std::strtoll(line.c_str() + 6, nullptr, 10);
    return -1;
}

class HelperLoad : public ::testing::Test {
protected:
    HelperLoad() { service.setRawStatus(PrivilegedScanStatus::kEnabled); }

    // `count` files with long names in `folder`, so that its reply outgrows a socket's buffers.
    std::string manyFiles(const std::string& name, int count) {
        const std::string path = folder.path() + "/" + name;
        fs::create_directories(path);
        for (int i = 0; i < count; ++i)
            std::ofstream(path + "/a-file-with-a-rather-long-name-to-make-the-reply-larger-" +
                          std::to_string(i));
        return path;
    }

    std::unique_ptr<PrivilegedScanClient> newClient(CapturedPrivilegedScanLog& into) {
        return std::make_unique<PrivilegedScanClient>(service, into,
                                                      PrivilegedScanClient::Options{socket, ::getuid(), 60s});
    }

    TemporaryFolder folder;
    std::string socket = folder.path() + "/helper.sock";
    FakeHelperServiceManager service;
    CapturedPrivilegedScanLog log{true};
};

TEST_F(HelperLoad, ABurstOfWalksIsServedAndItsMemoryGivenBack) {
    const std::string walked = manyFiles("walked", 20000);
    HelperProcess helper({helperProgram(), "--socket", socket, "--socket-mode", "0600"});
    ASSERT_TRUE(helper.awaitReady());
    constexpr int kClients = 40;
    std::atomic<int> answered{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&] {
            CapturedPrivilegedScanLog own;
            const auto client = newClient(own);
            while (!go.load())
                std::this_thread::yield();
            const auto walk = client->walkSubtree(walked);
            if (walk.tree && walk.tree->fileCount() == 20000) answered.fetch_add(1);
        });
    go = true;
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(answered.load(), kClients);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's allocator keeps memory of its own: resident size says nothing here";
#endif
    // Nothing of the replies stays: the trees and their chunks go back to the system.
    EXPECT_TRUE(eventually([&] { return residentKiB(helper.pid()) < 64 * 1024; }))
        << residentKiB(helper.pid()) << " KiB resident after the burst";
}

TEST_F(HelperLoad, AClientThatAsksAndNeverReadsIsDroppedAndTheNextIsServed) {
    const std::string walked = manyFiles("walked", 4000);
    ServedHelper helper(socket, {.exitWhenIdle = 300ms, .maxWalksPerUser = 1, .stalledClientLimit = 300ms});
    platform::Fd silent = connectTo(socket);
    const int small = 4096;
    ::setsockopt(silent.get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const std::string request =
        R"({"id":1,"selector":"walkSubtreeAtPath:reply:","path":")" + walked + R"("})";
    ASSERT_TRUE(sendAll(silent.get(), framed(request)));
    // It holds this user's one walk until its reply stalls for the limit.
    CapturedPrivilegedScanLog own;
    const auto next = newClient(own);
    const auto walk = next->walkSubtree(walked);
    ASSERT_TRUE(walk.tree);
    EXPECT_EQ(walk.tree->fileCount(), 4000);
    EXPECT_TRUE(eventually([&] { return closedByHelper(silent.get()); }));
}

// A user other than root is needed to prove that root's connections leave room for others.
TEST_F(HelperLoad, OneUsersIdleConnectionsNeverLockAnotherOut) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to connect as another user too";
    fs::permissions(folder.path(), fs::perms(0755));
    HelperServerOptions options;
    options.exitWhenIdle = 300ms;
    ServedHelper helper(socket, options, 0666);
    std::vector<platform::Fd> idle;
    for (size_t i = 0; i < options.maxClientsPerUser; ++i) {
        idle.push_back(connectTo(socket));
        ASSERT_TRUE(pingAnswered(idle.back().get())) << i;
    }
    platform::Fd oneTooMany = connectTo(socket);
    const auto refused = readFrame(oneTooMany.get(), kHelperReplyLimit, monotonicMs() + 30'000);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), FrameFault::closed);

    // Another user, in a child process of its own: served while root's connections stay.
    const std::string ping = framed(kPing);
    const pid_t child = ::fork();
    if (child == 0) {
        // Only calls that are safe after fork in a threaded process.
        if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0)
            ::_exit(2);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{.sun_family = AF_UNIX};
        socket.copy(address.sun_path, sizeof address.sun_path - 1);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) ::_exit(3);
        if (::write(fd, ping.data(), ping.size()) != static_cast<ssize_t>(ping.size())) ::_exit(4);
        pollfd entry{fd, POLLIN, 0};
        char reply[256];
        if (::poll(&entry, 1, 30'000) != 1 || ::read(fd, reply, sizeof reply) <= 4) ::_exit(5);
        ::_exit(0);
    }
    ASSERT_GT(child, 0);
    int status = -1;
    ASSERT_TRUE(eventually([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 60s));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other user was not served: " << status;
}

// Walks through a host whose calls for one folder wait, as on a file system that stopped
// answering. Walks left behind keep their host until they end: it lives on.
struct StuckFolder {
    static Gate& gate() {
        static Gate gate;
        return gate;
    }
    static FakeHost& host() {
        static FakeHost host;
        host.onCall = [](std::string_view, const std::string& name) {
            if (name == "inside") gate().pass();
        };
        return host;
    }
};

TEST_F(HelperLoad, AWalkStuckInTheKernelNeverKeepsAnotherWaiting) {
    fs::create_directories(folder.path() + "/stuck/inside");
    const std::string small = manyFiles("small", 3);
    Gate& gate = StuckFolder::gate();
    gate.close();
    const Gate::OpensAtExit release{gate};
    ServedHelper helper(socket, {.exitWhenIdle = 300ms, .scanHost = &StuckFolder::host()});
    std::atomic<bool> stuckAnswered{false};
    std::thread stuck([&] {
        (void)newClient(log)->walkSubtree(folder.path() + "/stuck");
        stuckAnswered = true;
    });
    ASSERT_TRUE(eventually([&] { return gate.waiting() > 0; }));
    CapturedPrivilegedScanLog own;
    const auto walk = newClient(own)->walkSubtree(small);
    ASSERT_TRUE(walk.tree);
    EXPECT_EQ(walk.tree->fileCount(), 3);
    EXPECT_FALSE(stuckAnswered.load()) << "the other walk was answered only once the stuck one ended";
    gate.open();
    stuck.join();
}

TEST_F(HelperLoad, AWalkStuckPastItsLimitIsLeftBehindAndDeclined) {
    fs::create_directories(folder.path() + "/stuck/inside");
    const std::string small = manyFiles("small", 3);
    Gate& gate = StuckFolder::gate();
    gate.close();
    const Gate::OpensAtExit release{gate};
    ServedHelper helper(socket, {.exitWhenIdle = 300ms,
                                 .walkLimit = 300ms,
                                 .maxWalksLeftBehind = 1,
                                 .scanHost = &StuckFolder::host()});
    EXPECT_FALSE(newClient(log)->walkSubtree(folder.path() + "/stuck").hasTree());
    EXPECT_EQ(log.lines(), (std::vector<LogLine>{{LogLevel::notice, "Helper declined " + folder.path() +
                                                                        "/stuck: The folder did not answer "
                                                                        "within 0.3 seconds."}}));
    // While as many walks as allowed are stuck, no new walk starts.
    CapturedPrivilegedScanLog refusedLog;
    const auto refused = newClient(refusedLog);
    EXPECT_FALSE(refused->walkSubtree(small).hasTree());
    EXPECT_EQ(refusedLog.lines(),
              (std::vector<LogLine>{{LogLevel::notice, "Helper declined " + small +
                                                           ": The helper is waiting for folders that do not "
                                                           "answer; try again later."}}));
    // Once the file system answers, the walk left behind ends on its own and walks go on.
    gate.open();
    EXPECT_TRUE(eventually([&] { return refused->walkSubtree(small).hasTree(); }));
}

} // namespace
} // namespace quillmere::testing
