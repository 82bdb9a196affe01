#include "support/HelperProcess.hpp"

#include "support/Eventually.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillmere::testing {

HelperProcess::HelperProcess(std::vector<std::string> argv, int passedSocket) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    if (passedSocket >= 0) ::posix_spawn_file_actions_adddup2(&actions, passedSocket, 3);
    std::vector<char*> args;
    for (auto& argument : argv)
        args.push_back(argument.data());
    args.push_back(nullptr);
    const int spawned = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    output_ = ends[0];
    if (spawned != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + argv[0]);
    }
}

HelperProcess::~HelperProcess() {
    stop();
    if (output_ >= 0) ::close(output_);
}

bool HelperProcess::awaitReady(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string seen;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd entry{output_, POLLIN, 0};
        if (::poll(&entry, 1, 50) <= 0) continue;
        char c;
        if (::read(output_, &c, 1) != 1) return false;
        seen += c;
        if (seen.find("READY\n") != std::string::npos) return true;
    }
    return false;
}

std::optional<int> HelperProcess::awaitExit(std::chrono::milliseconds limit) {
    if (reaped_) return status_;
    const bool exited = eventually(
        [&] {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
            reaped_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return true;
        },
        limit);
    return exited ? std::optional(status_) : std::nullopt;
}

int HelperProcess::stop() {
    if (pid_ < 0 || reaped_) return status_;
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
}

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmere-helper-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string helperProgram() {
    return QUILLMERE_HELPER_PROGRAM;
}
std::string misbehavingProgram() {
    return QUILLMERE_MISBEHAVING_HELPER;
}

} // namespace quillmere::testing
