// The privileged helper's memory under load. Run by hand; see bench/README.md.
//
//   helper-bench HELPER DIR [--clients N] [--rounds R] [--silent M]
//
// Starts HELPER (a quillmere-helper program) on a socket of its own, then R times lets N
// clients, each on its own connection, ask for a walk of DIR at the same moment and read
// the replies; after each burst it waits for the helper to go quiet and reads its resident
// size. Then M clients ask and never read. Figures are the helper's own (/proc/PID/status).
#include "access/HelperServiceManager.hpp"
#include "access/HelperWire.hpp"
#include "access/PrivilegedScanClient.hpp"
#include "platform/Fd.hpp"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace quillmere;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// VmRSS and VmHWM of `pid`, in KiB.
struct Resident {
    int64_t now = 0;
    int64_t peak = 0;
};

Resident residentOf(pid_t pid) {
    Resident resident;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) resident.now = std::strtoll(line.c_str() + 6, nullptr, 10);
        if (line.starts_with("VmHWM:")) resident.peak = std::strtoll(line.c_str() + 6, nullptr, 10);
    }
    return resident;
}

double mib(int64_t kib) {
    return static_cast<double>(kib) / 1024.0;
}

// The helper's CPU time so far, in clock ticks, to tell when it has gone quiet.
long long cpuTicksOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::vector<std::string> fields;
    std::string field;
    for (char c : text.substr(close + 2)) {
        if (c == ' ') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    // utime and stime are fields 14 and 15 of the whole line, 12 and 13 after the name.
    return fields.size() > 12 ? std::atoll(fields[11].c_str()) + std::atoll(fields[12].c_str()) : 0;
}

// Waits until the helper has used no processor time for a second (at most 60 s).
void awaitQuiet(pid_t pid) {
    const auto deadline = Clock::now() + 60s;
    long long last = cpuTicksOf(pid);
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(1s);
        const long long now = cpuTicksOf(pid);
        if (now == last) return;
        last = now;
    }
}

platform::Fd connectTo(const std::string& socket) {
    platform::Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{.sun_family = AF_UNIX};
    socket.copy(address.sun_path, sizeof address.sun_path - 1);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return {};
    return fd;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: helper-bench HELPER DIR [--clients N] [--rounds R] [--silent M]\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const std::string program = argv[1];
    const std::string dir = argv[2];
    int clients = 40;
    int rounds = 3;
    int silent = 30;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (option == "--clients") clients = value;
        if (option == "--rounds") rounds = value;
        if (option == "--silent") silent = value;
    }

    char folder[] = "/tmp/helper-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return 1;
    const std::string socket = std::string(folder) + "/helper.sock";
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) return 1;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    std::vector<std::string> args{program, "--socket", socket, "--socket-mode", "0600"};
    std::vector<char*> argp;
    for (std::string& arg : args)
        argp.push_back(arg.data());
    argp.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argp.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", program.c_str());
        return 1;
    }
    ::close(output[1]);
    char ready[6] = {};
    if (::read(output[0], ready, sizeof ready) != 6) return 1;

    std::printf("helper started: %.1f MiB resident\n", mib(residentOf(pid).now));
    FakeHelperServiceManager service;
    service.setRawStatus(PrivilegedScanStatus::kEnabled);
    for (int round = 1; round <= rounds; ++round) {
        std::atomic<int> walked{0};
        std::atomic<int> failed{0};
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        const auto start = Clock::now();
        for (int i = 0; i < clients; ++i) {
            threads.emplace_back([&] {
                CapturedPrivilegedScanLog log;
                PrivilegedScanClient client(service, log, {socket, ::getuid(), 120s});
                while (!go.load())
                    std::this_thread::yield();
                const auto walk = client.walkSubtree(dir);
                (walk.hasTree() ? walked : failed).fetch_add(1);
            });
        }
        go = true;
        for (std::thread& thread : threads)
            thread.join();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const Resident busy = residentOf(pid);
        awaitQuiet(pid);
        std::this_thread::sleep_for(1s);
        const Resident idle = residentOf(pid);
        std::printf("round %d: %d walked, %d failed in %.1f s; peak so far %.1f MiB, idle %.1f MiB\n", round,
                    walked.load(), failed.load(), seconds, mib(std::max(busy.peak, idle.peak)),
                    mib(idle.now));
    }

    if (silent > 0) {
        std::vector<platform::Fd> quiet;
        const std::string request =
            nlohmann::json{{"id", 1}, {"selector", kHelperWalkSelector}, {"path", dir}}.dump();
        for (int i = 0; i < silent; ++i) {
            platform::Fd fd = connectTo(socket);
            if (fd && sendAll(fd.get(), framed(request))) quiet.push_back(std::move(fd));
        }
        std::this_thread::sleep_for(2s);
        awaitQuiet(pid);
        std::printf("%zu clients that ask and never read: %.1f MiB resident, peak %.1f MiB\n", quiet.size(),
                    mib(residentOf(pid).now), mib(residentOf(pid).peak));
        quiet.clear();
        std::this_thread::sleep_for(2s);
        awaitQuiet(pid);
        std::printf("after they left: %.1f MiB resident\n", mib(residentOf(pid).now));
    }

    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    std::filesystem::remove_all(folder);
    return 0;
}
