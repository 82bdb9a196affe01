// Runs in a program of its own: it ends the application object, which a shared test program
// cannot do and go on.

#include "applications/state/ApplicationsState.hpp"

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace quillmere {
namespace {

// One application is found; its attribution waits at a gate the test opens while the
// application object is already ending.
class GatedServices : public ApplicationServices {
public:
    std::vector<std::string> applicationFolders(const std::string&) const override {
        return {"/Applications"};
    }
    std::string library() const override { return "/fixture-root/Library"; }
    void discover(std::vector<std::string>, std::function<void(InstalledApp)> onApp,
                  std::function<void()> onFinished, std::shared_ptr<ScanCancellation>) override {
        std::thread([onApp = std::move(onApp), onFinished = std::move(onFinished)] {
            onApp({.name = "Tool", .path = "/Applications/Tool.app", .allocatedSize = 1000});
            onFinished();
        }).detach();
    }
    InstalledApp read(const std::string& path) override { return {.name = "Tool", .path = path}; }
    std::vector<LeftoverCandidate> candidates(const InstalledApp&, const std::string&,
                                              const std::string&) override {
        {
            std::unique_lock lock(mutex_);
            waiting_ = true;
            gate_.wait(lock, [&] { return open_; });
        }
        applicationAliveWhenDone = QCoreApplication::instance() != nullptr;
        return {};
    }
    std::vector<LeftoverItem> size(std::vector<LeftoverCandidate>) override { return {}; }
    std::vector<LeftoverItem> markShared(std::vector<LeftoverItem> items, const InstalledApp&,
                                         const std::vector<InstalledApp>&, const std::string&,
                                         const std::string&) override {
        return items;
    }
    std::vector<OrphanLeftoverGroup> findGroups(const std::string&, const std::string&,
                                                const std::vector<InstalledApp>&) override {
        return {};
    }

    bool isWaiting() {
        std::lock_guard lock(mutex_);
        return waiting_;
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        gate_.notify_all();
    }

    std::atomic<bool> applicationAliveWhenDone = false;

private:
    std::mutex mutex_;
    std::condition_variable gate_;
    bool waiting_ = false, open_ = false;
};

GatedServices* gated = nullptr;

// A worker still inside its post to the main thread when the application object ends would
// wake an event dispatcher that is already gone.
TEST(ApplicationsWorkAtExit, WorkStillRunningWhenTheApplicationEndsIsAwaitedBeforeItsTeardown) {
    int argc = 1;
    char name[] = "work-at-exit";
    char* argv[] = {name, nullptr};
    auto application = std::make_unique<QCoreApplication>(argc, argv);
    const auto services = std::make_shared<GatedServices>();
    gated = services.get();
    {
        ApplicationsState state(services, {}, "/nonexistent-home/someone");
        state.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return services->isWaiting(); }, 30000));
    }
    // Added after the workers' own, so the application runs it first: the gate opens only once
    // the teardown has begun.
    qAddPostRoutine([] { gated->open(); });
    application.reset();
    EXPECT_TRUE(services->applicationAliveWhenDone);
}

} // namespace
} // namespace quillmere
