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
using namespace std::chrono_literals;
enum Party { reply = 1, connectionError = 2, timeLimit = 3 };

// When each party acts in a round, from the moment the round starts: both claims at once
// (where a guard without its lock lets both win), one before the other, or both after a time
// limit that has already passed.
struct RoundPlan {
    std::chrono::microseconds reply, connectionError, timeLimit;
};
constexpr std::array<RoundPlan, 4> kPlans{
    {{0us, 0us, 30us}, {0us, 10us, 5us}, {10us, 0us, 5us}, {30us, 30us, -1ms}}};

TEST(ResumeGuardTest, ReplyErrorAndTimeLimitRacingFromThreadsHaveExactlyOneWinnerEveryTime) {
    // The rounds end when enough have run, or once the time is spent and every party has won
    // at least once: a busy machine runs fewer of them rather than running out of time.
    constexpr int kRounds = 20'000;
    constexpr auto kTimeSpent = std::chrono::seconds(10);
    std::barrier rounds(3);
    std::shared_ptr<ResumeGuard<int>> guard;
    Clock::time_point start;
    RoundPlan plan{};
    bool over = false;
    std::array<bool, 2> won{};
    const auto claimant = [&](int index, Party party) {
        for (;;) {
            rounds.arrive_and_wait(); // the guard and the plan of this round are in place
            if (over) return;
            const auto at = start + (party == reply ? plan.reply : plan.connectionError);
            while (Clock::now() < at) {
            }
            won[index] = guard->claim(party);
            rounds.arrive_and_wait(); // the round is over
        }
    };
    std::thread replying(claimant, 0, reply);
    std::thread failing(claimant, 1, connectionError);

    std::array<int, 4> wins{};
    int faultyRounds = 0;
    int round = 0;
    const auto spent = Clock::now() + kTimeSpent;
    const auto everyPartyWon = [&] {
        return wins[reply] > 0 && wins[connectionError] > 0 && wins[timeLimit] > 0;
    };
    for (; round < kRounds && (Clock::now() < spent || !everyPartyWon()); ++round) {
        guard = std::make_shared<ResumeGuard<int>>();
        plan = kPlans[static_cast<size_t>(round) % kPlans.size()];
        start = Clock::now();
        rounds.arrive_and_wait();
        const int answer = guard->await(start + plan.timeLimit, timeLimit);
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
    over = true;
    rounds.arrive_and_wait();
    replying.join();
    failing.join();
    EXPECT_EQ(faultyRounds, 0);
    // Each party was first now and then, or the race was not run.
    EXPECT_GT(wins[reply], 0);
    EXPECT_GT(wins[connectionError], 0);
    EXPECT_GT(wins[timeLimit], 0);
    ::testing::Test::RecordProperty("rounds", round);
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
