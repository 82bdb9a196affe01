#pragma once

#include <chrono>
#include <cstdint>
#include <expected>
#include <mutex>
#include <string>
#include <vector>

namespace quillmere {

// A service manager's refusal: its code and the sentence shown to the user.
struct ServiceManagerError {
    int code = 0;
    std::string description;

    bool operator==(const ServiceManagerError&) const = default;
};

// The service manager's "already registered" code.
inline constexpr int kServiceAlreadyRegistered = 12;

// Registers the privileged helper with the system's service manager and reads its state.
class HelperServiceManager {
public:
    virtual ~HelperServiceManager() = default;
    // 0 not registered, 1 enabled, 2 requires approval, 3 not found, 4 and above unknown.
    virtual int64_t rawStatus() = 0;
    virtual std::expected<void, ServiceManagerError> registerService() = 0;
    // May block; call it off the main thread.
    virtual std::expected<void, ServiceManagerError> unregisterService() = 0;
    // Shows the user how an administrator approves the helper.
    virtual void openApproval() = 0;
};

// The raw status described as text: "notRegistered", "enabled", "requiresApproval",
// "notFound", or the number.
std::string serviceStatusText(int64_t rawStatus);

// A service manager held in memory, for tests and for builds without systemd.
class FakeHelperServiceManager final : public HelperServiceManager {
public:
    int64_t rawStatus() override;
    std::expected<void, ServiceManagerError> registerService() override;
    std::expected<void, ServiceManagerError> unregisterService() override;
    void openApproval() override;

    void setRawStatus(int64_t status);
    // What register and unregister answer next; on success the status moves to
    // `statusAfterRegister` or to 0.
    void setRegisterResult(std::expected<void, ServiceManagerError> result, int64_t statusAfterRegister = 1);
    void setUnregisterResult(std::expected<void, ServiceManagerError> result);
    int approvalsOpened() const;

private:
    mutable std::mutex mutex_;
    int64_t status_ = 0;
    int64_t statusAfterRegister_ = 1;
    std::expected<void, ServiceManagerError> registerResult_;
    std::expected<void, ServiceManagerError> unregisterResult_;
    int approvalsOpened_ = 0;
};

// systemd, through `systemctl` on the helper's socket unit.
class SystemctlServiceManager final : public HelperServiceManager {
public:
    struct Options {
        std::string systemctl = "systemctl";
        std::string socketUnit = "quillmere-helper.socket";
        std::string serviceUnit = "quillmere-helper.service";
        std::string group = "quillmere"; // who may connect besides root
        std::string approvalDocument;    // opened by openApproval
        std::chrono::milliseconds statusLimit{5000};
        std::chrono::milliseconds commandLimit{120'000};
    };
    explicit SystemctlServiceManager(Options options);

    int64_t rawStatus() override;
    std::expected<void, ServiceManagerError> registerService() override;
    std::expected<void, ServiceManagerError> unregisterService() override;
    void openApproval() override;

    // The raw status for is-enabled's word, before the group check.
    static int64_t statusForWord(const std::string& word);

private:
    std::expected<void, ServiceManagerError> run(std::vector<std::string> arguments);
    Options options_;
};

// The outcome of a child process run to its end or its time limit.
struct ChildRun {
    bool started = false;
    bool timedOut = false;
    int exitStatus = -1; // -1 when it did not exit normally
    std::string output;  // standard output and error together
};

// Runs `argv` (found on PATH) with no input, waiting at most `limit`; a child that outlives
// it is killed and reaped.
ChildRun runChild(const std::vector<std::string>& argv, std::chrono::milliseconds limit);

} // namespace quillmere
