// The client against the misbehaving double: what each walk yields, what it logs and at
// which level, and whether the connection is reused, dropped or made anew.
#include "access/PrivilegedScanClient.hpp"

#include "support/Eventually.hpp"
#include "support/HelperProcess.hpp"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace quillmere::testing {
namespace {

constexpr const char* kAsked = "/srv/denied/box";

class ClientTest : public ::testing::Test {
protected:
    ClientTest() { service.setRawStatus(PrivilegedScanStatus::kEnabled); }

    void startDouble(const std::string& mode, int delayMs = 0) {
        helper.reset();
        helper = std::make_unique<HelperProcess>(
            std::vector<std::string>{misbehavingProgram(), socket, mode, std::to_string(delayMs)});
        ASSERT_TRUE(helper->awaitReady());
    }

    // The double in `mode` for a client of its own that has made no connection yet.
    void restartDouble(const std::string& mode) {
        startDouble(mode);
        client_.reset();
        for (const char* record : {".connections", ".requests", ".answers"})
            std::filesystem::remove(socket + record);
    }

    PrivilegedScanClient& client(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        if (!client_) client_.emplace(service, log, PrivilegedScanClient::Options{socket, ::getuid(), limit});
        return *client_;
    }

    // What the double has done so far: connections accepted, requests read, answers ended.
    int connections() const { return linesOf(".connections"); }
    int requests() const { return linesOf(".requests"); }
    int answers() const { return linesOf(".answers"); }
    int linesOf(const std::string& suffix) const {
        std::ifstream in(socket + suffix);
        int count = 0;
        for (std::string line; std::getline(in, line);)
            ++count;
        return count;
    }

    std::vector<LogLine> lines() const { return log.lines(); }
    static LogLine failure(const std::string& text) {
        return {LogLevel::error, "Privileged helper connection failed: " + text};
    }

    TemporaryFolder folder;
    std::string socket = folder.path() + "/helper.sock";
    FakeHelperServiceManager service;
    CapturedPrivilegedScanLog log{true};
    std::unique_ptr<HelperProcess> helper;
    std::optional<PrivilegedScanClient> client_;
};

TEST_F(ClientTest, OnlyAnEnabledHelperIsAskedAndTheGateNeitherConnectsNorLogs) {
    startDouble("good");
    for (int64_t status : {0, 2, 3, 4}) {
        service.setRawStatus(status);
        const auto walk = client().walkSubtree(kAsked);
        EXPECT_FALSE(walk.hasTree()) << status;
        EXPECT_FALSE(walk.timedOut) << status;
    }
    EXPECT_EQ(connections(), 0);
    EXPECT_TRUE(lines().empty());

    service.setRawStatus(1);
    const auto walk = client().walkSubtree(kAsked);
    ASSERT_TRUE(walk.tree);
    EXPECT_EQ(walk.tree->path(), kAsked);
    EXPECT_EQ(walk.tree->children()[0].allocatedSize(), 4096);
    EXPECT_TRUE(lines().empty());
}

TEST_F(ClientTest, ADeclineIsLoggedPubliclyAndWinsOverData) {
    for (const auto& [mode, text] :
         {std::pair{"decline", "Not today."}, {"dataAndError", "Refused anyway."}}) {
        startDouble(mode);
        CapturedPrivilegedScanLog privateLog(false);
        PrivilegedScanClient quiet(service, privateLog, {socket, ::getuid(), std::chrono::seconds(20)});
        EXPECT_FALSE(quiet.walkSubtree(kAsked).tree);
        EXPECT_EQ(privateLog.lines(),
                  (std::vector<LogLine>{
                      {LogLevel::notice, std::string("Helper declined ") + kAsked + ": " + text}}));
    }
}

// Records that do not decode, that are not the folder asked for, whose totals do not add up
// or whose folders hold one name twice: nothing, nothing logged, and the connection goes on.
TEST_F(ClientTest, RepliesThatDoNotAddUpYieldNothingSilentlyOnTheSameConnection) {
    for (const char* mode : {"undecodable", "neither", "wrongRoot", "hugeSizes", "sameNames"}) {
        restartDouble(mode);
        EXPECT_FALSE(client().walkSubtree(kAsked).hasTree()) << mode;
        EXPECT_FALSE(client().walkSubtree(kAsked).hasTree()) << mode;
        EXPECT_EQ(connections(), 1) << mode;
    }
    EXPECT_TRUE(lines().empty());
}

// A size no volume holds: refused when the volume the folder lies on can be read.
TEST_F(ClientTest, ASizeBeyondTheFoldersVolumeIsRefused) {
    startDouble("maxSize");
    const std::string existing = folder.path();
    EXPECT_FALSE(client().walkSubtree(existing).hasTree());
    EXPECT_TRUE(client().walkSubtree(kAsked).hasTree()) << "without a volume to read, no size is refused";
    EXPECT_TRUE(lines().empty());
}

// The helper gives up on a record it had begun: a decline, logged as one.
TEST_F(ClientTest, AHelperThatGivesUpMidRecordDeclines) {
    startDouble("giveUp");
    EXPECT_FALSE(client().walkSubtree(kAsked).hasTree());
    EXPECT_EQ(lines(), (std::vector<LogLine>{
                           {LogLevel::notice, std::string("Helper declined ") + kAsked + ": Too much."}}));
    EXPECT_FALSE(client().walkSubtree(kAsked).hasTree());
    EXPECT_EQ(connections(), 1);
}

TEST_F(ClientTest, BrokenFramesEndTheConnectionWithTheirSentence) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"garbage", "The helper sent a malformed message."},
        {"hugeHeader", "The helper sent a malformed message."},
        {"closeMidReply", "The connection to the helper was interrupted."},
    };
    for (const auto& [mode, text] : cases) {
        restartDouble(mode);
        const auto walk = client().walkSubtree(kAsked);
        EXPECT_FALSE(walk.hasTree()) << mode;
        EXPECT_FALSE(walk.timedOut) << mode;
        EXPECT_EQ(lines().back(), failure(text)) << mode;
        client().walkSubtree(kAsked);
        EXPECT_EQ(connections(), 2) << mode << ": the broken connection is not reused";
    }
}

TEST_F(ClientTest, ConnectionFailuresAreRedactedUnlessPrivateDataIsShown) {
    CapturedPrivilegedScanLog privateLog(false);
    PrivilegedScanClient quiet(service, privateLog, {socket, ::getuid(), std::chrono::seconds(20)});
    EXPECT_FALSE(quiet.walkSubtree(kAsked).tree);
    EXPECT_EQ(privateLog.lines(), (std::vector<LogLine>{failure("<private>")}));
}

TEST_F(ClientTest, AHelperThatDiesMidReplyLeavesTheFolderDeniedAndTheNextWalkReconnects) {
    startDouble("dieMidReply");
    EXPECT_FALSE(client().walkSubtree(kAsked).tree);
    EXPECT_EQ(lines().back(), failure("The connection to the helper was interrupted."));
    startDouble("good");
    EXPECT_TRUE(client().walkSubtree(kAsked).tree);
    EXPECT_EQ(lines().size(), 1u);
}

TEST_F(ClientTest, AHelperThatExitedBetweenWalksNeverFailsTheNext) {
    startDouble("dieAfterReply");
    EXPECT_TRUE(client().walkSubtree(kAsked).tree);
    ASSERT_TRUE(helper->awaitExit(std::chrono::seconds(5)));
    startDouble("good");
    EXPECT_TRUE(client().walkSubtree(kAsked).tree);
    EXPECT_TRUE(lines().empty());
}

// A frame that answers no waiting walk breaks the protocol: the walk waiting then ends at once
// (no time limit waited out), and the next walk connects anew.
TEST_F(ClientTest, AStrangersIdOrASecondReplyEndsTheConnectionAtOnce) {
    restartDouble("unknownId");
    const auto stranger = client(std::chrono::seconds(120)).walkSubtree(kAsked);
    EXPECT_FALSE(stranger.hasTree());
    EXPECT_FALSE(stranger.timedOut);
    EXPECT_EQ(lines().back(), failure("The helper sent a malformed message."));

    // The double follows every reply with a second one, which reaches either the idle
    // connection or the next walk: either way that connection is over, never waited out, and
    // walks go on on new ones.
    restartDouble("secondReply");
    const auto first = client().walkSubtree(kAsked);
    ASSERT_TRUE(first.tree);
    EXPECT_EQ(first.tree->path(), kAsked);
    int answered = 0;
    for (int i = 0; i < 6; ++i) {
        const auto walk = client().walkSubtree(kAsked);
        EXPECT_FALSE(walk.timedOut);
        answered += walk.hasTree() ? 1 : 0;
    }
    EXPECT_GE(answered, 3);
    EXPECT_GE(connections(), 4);
}

TEST_F(ClientTest, AWalkThatRunsOutOfTimeYieldsNothingAndItsLateReplyIsIgnored) {
    startDouble("late", 900);
    const auto walk = client(std::chrono::milliseconds(300)).walkSubtree(kAsked);
    EXPECT_FALSE(walk.tree);
    EXPECT_TRUE(walk.timedOut);
    EXPECT_EQ(lines(), (std::vector<LogLine>{failure("The helper did not answer within 0.3 seconds.")}));
    // The late reply went to a connection that was dropped; a new one is made.
    ASSERT_TRUE(eventually([&] { return answers() == 1; }));
    startDouble("good");
    EXPECT_TRUE(client().walkSubtree(kAsked).tree);
}

TEST_F(ClientTest, UnregisteringMidWalkEndsTheWalkWithNothing) {
    startDouble("hang");
    std::optional<PrivilegedWalk> walk;
    PrivilegedScanClient& shared = client();
    std::thread walker([&] { walk = shared.walkSubtree(kAsked); });
    // The double holds the request unanswered: the walk is waiting for its reply.
    EXPECT_TRUE(eventually([&] { return requests() == 1; }));
    EXPECT_EQ(client().unregisterHelper(), PrivilegedScanStatus::off());
    walker.join();
    ASSERT_TRUE(walk);
    EXPECT_FALSE(walk->hasTree());
    EXPECT_FALSE(walk->timedOut);
    const auto logged = lines();
    EXPECT_NE(
        std::find(logged.begin(), logged.end(), failure("The connection to the helper was invalidated.")),
        logged.end());
}

TEST_F(ClientTest, NoSocketFailsUntilAHelperIsStarted) {
    EXPECT_FALSE(client().walkSubtree(kAsked).tree);
    EXPECT_EQ(lines(), (std::vector<LogLine>{failure("Couldn't connect to the helper at " + socket +
                                                     ": No such file or directory.")}));
    startDouble("good");
    EXPECT_TRUE(client().walkSubtree(kAsked).tree);
}

TEST_F(ClientTest, OnlyAHelperRunByTheExpectedUserIsHeardAlsoThroughASymlink) {
    startDouble("good");
    const uid_t other = ::getuid() + 1;
    const std::string link = folder.path() + "/link.sock";
    std::filesystem::create_symlink(socket, link);

    PrivilegedScanClient impostorCheck(service, log, {link, other, std::chrono::seconds(20)});
    EXPECT_FALSE(impostorCheck.walkSubtree(kAsked).tree);
    EXPECT_EQ(lines().back(),
              failure("The helper at " + link + " is not run by user " + std::to_string(other) + "."));

    PrivilegedScanClient trusting(service, log, {link, ::getuid(), std::chrono::seconds(20)});
    EXPECT_TRUE(trusting.walkSubtree(kAsked).tree);
}

TEST_F(ClientTest, APathThatIsNotUtf8IsNeverSent) {
    startDouble("good");
    EXPECT_FALSE(client().walkSubtree("/srv/bad\xff").tree);
    EXPECT_EQ(lines(), (std::vector<LogLine>{
                           failure("The path is not valid UTF-8, so it can't be sent to the helper.")}));
    EXPECT_EQ(connections(), 0);
}

TEST_F(ClientTest, RegisteringAndUnregisteringWithTheFakeServiceManager) {
    service.setRawStatus(0);
    EXPECT_EQ(client().registerHelper(), PrivilegedScanStatus::on());
    EXPECT_EQ(lines(), (std::vector<LogLine>{
                           {LogLevel::notice, "Registered privileged helper; status is now enabled"}}));

    service.setRegisterResult(std::unexpected(ServiceManagerError{12, "Already registered."}));
    service.setRawStatus(2);
    EXPECT_EQ(client().registerHelper(), PrivilegedScanStatus::awaitingApproval());
    EXPECT_EQ(lines().size(), 1u);

    service.setRegisterResult(std::unexpected(ServiceManagerError{1, "boom"}));
    EXPECT_EQ(client().registerHelper(), PrivilegedScanStatus::failed("boom"));
    EXPECT_EQ(lines().back(), (LogLine{LogLevel::error, "Registering privileged helper failed: boom"}));

    EXPECT_EQ(client().unregisterHelper(), PrivilegedScanStatus::off());
    EXPECT_EQ(lines().back(), (LogLine{LogLevel::notice, "Unregistered privileged helper"}));

    // Unregistering gives code 12 no special meaning.
    service.setUnregisterResult(std::unexpected(ServiceManagerError{12, "Already gone."}));
    EXPECT_EQ(client().unregisterHelper(), PrivilegedScanStatus::failed("Already gone."));
    EXPECT_EQ(lines().back(),
              (LogLine{LogLevel::error, "Unregistering privileged helper failed: Already gone."}));

    service.setRawStatus(7);
    EXPECT_EQ(client().status(), PrivilegedScanStatus::failed("Unrecognized helper status."));
}

TEST_F(ClientTest, ManyWalksAgainstRandomMisbehaviourWhileAnotherThreadUnregistersEachEndOnce) {
    startDouble("random");
    client(std::chrono::seconds(20));
    std::atomic<bool> walking{true};
    std::atomic<int> finished{0};
    std::thread unregistering([&] {
        while (walking.load()) {
            client().unregisterHelper();
            service.setRawStatus(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const auto walkMany = [&] {
        for (int i = 0; i < 250; ++i) {
            const auto walk = client().walkSubtree(kAsked);
            if (walk.tree) {
                EXPECT_EQ(walk.tree->path(), kAsked);
            }
            EXPECT_FALSE(walk.timedOut);
            finished.fetch_add(1);
        }
    };
    std::thread second(walkMany);
    walkMany();
    second.join();
    walking = false;
    unregistering.join();
    EXPECT_EQ(finished.load(), 500);
    // Every failure logged is one of the sentences the client knows.
    for (const LogLine& line : lines()) {
        if (line.level != LogLevel::error) continue;
        EXPECT_TRUE(line.text.starts_with("Privileged helper connection failed: The ")) << line.text;
    }
}

} // namespace
} // namespace quillmere::testing
