// Measures the scan engine on a folder against a bare parallel walk and, with --compare,
// against gdu, du and ncdu.
//
//   scan-bench DIR [--runs N] [--compare]
//
// Every measured scan runs in a process of its own: its peak resident memory is that
// process's peak (wait4's ru_maxrss) less the peak of an idle process of the same kind, so
// one scan's memory never hides behind another's, and a run starts with a fresh heap. The
// contenders take turns, one run each per round, so the machine's load weighs on all alike.
#include "BareWalk.hpp"
#include "scan/DiskScanner.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBareWalkThreads = 8;

// What a measuring child sends back through its pipe.
struct ChildReport {
    int ok = 0;
    double seconds = 0;
    int64_t files = 0;
    int64_t folders = 0;
    int64_t allocatedBytes = 0;
    int64_t nodes = -1; // -1 when the walk keeps no tree
    int64_t highWaterKiB = 0;
};

struct Measurement {
    ChildReport report;
    double seconds = 0;
    double cpuSeconds = 0; // user + system, all threads
    int64_t peakKiB = 0;
    bool ok = false;
    std::string error; // a peer's first line of errors when it failed
};

double cpuSecondsOf(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int64_t highWaterMarkKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmHWM:")) return std::strtoll(line.c_str() + 6, nullptr, 10);
    return 0;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs `body` in a forked child. The parent never starts a thread, so the child inherits
// no lock held elsewhere, and whatever pool the body starts dies with the child.
Measurement measureInChild(const std::function<ChildReport()>& body) {
    int channel[2];
    if (::pipe(channel) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return {};
    if (pid == 0) {
        ::close(channel[0]);
        ChildReport report = body();
        report.highWaterKiB = highWaterMarkKiB();
        const ssize_t written = ::write(channel[1], &report, sizeof report);
        // Leaving at once skips tearing down the scanned tree, which is no part of a scan.
        ::_exit(written == static_cast<ssize_t>(sizeof report) ? 0 : 1);
    }
    ::close(channel[1]);
    Measurement measurement;
    size_t received = 0;
    auto* bytes = reinterpret_cast<char*>(&measurement.report);
    while (received < sizeof measurement.report) {
        const ssize_t read = ::read(channel[0], bytes + received, sizeof measurement.report - received);
        if (read < 0 && errno == EINTR) continue;
        if (read <= 0) break;
        received += static_cast<size_t>(read);
    }
    ::close(channel[0]);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    measurement.ok = received == sizeof measurement.report && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                     measurement.report.ok;
    measurement.seconds = measurement.report.seconds;
    // The two views of one peak; the larger wins should the kernel round either.
    measurement.peakKiB = std::max<int64_t>(usage.ru_maxrss, measurement.report.highWaterKiB);
    measurement.cpuSeconds = cpuSecondsOf(usage);
    return measurement;
}

// Runs a program with its output discarded (errors kept in `errorFile`), timed from fork
// to reaping, so its start-up counts, as it would for a user.
Measurement measureProgram(const std::vector<std::string>& arguments, const std::string& errorFile) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::fflush(nullptr);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) return {};
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        const int errors = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(errors >= 0 ? errors : null, STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    Measurement measurement;
    measurement.seconds = secondsSince(start);
    measurement.peakKiB = usage.ru_maxrss;
    measurement.cpuSeconds = cpuSecondsOf(usage);
    measurement.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    measurement.report.ok = measurement.ok;
    return measurement;
}

// Runs a full-screen program on a pseudo-terminal until `marker` appears on its screen,
// then types "q". ncdu keeps its tree in memory only when it shows it: this is how its
// browsing mode can be measured at all without a person at the keyboard.
Measurement measureOnTerminal(const std::vector<std::string>& arguments, const std::string& marker,
                              double timeoutSeconds) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::fflush(nullptr);
    winsize size{.ws_row = 40, .ws_col = 140, .ws_xpixel = 0, .ws_ypixel = 0};
    int terminal = -1;
    const auto start = Clock::now();
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, &size);
    if (pid < 0) return {};
    if (pid == 0) {
        ::setenv("TERM", "xterm", 1);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    Measurement measurement;
    std::string screen;
    bool shown = false;
    char buffer[16 * 1024];
    while (true) {
        pollfd ready{terminal, POLLIN, 0};
        const int polled = ::poll(&ready, 1, 100);
        if (polled < 0 && errno == EINTR) continue;
        if (polled > 0) {
            const ssize_t read = ::read(terminal, buffer, sizeof buffer);
            if (read <= 0) break; // the program has gone
            if (!shown) {
                screen.append(buffer, static_cast<size_t>(read));
                if (screen.find(marker) != std::string::npos) {
                    shown = true;
                    measurement.seconds = secondsSince(start);
                    ::write(terminal, "q", 1);
                }
                // Only the tail can still hold the start of a split marker.
                if (screen.size() > 64 * 1024) screen.erase(0, screen.size() - marker.size());
            }
        }
        if (!shown && secondsSince(start) > timeoutSeconds) {
            ::kill(pid, SIGKILL);
            break;
        }
    }
    ::close(terminal);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    measurement.peakKiB = usage.ru_maxrss;
    measurement.cpuSeconds = cpuSecondsOf(usage);
    measurement.ok = shown && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    measurement.report.ok = measurement.ok;
    return measurement;
}

int64_t countNodes(const quillmere::FileNode& root) {
    int64_t count = 0;
    std::vector<const quillmere::FileNode*> pending{&root};
    while (!pending.empty()) {
        const quillmere::FileNode* node = pending.back();
        pending.pop_back();
        ++count;
        for (const quillmere::FileNode& child : node->children())
            pending.push_back(&child);
    }
    return count;
}

ChildReport engineScan(const std::string& root, const std::string& home) {
    quillmere::DiskScanner scanner(200);
    // Started before the clock, as the application starts them at launch.
    quillmere::DiskScanner::startWorkers();
    const auto start = Clock::now();
    // Never freed: the child leaves without tearing the tree down.
    auto* result = new std::optional<quillmere::DiskScanResult>(scanner.scanToEnd(root, true, home));
    ChildReport report;
    report.seconds = secondsSince(start);
    if (!*result) return report;
    const quillmere::FileNode& tree = (*result)->root;
    report.ok = 1;
    report.files = tree.fileCount();
    report.folders = tree.folderCount();
    report.allocatedBytes = tree.allocatedSize();
    report.nodes = countNodes(tree);
    return report;
}

ChildReport bareScan(const std::string& root) {
    const auto start = Clock::now();
    const quillmere::bench::BareWalkTotals totals = quillmere::bench::bareWalk(root, kBareWalkThreads);
    ChildReport report;
    report.seconds = secondsSince(start);
    report.ok = totals.ok ? 1 : 0;
    report.files = totals.files;
    report.folders = totals.folders;
    report.allocatedBytes = totals.allocatedBytes;
    return report;
}

// One contender's runs: the first warms up and is dropped.
struct Series {
    std::string name;
    std::vector<Measurement> runs;
    int64_t idleKiB = 0; // peak of the same kind of process doing nothing (or scanning nothing)
    std::string failure;

    bool ok() const { return !runs.empty() && failure.empty(); }
    double best() const {
        double best = runs.front().seconds;
        for (const Measurement& run : runs)
            best = std::min(best, run.seconds);
        return best;
    }
    double median() const {
        std::vector<double> seconds;
        for (const Measurement& run : runs)
            seconds.push_back(run.seconds);
        std::sort(seconds.begin(), seconds.end());
        const size_t middle = seconds.size() / 2;
        return seconds.size() % 2 ? seconds[middle] : (seconds[middle - 1] + seconds[middle]) / 2;
    }
    double medianCpu() const {
        std::vector<double> seconds;
        for (const Measurement& run : runs)
            seconds.push_back(run.cpuSeconds);
        std::sort(seconds.begin(), seconds.end());
        return seconds[seconds.size() / 2];
    }
    int64_t peakKiB() const {
        int64_t peak = 0;
        for (const Measurement& run : runs)
            peak = std::max(peak, run.peakKiB);
        return peak;
    }
    int64_t ownPeakBytes() const { return std::max<int64_t>(0, peakKiB() - idleKiB) * 1024; }
};

// One contender: how to measure one run of it, and what it leaves out of its own memory.
struct Contender {
    Series series;
    std::function<Measurement()> measureOnce;
};

// Every contender's runs taken in turn, round after round, after one warm-up round, so that a
// change in the machine's load falls on all of them alike. A contender that fails once is not
// run again.
void measureInterleaved(std::vector<Contender>& contenders, int runs) {
    for (int round = 0; round <= runs; ++round) {
        const std::string label = round == 0 ? "warm-up" : "round " + std::to_string(round);
        std::fprintf(stderr, "scan-bench: %s", label.c_str());
        for (Contender& contender : contenders) {
            if (!contender.series.failure.empty()) continue;
            const Measurement measurement = contender.measureOnce();
            std::fprintf(stderr, "  %s %.3f", contender.series.name.c_str(), measurement.seconds);
            if (!measurement.ok)
                contender.series.failure =
                    measurement.error.empty() ? "failed" : "failed: " + measurement.error;
            else if (round > 0)
                contender.series.runs.push_back(measurement);
        }
        std::fprintf(stderr, "\n");
    }
}

bool isOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string directories = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= directories.size()) {
        const size_t end = std::min(directories.find(':', start), directories.size());
        const std::string candidate = directories.substr(start, end - start) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

void installMissingPeers() {
    if (isOnPath("gdu") && isOnPath("ncdu")) return;
    std::fprintf(stderr, "scan-bench: installing gdu and ncdu from Debian packages\n");
    std::fflush(nullptr);
    if (::fork() == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDOUT_FILENO);
        ::execlp("apt-get", "apt-get", "install", "-y", "--no-install-recommends", "gdu", "ncdu", nullptr);
        ::_exit(127);
    }
    int status = 0;
    ::wait(&status);
}

std::string grouped(int64_t value) {
    const std::string digits = std::to_string(value < 0 ? -value : value);
    std::string text = value < 0 ? "-" : "";
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text.push_back(',');
        text.push_back(digits[i]);
    }
    return text;
}

void printRow(const Series& series, int64_t files, int64_t entries) {
    if (!series.ok()) {
        std::printf("%-28s %s\n", series.name.c_str(),
                    series.failure.empty() ? "not run" : series.failure.c_str());
        return;
    }
    const int64_t nodes = series.runs.back().report.nodes;
    const double own = static_cast<double>(series.ownPeakBytes());
    std::printf("%-28s %8.3f %8.3f %7.2f %12s %9.1f %9.1f %8.1f %8.1f %11s\n", series.name.c_str(),
                series.best(), series.median(), series.medianCpu(),
                grouped(static_cast<int64_t>(static_cast<double>(files) / series.best())).c_str(),
                static_cast<double>(series.peakKiB()) / 1024, own / (1 << 20),
                own / static_cast<double>(files), own / static_cast<double>(entries),
                nodes >= 0 ? grouped(nodes).c_str() : "-");
}

void printRatio(const char* label, const Series& engine, const Series& other, int64_t files,
                const char* target) {
    if (!engine.ok() || !other.ok()) return;
    const auto perFile = [&](const Series& series) {
        return static_cast<double>(series.ownPeakBytes()) / static_cast<double>(files);
    };
    std::printf("%-24s time %.2fx best, %.2fx median; ", label, engine.best() / other.best(),
                engine.median() / other.median());
    if (other.ownPeakBytes() > 0)
        std::printf("memory per file %.2fx (%.1f vs %.1f B)%s\n", perFile(engine) / perFile(other),
                    perFile(engine), perFile(other), target);
    else
        std::printf("memory per file %.1f vs %.1f B%s\n", perFile(engine), perFile(other), target);
}

[[noreturn]] void usage() {
    std::fprintf(stderr, "Usage: scan-bench DIR [--runs N] [--compare]\n");
    std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
    std::string folder;
    int runs = 5;
    bool compare = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (argument == "--compare")
            compare = true;
        else if (argument.starts_with("-") || !folder.empty())
            usage();
        else
            folder = argument;
    }
    if (folder.empty()) usage();
    char* resolved = ::realpath(folder.c_str(), nullptr);
    if (!resolved) {
        std::fprintf(stderr, "scan-bench: %s: %s\n", folder.c_str(), std::strerror(errno));
        return 1;
    }
    folder = resolved;
    std::free(resolved);
    const char* homeVariable = std::getenv("HOME");
    const std::string home = homeVariable ? homeVariable : "/root";

    const auto idleChild = [] { return measureInChild([] { return ChildReport{.ok = 1}; }).peakKiB; };

    std::vector<Contender> contenders;
    contenders.push_back({Series{"engine (DiskScanner)", {}, idleChild(), {}},
                          [&] { return measureInChild([&] { return engineScan(folder, home); }); }});
    contenders.push_back({Series{"bare walk (8 threads)", {}, idleChild(), {}},
                          [&] { return measureInChild([&] { return bareScan(folder); }); }});

    // Start-up memory (runtime, libraries, worker threads, screen) is measured on a folder
    // holding one file and is no part of what a scanner keeps per file.
    char tinyTemplate[] = "/tmp/scan-bench-tiny-XXXXXX";
    const bool madeTiny = ::mkdtemp(tinyTemplate) != nullptr;
    const std::string tiny = madeTiny ? tinyTemplate : "/etc/skel";
    if (madeTiny) std::ofstream(tiny + "/one") << "one\n";
    const int64_t engineStartKiB = measureInChild([&] { return engineScan(tiny, home); }).peakKiB;

    std::string errorFile;
    if (compare) {
        installMissingPeers();
        errorFile = "/tmp/scan-bench-errors-" + std::to_string(::getpid());
        struct Peer {
            std::string name;
            std::vector<std::string> command; // the folder goes last
            bool onTerminal = false;
        };
        const std::vector<Peer> peers{
            {"gdu -n -p -x", {"gdu", "-n", "-p", "-x"}},
            {"du -sx", {"du", "-sx"}},
            {"ncdu -0 -x -o /dev/null", {"ncdu", "-0", "-x", "-o", "/dev/null"}},
            {"ncdu -0 -x (browsing, pty)", {"ncdu", "-0", "-x"}, true},
        };
        for (const Peer& peer : peers) {
            if (!isOnPath(peer.command.front())) {
                contenders.push_back({Series{peer.name, {}, 0, "not installed"}, {}});
                continue;
            }
            auto measure = [peer, errorFile](const std::string& target) {
                std::vector<std::string> arguments = peer.command;
                arguments.push_back(target);
                Measurement measurement = peer.onTerminal
                                              ? measureOnTerminal(arguments, "Total disk usage", 600)
                                              : measureProgram(arguments, errorFile);
                if (!measurement.ok && !peer.onTerminal) {
                    std::ifstream errors(errorFile);
                    std::getline(errors, measurement.error);
                }
                return measurement;
            };
            contenders.push_back({Series{peer.name, {}, measure(tiny).peakKiB, {}},
                                  [measure, folder] { return measure(folder); }});
        }
    }
    measureInterleaved(contenders, runs);
    if (madeTiny) {
        ::unlink((tiny + "/one").c_str());
        ::rmdir(tiny.c_str());
    }
    if (compare) ::unlink(errorFile.c_str());
    std::vector<Series> all;
    for (Contender& contender : contenders)
        all.push_back(std::move(contender.series));

    const Series& engine = all[0];
    const Series& bare = all[1];
    const ChildReport tree = engine.ok() ? engine.runs.back().report : bare.runs.back().report;
    const int64_t files = std::max<int64_t>(tree.files, 1);
    const int64_t entries = std::max<int64_t>(tree.files + tree.folders, 1);

    std::printf("scan-bench: %s\n", folder.c_str());
    std::printf("  engine found  %s files, %s folders, %.2f GiB allocated\n", grouped(tree.files).c_str(),
                grouped(tree.folders).c_str(), static_cast<double>(tree.allocatedBytes) / (1 << 30));
    if (bare.ok()) {
        const ChildReport& walked = bare.runs.back().report;
        std::printf("  bare walk found %s files, %s folders, %.2f GiB allocated\n",
                    grouped(walked.files).c_str(), grouped(walked.folders).c_str(),
                    static_cast<double>(walked.allocatedBytes) / (1 << 30));
    }
    std::printf(
        "  %u processors online; %d measured rounds after one warm-up round, each contender once a round\n"
        "  in turn, warm cache\n",
        std::thread::hardware_concurrency(), runs);
    std::printf(
        "  times: the engine and bare walk from the scan call to its return, in a forked child; a peer\n"
        "  from fork to exit (ncdu browsing: to its browser showing the totals); cpu s: median user +\n"
        "  system time of the whole process\n"
        "  own MiB = peak RSS of the run's process less an idle one's (the engine and bare walk: an\n"
        "  idle forked child; a peer: the same program on a folder of one file); B/file and B/entry\n"
        "  (files + folders) divide it by the engine's counts\n\n");
    std::printf("%-28s %8s %8s %7s %12s %9s %9s %8s %8s %11s\n", "", "best s", "median s", "cpu s", "files/s",
                "peak MiB", "own MiB", "B/file", "B/entry", "nodes kept");
    for (const Series& series : all)
        printRow(series, files, entries);
    std::printf("\n");

    printRatio("engine / bare walk:", engine, bare, files,
               "  [time target <= 1.15x at 1M entries, 1.25x at 100k]");
    for (const Series& series : all) {
        if (series.name.starts_with("gdu"))
            printRatio("engine / gdu:", engine, series, files,
                       "  [targets: time <= 0.30x, memory per file below 1x]");
        else if (series.name.starts_with("ncdu") && series.name.find("pty") != std::string::npos)
            printRatio("engine / ncdu browsing:", engine, series, files,
                       "  [target: memory per file below 1x]");
        else if (series.name.starts_with("ncdu"))
            printRatio("engine / ncdu export:", engine, series, files, "");
        else if (series.name.starts_with("du "))
            printRatio("engine / du:", engine, series, files, "");
    }
    if (engine.ok()) {
        std::printf("engine own peak per entry: %.1f B  [target <= 70]\n",
                    static_cast<double>(engine.ownPeakBytes()) / static_cast<double>(entries));
        // As the peers' figures are: their start-up left out.
        const int64_t startKiB = std::max<int64_t>(0, engineStartKiB - engine.idleKiB);
        const double beyond = std::max(0.0, static_cast<double>(engine.ownPeakBytes()) - startKiB * 1024.0);
        std::printf("  of which start-up (workers, a one-file scan) %.1f MiB; per entry beyond it: %.1f B\n",
                    static_cast<double>(startKiB) / 1024, beyond / static_cast<double>(entries));
    }
    return engine.ok() ? 0 : 1;
}
