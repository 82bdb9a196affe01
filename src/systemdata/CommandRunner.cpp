#include "systemdata/CommandRunner.hpp"

#include "base/Unicode.hpp"
#include "platform/Fd.hpp"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace quillmere {
namespace {

using Clock = std::chrono::steady_clock;

using platform::Fd;

struct Pipe {
    Fd read;
    Fd write;
};

bool makePipe(Pipe& pipe) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    pipe.read = Fd(fds[0]);
    pipe.write = Fd(fds[1]);
    ::fcntl(pipe.read.get(), F_SETFL, O_NONBLOCK);
    return true;
}

// One stream being collected: everything up to the cap is kept, the rest read and dropped.
struct Stream {
    Fd fd;
    std::string bytes;
    bool overflowed = false;
    bool open() const { return fd.get() >= 0; }

    // Reads what is there now; closes the stream at its end.
    void drain() {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
            if (n > 0) {
                const size_t room = kCommandOutputCap - std::min(bytes.size(), kCommandOutputCap);
                bytes.append(buffer, std::min(room, static_cast<size_t>(n)));
                if (static_cast<size_t>(n) > room) overflowed = true;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            fd.reset(); // end of stream or a read error
            return;
        }
    }
};

// Waits for the child's exit: a pidfd where the kernel has one, else short polls.
class Child {
public:
    explicit Child(pid_t pid) : pid_(pid) {
        const long fd = ::syscall(SYS_pidfd_open, pid, 0);
        if (fd >= 0) pidFd_ = Fd(static_cast<int>(fd));
    }
    ~Child() {
        // Whatever happened, no child is left behind: kill and reap it.
        if (!reaped_) {
            ::kill(pid_, SIGKILL);
            waitBlocking();
        }
    }
    int pidFd() const { return pidFd_.get(); }
    bool reaped() const { return reaped_; }
    int status() const { return status_; }

    bool poll() {
        if (reaped_) return true;
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(pid_, &status, WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r == pid_ || (r < 0 && errno == ECHILD)) {
            reaped_ = true;
            status_ = status;
        }
        return reaped_;
    }
    void waitBlocking() {
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(pid_, &status, 0);
        } while (r < 0 && errno == EINTR);
        reaped_ = true;
        status_ = status;
    }

private:
    pid_t pid_;
    Fd pidFd_;
    bool reaped_ = false;
    int status_ = 0;
};

// Waits up to `waitMs` for either open stream, or `otherFd` when there is one, to be ready,
// then reads what the streams hold; false when the wait itself failed.
bool pollAndDrain(Stream& out, Stream& err, int otherFd, int waitMs) {
    pollfd fds[3];
    nfds_t count = 0;
    if (out.open()) fds[count++] = {out.fd.get(), POLLIN, 0};
    if (err.open()) fds[count++] = {err.fd.get(), POLLIN, 0};
    if (otherFd >= 0) fds[count++] = {otherFd, POLLIN, 0};
    if (::poll(fds, count, waitMs) < 0 && errno != EINTR) return false;
    if (out.open()) out.drain();
    if (err.open()) err.drain();
    return true;
}

// Reads both streams until the child is reaped or `deadline` passes; true when reaped.
bool pumpUntil(Child& child, Stream& out, Stream& err, Clock::time_point deadline) {
    for (;;) {
        if (child.poll()) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return child.poll();
        // Without a pidfd the exit is noticed by polling every 5 ms.
        const bool hasPidFd = child.pidFd() >= 0;
        const int wait = static_cast<int>(hasPidFd ? left.count() : std::min<long>(left.count(), 5));
        if (!pollAndDrain(out, err, child.pidFd(), wait)) return child.poll();
    }
}

std::string decodeUtf8(const Stream& stream) {
    if (stream.overflowed || !isValidUtf8(stream.bytes)) return {};
    return stream.bytes;
}

} // namespace

std::string shortestSecondsText(double seconds) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, seconds);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".eEn") == std::string::npos) text += ".0";
    return text;
}

CommandResult runCommand(const std::string& path, const std::vector<std::string>& arguments,
                         double timeoutSeconds) {
    struct stat info {};
    if (path.empty() || path.front() != '/' || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        ::access(path.c_str(), X_OK) != 0)
        return {"", "not found: " + path, -1};

    Pipe outPipe, errPipe;
    if (!makePipe(outPipe) || !makePipe(errPipe)) return {"", std::strerror(errno), -1};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe.write.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe.write.get(), 2);
    // Descriptors other threads open without close-on-exec must not leak into the tool.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    std::vector<std::string> environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        if (!text.starts_with("LC_ALL=") && !text.starts_with("LANG=") && !text.starts_with("LC_"))
            environment.emplace_back(text);
    }
    environment.emplace_back("LC_ALL=C");
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> argvText{path};
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : argvText)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return {"", std::strerror(spawned), -1};
    outPipe.write.reset();
    errPipe.write.reset();

    Stream out{std::move(outPipe.read)};
    Stream err{std::move(errPipe.read)};
    Child child(pid);
    const auto start = Clock::now();
    const auto timeout = std::chrono::duration<double>(std::max(timeoutSeconds, 0.0));
    const auto deadline = start + std::chrono::duration_cast<Clock::duration>(timeout);
    if (!pumpUntil(child, out, err, deadline)) {
        ::kill(pid, SIGTERM);
        if (!pumpUntil(child, out, err, Clock::now() + std::chrono::milliseconds(100))) {
            ::kill(pid, SIGKILL);
            child.waitBlocking();
        }
        return {"", "timed out after " + shortestSecondsText(timeoutSeconds) + "s", -1};
    }
    // The tool has exited; what it wrote is still in the pipes. A descendant that keeps a pipe
    // open must not hold us past the deadline.
    const auto readUntil = std::max(deadline, Clock::now() + std::chrono::milliseconds(50));
    while ((out.open() || err.open()) && Clock::now() < readUntil) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(readUntil - Clock::now());
        if (!pollAndDrain(out, err, -1, static_cast<int>(std::max<long>(left.count(), 0)))) break;
    }
    const int status = child.status();
    const int32_t code = WIFEXITED(status)     ? WEXITSTATUS(status)
                         : WIFSIGNALED(status) ? WTERMSIG(status)
                                               : -1;
    return {decodeUtf8(out), decodeUtf8(err), code};
}

} // namespace quillmere
