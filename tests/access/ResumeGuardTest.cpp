// The guard that gives a walk exactly one answer: the reply, a connection error and the
// time limit race for it from different threads, and only the first counts.
#include "access/ResumeGuard.hpp"

#include <array>
#include <atomic>
#include <barrier>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace quillmere {
namespace {

using Clock = std::chrono::steady_clock;
enum Party { reply = 1, connectionError = 2, timeLimit = 3 };

TEST(ResumeGuardTest, ReplyErrorAndTimeLimitRacingFromThreadsHaveExactlyOneWinnerEveryTime) {
    constexpr int kRounds = 10'000;
    std::barrier rounds(3);
    std::shared_ptr<ResumeGuard<int>> guard;
    std::array<bool, 2> won{};
    const auto claimant = [&](int index, Party party) {
        for (int round = 0; round < kRounds; ++round) {
            rounds.arrive_and_wait(); // the guard of this round is in place
            // In some rounds the parties dawdle, so that the time limit gets to be first too.
            const auto until = Clock::now() + std::chrono::microseconds(round % 4 * 30);
            while (Clock::now() < until) {
            }
            won[index] = guard->claim(party);
            rounds.arrive_and_wait(); // the round is over
        }
    };
    std::thread replying(claimant, 0, reply);
    std::thread failing(claimant, 1, connectionError);

    std::array<int, 4> wins{};
    int faultyRounds = 0;
    for (int round = 0; round < kRounds; ++round) {
        guard = std::make_shared<ResumeGuard<int>>();
        rounds.arrive_and_wait();
        // A deadline already past, at once, or a little later, so each party gets to be first.
        const auto deadline = Clock::now() + std::chrono::microseconds(round % 3 * 20 - 20);
        const int answer = guard->await(deadline, timeLimit);
        rounds.arrive_and_wait();

        const int winners = won[0] + won[1] + (answer == timeLimit);
        const int winner = won[0] ? reply : won[1] ? connectionError : timeLimit;
        // Too late: nothing changes, for the waiter or anyone asking again.
        const bool lateClaimIgnored = !guard->claim(connectionError) && !guard->claim(reply) &&
                                      guard->await(Clock::now() + std::chrono::hours(1), timeLimit) == answer;
        if ((winners != 1 || answer != winner || !lateClaimIgnored) && ++faultyRounds <= 5) {
            ADD_FAILURE() << "round " << round << ": reply won " << won[0] << ", error won " << won[1]
                          << ", the waiter got " << answer << ", a late claim ignored " << lateClaimIgnored;
        }
        ++wins[static_cast<std::size_t>(answer)];
    }
    replying.join();
    failing.join();
    EXPECT_EQ(faultyRounds, 0);
    // Each party was first now and then, or the race was not run.
    EXPECT_GT(wins[reply], 0);
    EXPECT_GT(wins[connectionError], 0);
    EXPECT_GT(wins[timeLimit], 0);
    ::testing::Test::RecordProperty("replyWins", wins[reply]);
    ::testing::Test::RecordProperty("connectionErrorWins", wins[connectionError]);
    ::testing::Test::RecordProperty("timeLimitWins", wins[timeLimit]);
}

TEST(ResumeGuardTest, AClaimFromAnotherThreadWakesAWaiterWhoseLimitIsFarOff) {
    ResumeGuard<int> guard;
    std::thread unregistering([&] { EXPECT_TRUE(guard.claim(connectionError)); });
    EXPECT_EQ(guard.await(Clock::now() + std::chrono::hours(1), timeLimit), connectionError);
    unregistering.join();
    EXPECT_TRUE(guard.isClaimed());
}

} // namespace
} // namespace quillmere
