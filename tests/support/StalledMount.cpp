#include "support/StalledMount.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quillmere::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Why the namespace could not be entered; "not tried" until main has asked.
std::string& namespaceProblem() {
    static std::string problem = "the test's main never made a mount namespace of its own";
    return problem;
}

bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out.flush());
}

std::string programOnPath(const std::string& name) {
    for (const char* folder :
         {"/usr/bin", "/usr/sbin", "/bin", "/sbin", "/usr/local/bin", "/usr/local/sbin"}) {
        const std::string path = std::string(folder) + "/" + name;
        if (::access(path.c_str(), X_OK) == 0) return path;
    }
    return {};
}

// Starts `argv` with its output discarded; -1 when it cannot be started.
pid_t spawn(std::vector<std::string> argv) {
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (std::string& argument : argv)
        args.push_back(argument.data());
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

// Waits up to `limit` for `pid` to exit; its status, or nothing while it still runs.
std::optional<int> awaitExit(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0 && errno != EINTR) return -1;
        std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

bool runToEnd(std::vector<std::string> argv) {
    const pid_t pid = spawn(std::move(argv));
    if (pid < 0) return false;
    std::optional<int> status = awaitExit(pid, 60s);
    if (!status) {
        ::kill(pid, SIGKILL);
        status = awaitExit(pid, 60s);
    }
    return status == 0;
}

// The first line `argv` writes, when it succeeds.
std::optional<std::string> runForOutput(std::vector<std::string> argv) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (std::string& argument : argv)
        args.push_back(argument.data());
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    std::string output;
    char buffer[256];
    for (ssize_t n; spawned == 0 && (n = ::read(ends[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<size_t>(n));
    ::close(ends[0]);
    if (spawned != 0 || awaitExit(pid, 60s) != 0) return std::nullopt;
    output = output.substr(0, output.find('\n'));
    if (output.empty()) return std::nullopt;
    return output;
}

bool isMounted(const std::string& mountPoint) {
    std::ifstream table("/proc/self/mountinfo");
    std::string line;
    while (std::getline(table, line))
        if (line.find(" " + mountPoint + " ") != std::string::npos &&
            line.find(" - fuse") != std::string::npos)
            return true;
    return false;
}

void unmount(const std::string& mountPoint) {
    // Detached: it never waits for the file system, whatever state its daemon is in.
    if (::umount2(mountPoint.c_str(), MNT_DETACH) == 0) return;
    if (const std::string fusermount = programOnPath("fusermount3"); !fusermount.empty())
        runToEnd({fusermount, "-u", "-z", mountPoint});
}

} // namespace

std::string enterPrivateMountNamespace() {
    std::string& problem = namespaceProblem();
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWNS) != 0) {
        // Without the right to make one, a user namespace of our own gives it.
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 || !writeText("/proc/self/setgroups", "deny") ||
            !writeText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !writeText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
            problem = std::string("no mount namespace of our own can be made: ") + std::strerror(errno);
            return problem;
        }
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        problem = std::string("the mounts cannot be made private: ") + std::strerror(errno);
        return problem;
    }
    problem.clear();
    return problem;
}

std::unique_ptr<StalledMount> StalledMount::make(const std::string& mountPoint, std::string& skipReason,
                                                 AsDisk asDisk) {
    if (!namespaceProblem().empty()) {
        skipReason = namespaceProblem();
        return nullptr;
    }
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        skipReason = "/dev/fuse is missing or not usable here";
        return nullptr;
    }
    const std::string fuse2fs = programOnPath("fuse2fs");
    const std::string mkfs = programOnPath("mkfs.ext4");
    if (fuse2fs.empty() || mkfs.empty()) {
        skipReason = "fuse2fs and mkfs.ext4 are needed (Debian: fuse2fs, e2fsprogs, fuse3)";
        return nullptr;
    }
    std::string folder = (fs::temp_directory_path() / "quillmere-image-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        skipReason = "no temporary folder";
        return nullptr;
    }
    const std::string image = folder + "/disk.img";
    std::error_code error;
    { std::ofstream(image).close(); }
    fs::resize_file(image, 16 << 20, error);
    if (error || !runToEnd({mkfs, "-q", "-F", image})) {
        fs::remove_all(folder, error);
        skipReason = "mkfs.ext4 could not make an image";
        return nullptr;
    }
    // On a loop device the mount is a disk, as a FUSE file system on a USB disk is, which the
    // volume list describes. Loop devices are the machine's, not the namespace's: the one taken
    // is given back in teardown.
    std::string source = image;
    if (asDisk == AsDisk::yes && ::geteuid() == 0) {
        if (const std::string losetup = programOnPath("losetup"); !losetup.empty())
            if (auto device = runForOutput({losetup, "--find", "--show", image})) source = *device;
    }
    if (source == image && asDisk == AsDisk::yes) {
        fs::remove_all(folder, error);
        skipReason = "no loop device can be set up here (it needs root and losetup)";
        return nullptr;
    }
    const pid_t daemon = spawn({fuse2fs, source, mountPoint, "-f", "-o", "fakeroot"});
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (daemon > 0 && !isMounted(mountPoint) && std::chrono::steady_clock::now() < deadline &&
           !awaitExit(daemon, 20ms)) {
    }
    std::unique_ptr<StalledMount> made(new StalledMount(mountPoint, folder, daemon));
    if (source != image) made->loopDevice_ = source;
    if (daemon < 0 || !isMounted(mountPoint)) {
        skipReason = "fuse2fs could not mount its image here";
        return nullptr; // the destructor reaps whatever was started
    }
    std::ofstream inside(mountPoint + "/inside");
    inside << std::string(4096, 'q');
    if (!inside.flush()) {
        skipReason = "the mounted file system takes no file";
        return nullptr;
    }
    return made;
}

// The daemon's state letter from /proc ('T' once stopped).
char stateOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() ? text[close + 2] : '?';
}

void StalledMount::stall() {
    ::kill(daemon_, SIGSTOP);
    // The signal is delivered in its own time: until the daemon has stopped, it still answers.
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (stateOf(daemon_) != 'T' && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
}

void StalledMount::resume() {
    ::kill(daemon_, SIGCONT);
}

StalledMount::~StalledMount() {
    if (daemon_ > 0) ::kill(daemon_, SIGCONT);
    unmount(mountPoint_);
    if (daemon_ > 0 && !awaitExit(daemon_, 10s)) {
        ::kill(daemon_, SIGKILL);
        awaitExit(daemon_, 10s);
    }
    if (!loopDevice_.empty())
        if (const std::string losetup = programOnPath("losetup"); !losetup.empty())
            runToEnd({losetup, "-d", loopDevice_});
    std::error_code ignored;
    fs::remove_all(image_, ignored);
}

} // namespace quillmere::testing
