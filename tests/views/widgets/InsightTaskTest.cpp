#include "views/widgets/InsightTask.hpp"

#include "views/widgets/WaitUntil.hpp"

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace quillmere {
namespace {

using Task = InsightTask<std::string, int>;

// Lets every computation end and every posted result reach the main thread.
void drain() {
    insightPool().waitForDone();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

TEST(InsightTask, ALateResultForASupersededKeyIsDropped) {
    std::vector<int> delivered;
    Task task([&](int value) { delivered.push_back(value); });
    std::promise<void> releaseFirst;
    auto gate = releaseFirst.get_future().share();
    ASSERT_TRUE(task.request("a", [gate](const std::atomic<bool>*) {
        gate.wait();
        return 1;
    }));
    ASSERT_TRUE(task.request("b", [](const std::atomic<bool>*) { return 2; }));
    ASSERT_TRUE(waitUntil([&] { return !delivered.empty(); }));
    releaseFirst.set_value();
    drain();
    EXPECT_EQ(delivered, std::vector<int>{2});
    EXPECT_EQ(task.startedCount(), 2);
    EXPECT_EQ(task.deliveredCount(), 1);
}

TEST(InsightTask, AnUnchangedKeyStartsNothingAndAChangedOneStartsAgain) {
    std::vector<int> delivered;
    Task task([&](int value) { delivered.push_back(value); });
    EXPECT_TRUE(task.request("a", [](const std::atomic<bool>*) { return 1; }));
    EXPECT_FALSE(task.request("a", [](const std::atomic<bool>*) { return 9; }));
    drain();
    EXPECT_EQ(delivered, std::vector<int>{1});
    EXPECT_TRUE(task.request("b", [](const std::atomic<bool>*) { return 2; }));
    EXPECT_TRUE(task.request("a", [](const std::atomic<bool>*) { return 3; }));
    drain();
    EXPECT_EQ(delivered, (std::vector<int>{1, 3}));
    EXPECT_EQ(task.currentKey(), "a");
}

TEST(InsightTask, AResultAfterTheOwnerIsGoneIsDroppedAndAThrowingComputationEnds) {
    int delivered = 0;
    std::promise<void> release;
    auto gate = release.get_future().share();
    auto task = std::make_unique<Task>([&](int) { ++delivered; });
    task->request("a", [gate](const std::atomic<bool>*) {
        gate.wait();
        return 1;
    });
    task.reset();
    release.set_value();
    drain();
    EXPECT_EQ(delivered, 0);

    Task throwing([&](int) { ++delivered; });
    throwing.request("a", [](const std::atomic<bool>*) -> int { throw std::runtime_error("broken tree"); });
    drain();
    EXPECT_EQ(delivered, 0);
    throwing.request("b", [](const std::atomic<bool>*) { return 2; });
    drain();
    EXPECT_EQ(delivered, 1);
}

// Going through folders faster than they are computed, or leaving the screen, queues nothing
// that still runs: only the latest computation starts once the pool is free again.
TEST(InsightTask, ComputationsNoLongerWantedNeverStart) {
    std::promise<void> release;
    auto gate = release.get_future().share();
    const int threads = insightPool().maxThreadCount();
    std::atomic<int> busy = 0;
    for (int i = 0; i < threads; ++i)
        insightPool().start([gate, &busy] {
            ++busy;
            gate.wait();
        });
    ASSERT_TRUE(waitUntil([&] { return busy.load() == threads; }));

    std::atomic<int> ran = 0;
    std::vector<int> delivered;
    Task task([&](int value) { delivered.push_back(value); });
    for (int i = 0; i < 100; ++i)
        task.request(std::to_string(i), [&ran, i](const std::atomic<bool>*) {
            ++ran;
            return i;
        });
    auto gone = std::make_unique<Task>([&](int value) { delivered.push_back(value); });
    gone->request("gone", [&ran](const std::atomic<bool>*) {
        ++ran;
        return -1;
    });
    gone.reset();
    release.set_value();
    drain();
    EXPECT_EQ(ran.load(), 1);
    EXPECT_EQ(delivered, std::vector<int>{99});
}

// A computation already running is told to stop when its key is replaced; whatever it then
// returns is never shown, even once its key has come back.
TEST(InsightTask, ARunningComputationIsToldToStopAndItsResultIsNeverShown) {
    std::vector<int> delivered;
    Task task([&](int value) { delivered.push_back(value); });
    std::promise<void> started;
    auto running = started.get_future();
    std::atomic<bool> sawCancel = false;
    task.request("a", [&](const std::atomic<bool>* cancelled) {
        started.set_value();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!cancelled->load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        sawCancel = cancelled->load();
        return 1;
    });
    ASSERT_EQ(running.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    task.request("b", [](const std::atomic<bool>*) { return 2; });
    task.request("a", [](const std::atomic<bool>*) { return 3; });
    drain();
    EXPECT_TRUE(sawCancel.load());
    EXPECT_EQ(delivered, std::vector<int>{3});
}

} // namespace
} // namespace quillmere
