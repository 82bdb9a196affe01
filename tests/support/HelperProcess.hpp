#pragma once

// Spawns a helper program for a test, waits for its READY line, and kills and reaps it by
// its process id when the test is done with it.

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quillmere::testing {

class HelperProcess {
public:
    // Starts `argv`; with `passedSocket` >= 0 that socket becomes the child's fd 3.
    explicit HelperProcess(std::vector<std::string> argv, int passedSocket = -1);
    ~HelperProcess();
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    // Whether READY arrived within `limit`.
    bool awaitReady(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Kills (if still running) and reaps; the exit status, or -1 when killed.
    int stop();
    // Waits up to `limit` for the child to exit by itself; its status, or nothing.
    std::optional<int> awaitExit(std::chrono::milliseconds limit);
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    bool reaped_ = false;
    int status_ = -1;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string helperProgram();      // quillmere-helper
std::string misbehavingProgram(); // the double

} // namespace quillmere::testing
