#include "app/access/PrivilegedScanController.hpp"

#include "access/HelperServiceManager.hpp"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

// A service manager whose unregistration waits until the test lets it go, and counts calls.
class GatedServiceManager final : public HelperServiceManager {
public:
    int64_t rawStatus() override { return fake.rawStatus(); }
    std::expected<void, ServiceManagerError> registerService() override {
        ++registrations;
        return fake.registerService();
    }
    std::expected<void, ServiceManagerError> unregisterService() override {
        ++unregistrations;
        std::unique_lock lock(mutex);
        released.wait(lock, [this] { return open; });
        return fake.unregisterService();
    }
    void openApproval() override { fake.openApproval(); }
    void release() {
        std::lock_guard lock(mutex);
        open = true;
        released.notify_all();
    }

    FakeHelperServiceManager fake;
    std::atomic<int> registrations = 0;
    std::atomic<int> unregistrations = 0;
    std::mutex mutex;
    std::condition_variable released;
    bool open = false;
};

struct Switch {
    GatedServiceManager service;
    CapturedPrivilegedScanLog log;
    std::unique_ptr<PrivilegedScanController> controller;

    explicit Switch(int64_t raw) {
        service.fake.setRawStatus(raw);
        controller = std::make_unique<PrivilegedScanController>(std::make_shared<PrivilegedScanClient>(
            service, log, PrivilegedScanClient::Options{"/nonexistent"}));
    }
};

TEST(PrivilegedScanController, TwoQuickTurnOffsUnregisterOnce) {
    Switch on(PrivilegedScanStatus::kEnabled);
    QSignalSpy busy(on.controller.get(), &PrivilegedScanController::isBusyChanged);
    QSignalSpy finished(on.controller.get(), &PrivilegedScanController::turnOffFinished);
    EXPECT_TRUE(on.controller->turnOff());
    EXPECT_FALSE(on.controller->turnOff());
    on.controller->turnOn(); // also ignored while busy
    EXPECT_TRUE(on.controller->isBusy());
    on.service.release();
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(on.service.unregistrations, 1);
    EXPECT_EQ(on.service.registrations, 0);
    EXPECT_EQ(on.controller->status(), PrivilegedScanStatus::off());
    EXPECT_FALSE(on.controller->isBusy());
    EXPECT_EQ(busy.count(), 2);
}

TEST(PrivilegedScanController, ApprovalOpensOnlyForARegistrationAwaitingIt) {
    Switch off(PrivilegedScanStatus::kNotRegistered);
    off.service.fake.setRegisterResult({}, PrivilegedScanStatus::kRequiresApproval);
    off.controller->turnOn();
    EXPECT_EQ(off.controller->status(), PrivilegedScanStatus::awaitingApproval());
    EXPECT_EQ(off.service.fake.approvalsOpened(), 1);

    Switch other(PrivilegedScanStatus::kNotRegistered);
    other.service.fake.setRegisterResult({}, PrivilegedScanStatus::kEnabled);
    other.controller->turnOn();
    EXPECT_EQ(other.controller->status(), PrivilegedScanStatus::on());
    EXPECT_EQ(other.service.fake.approvalsOpened(), 0);
    EXPECT_FALSE(other.controller->isBusy());
}

TEST(PrivilegedScanController, ReadingAnUnchangedStatusNotifiesNobody) {
    Switch on(PrivilegedScanStatus::kEnabled);
    QSignalSpy changed(on.controller.get(), &PrivilegedScanController::statusChanged);
    on.controller->reread();
    EXPECT_EQ(changed.count(), 0);
    on.service.fake.setRawStatus(PrivilegedScanStatus::kRequiresApproval);
    on.controller->reread();
    EXPECT_EQ(changed.count(), 1);
    on.controller->setStatus(PrivilegedScanStatus::failed("a"));
    on.controller->setStatus(PrivilegedScanStatus::failed("a"));
    on.controller->setStatus(PrivilegedScanStatus::failed("b"));
    EXPECT_EQ(changed.count(), 3);
}

TEST(PrivilegedScanController, AFailedRegistrationShowsItsMessageAndTryAgainRegistersAgain) {
    Switch off(PrivilegedScanStatus::kNotRegistered);
    off.service.fake.setRegisterResult(std::unexpected(ServiceManagerError{1, "boom"}));
    off.controller->turnOn();
    EXPECT_EQ(off.controller->status().kind(), PrivilegedScanStatus::Kind::failed);
    EXPECT_EQ(off.controller->status().message(), "boom");
    off.service.fake.setRegisterResult({}, PrivilegedScanStatus::kEnabled);
    off.controller->turnOn();
    EXPECT_EQ(off.service.registrations, 2);
    EXPECT_EQ(off.controller->status(), PrivilegedScanStatus::on());
}

TEST(PrivilegedScanController, ADeletedControllerDropsTheAnswerOfItsTurnOff) {
    Switch on(PrivilegedScanStatus::kEnabled);
    on.controller->turnOff();
    on.service.release();
    on.controller.reset(); // joins the worker; the queued answer goes with the controller
    QCoreApplication::processEvents();
    EXPECT_EQ(on.service.unregistrations, 1);
}

} // namespace
} // namespace quillmere
