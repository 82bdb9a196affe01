#include "access/HelperServiceManager.hpp"

#include "access/HelperWire.hpp"
#include "access/PrivilegedScanning.hpp"
#include "platform/Fd.hpp"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillmere {

using Status = PrivilegedScanStatus;
// Any status past the known ones: the service manager's answer could not be read.
constexpr int64_t kUnknownStatus = 4;

std::string serviceStatusText(int64_t rawStatus) {
    switch (rawStatus) {
    case Status::kNotRegistered:
        return "notRegistered";
    case Status::kEnabled:
        return "enabled";
    case Status::kRequiresApproval:
        return "requiresApproval";
    case Status::kNotFound:
        return "notFound";
    default:
        return std::to_string(rawStatus);
    }
}

int64_t FakeHelperServiceManager::rawStatus() {
    std::lock_guard lock(mutex_);
    return status_;
}

std::expected<void, ServiceManagerError> FakeHelperServiceManager::registerService() {
    std::lock_guard lock(mutex_);
    if (registerResult_) status_ = statusAfterRegister_;
    return registerResult_;
}

std::expected<void, ServiceManagerError> FakeHelperServiceManager::unregisterService() {
    std::lock_guard lock(mutex_);
    if (unregisterResult_) status_ = Status::kNotRegistered;
    return unregisterResult_;
}

void FakeHelperServiceManager::openApproval() {
    std::lock_guard lock(mutex_);
    ++approvalsOpened_;
}

void FakeHelperServiceManager::setRawStatus(int64_t status) {
    std::lock_guard lock(mutex_);
    status_ = status;
}

void FakeHelperServiceManager::setRegisterResult(std::expected<void, ServiceManagerError> result,
                                                 int64_t statusAfterRegister) {
    std::lock_guard lock(mutex_);
    registerResult_ = std::move(result);
    statusAfterRegister_ = statusAfterRegister;
}

void FakeHelperServiceManager::setUnregisterResult(std::expected<void, ServiceManagerError> result) {
    std::lock_guard lock(mutex_);
    unregisterResult_ = std::move(result);
}

int FakeHelperServiceManager::approvalsOpened() const {
    std::lock_guard lock(mutex_);
    return approvalsOpened_;
}

ChildRun runChild(const std::vector<std::string>& argv, std::chrono::milliseconds limit) {
    ChildRun run;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return run;
    platform::Fd readEnd(pipeEnds[0]);
    platform::Fd writeEnd(pipeEnds[1]);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 1);
    ::posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 2);
    // A group of its own, so that a child that runs out of time goes with whatever it started.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<char*> args;
    for (const auto& argument : argv)
        args.push_back(const_cast<char*>(argument.c_str()));
    args.push_back(nullptr);
    pid_t child = -1;
    const int spawned = ::posix_spawnp(&child, args[0], &actions, &attributes, args.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    writeEnd.reset();
    if (spawned != 0) return run;
    run.started = true;

    // Output is kept up to a bound; only its last line matters.
    constexpr std::size_t kOutputLimit = 64 * 1024;
    const int64_t deadline = monotonicMs() + limit.count();
    std::array<char, 4096> chunk;
    for (;;) {
        const int64_t left = deadline - monotonicMs();
        if (left <= 0) {
            run.timedOut = true;
            break;
        }
        pollfd entry{readEnd.get(), POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        const ssize_t n = ::read(readEnd.get(), chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        run.output.append(chunk.data(), static_cast<std::size_t>(n));
        if (run.output.size() > kOutputLimit) run.output.erase(0, run.output.size() - kOutputLimit);
    }
    int status = 0;
    const auto killed = [&] {
        run.timedOut = true;
        ::kill(-child, SIGKILL);
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        return run;
    };
    if (run.timedOut) return killed();
    // The output closed: the child is ending. Wait for it within what is left of the limit.
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) return run;
        if (monotonicMs() >= deadline) return killed();
        ::usleep(2000);
    }
    if (WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
    return run;
}

namespace {
std::string lastLine(const std::string& output) {
    std::size_t end = output.find_last_not_of(" \t\r\n");
    if (end == std::string::npos) return {};
    const std::size_t start = output.rfind('\n', end);
    return output.substr(start == std::string::npos ? 0 : start + 1,
                         end - (start == std::string::npos ? 0 : start + 1) + 1);
}

bool userMayConnect(const std::string& groupName) {
    if (::geteuid() == 0) return true;
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(16 * 1024);
    if (::getgrnam_r(groupName.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr)
        return false;
    if (::getegid() == found->gr_gid) return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<std::size_t>(i)] == found->gr_gid) return true;
    return false;
}
} // namespace

SystemctlServiceManager::SystemctlServiceManager(Options options) : options_(std::move(options)) {}

int64_t SystemctlServiceManager::statusForWord(const std::string& word) {
    if (word == "enabled" || word == "enabled-runtime") return Status::kEnabled;
    if (word == "masked") return Status::kRequiresApproval;
    if (word == "disabled" || word == "linked") return Status::kNotRegistered;
    if (word == "not-found") return Status::kNotFound;
    return kUnknownStatus;
}

int64_t SystemctlServiceManager::rawStatus() {
    if (::access("/run/systemd/system", F_OK) != 0 && options_.systemctl == "systemctl")
        return Status::kNotFound;
    const ChildRun run =
        runChild({options_.systemctl, "is-enabled", options_.socketUnit}, options_.statusLimit);
    if (!run.started) return Status::kNotFound;
    if (run.timedOut) return kUnknownStatus;
    const std::string word = lastLine(run.output);
    // systemctl names a unit it does not know in a sentence rather than the word.
    if (word.find("No such file or directory") != std::string::npos ||
        word.find("not found") != std::string::npos)
        return Status::kNotFound;
    const int64_t status = statusForWord(word);
    if (status == Status::kEnabled && !userMayConnect(options_.group)) return Status::kRequiresApproval;
    return status;
}

std::expected<void, ServiceManagerError> SystemctlServiceManager::run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), options_.systemctl);
    const ChildRun child = runChild(arguments, options_.commandLimit);
    if (!child.started) return std::unexpected(ServiceManagerError{1, "systemctl could not be started."});
    if (child.timedOut)
        return std::unexpected(ServiceManagerError{1, "systemctl did not finish within 120 seconds."});
    if (child.exitStatus == 0) return {};
    std::string line = lastLine(child.output);
    if (line.empty()) line = "systemctl exited with status " + std::to_string(child.exitStatus) + ".";
    // Its own exit codes never pose as the service manager's "already registered".
    return std::unexpected(ServiceManagerError{1, line});
}

std::expected<void, ServiceManagerError> SystemctlServiceManager::registerService() {
    return run({"enable", "--now", options_.socketUnit});
}

std::expected<void, ServiceManagerError> SystemctlServiceManager::unregisterService() {
    return run({"disable", "--now", options_.socketUnit, options_.serviceUnit});
}

void SystemctlServiceManager::openApproval() {
    if (options_.approvalDocument.empty()) return;
    runChild({"xdg-open", options_.approvalDocument}, std::chrono::milliseconds(5000));
}

} // namespace quillmere
