// Times the privileged path against the scan it extends: the helper encoding a walked tree as
// its reply, the client decoding that reply, and the merge grafting it into a scan. Run by
// hand; see bench/README.md.
//
//   privileged-bench DIR          the reply is DIR's own scanned tree
//
// Every phase runs in a forked child: its figure is that child's peak resident memory less
// the peak of an idle child forked at the same moment, so what the parent holds (the tree,
// the reply bytes) is not counted again.
#include "access/HelperWire.hpp"
#include "access/PrivilegedNode.hpp"
#include "access/PrivilegedWalkMerge.hpp"
#include "access/helper/HelperRecord.hpp"
#include "platform/Base64.hpp"
#include "scan/DiskScanner.hpp"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace quillmere;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int64_t highWaterMarkKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmHWM:")) return std::strtoll(line.c_str() + 6, nullptr, 10);
    return 0;
}

struct ChildReport {
    int ok = 0;
    double seconds = 0;
    int64_t highWaterKiB = 0;
};

struct Phase {
    bool ok = false;
    double seconds = 0;
    int64_t peakKiB = 0;
};

// Runs `body` (which returns its seconds, negative on failure) in a forked child.
Phase inChild(const std::function<double()>& body) {
    int channel[2];
    if (::pipe(channel) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return {};
    if (pid == 0) {
        ::close(channel[0]);
        ChildReport report;
        report.seconds = body();
        report.ok = report.seconds >= 0;
        report.highWaterKiB = highWaterMarkKiB();
        const ssize_t written = ::write(channel[1], &report, sizeof report);
        ::_exit(written == static_cast<ssize_t>(sizeof report) ? 0 : 1);
    }
    ::close(channel[1]);
    ChildReport report;
    size_t received = 0;
    auto* bytes = reinterpret_cast<char*>(&report);
    while (received < sizeof report) {
        const ssize_t read = ::read(channel[0], bytes + received, sizeof report - received);
        if (read < 0 && errno == EINTR) continue;
        if (read <= 0) break;
        received += static_cast<size_t>(read);
    }
    ::close(channel[0]);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    return {received == sizeof report && report.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0,
            report.seconds, std::max<int64_t>(usage.ru_maxrss, report.highWaterKiB)};
}

// `body`'s figures less an idle child's, forked from the same parent.
Phase measured(const std::function<double()>& body) {
    const Phase idle = inChild([] { return 0.0; });
    Phase phase = inChild(body);
    phase.peakKiB = std::max<int64_t>(phase.peakKiB - idle.peakKiB, 0);
    return phase;
}

void print(const char* name, const Phase& phase, const char* note = "") {
    std::printf("%-8s %8.3f s %8.1f MiB  %s%s\n", name, phase.seconds,
                static_cast<double>(phase.peakKiB) / 1024.0, phase.ok ? "" : "FAILED ", note);
}

class OneReply : public PrivilegedScanning {
public:
    explicit OneReply(const PrivilegedNode& record) : record_(record) {}
    PrivilegedWalk walkSubtree(const std::string&) override { return {record_, false}; }

private:
    const PrivilegedNode& record_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: privileged-bench DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const DiskScanner scanner(200);

    // The reference: the scan of DIR, measured before this process starts a thread.
    const Phase scan = measured([&] {
        const auto start = Clock::now();
        const auto result = scanner.scanToEnd(dir, true, "/nonexistent");
        return result ? secondsSince(start) : -1.0;
    });
    const auto scanned = scanner.scanToEnd(dir, true, "/nonexistent");
    if (!scanned) {
        std::fprintf(stderr, "%s cannot be scanned\n", dir.c_str());
        return 1;
    }
    const FileNode& tree = scanned->root;
    std::printf("%s: %lld files, %lld folders\n", dir.c_str(), static_cast<long long>(tree.fileCount()),
                static_cast<long long>(tree.folderCount()));

    // The helper: the reply frame for the walked tree, as it goes on the wire.
    const Phase encode = measured([&] {
        const auto start = Clock::now();
        const std::string record = encodePrivilegedNode(privilegedNodeFromScan(tree));
        const std::string reply =
            nlohmann::json{{"id", 1}, {"data", platform::base64Encoded(record)}, {"error", nullptr}}.dump();
        const std::string frame = framed(reply);
        return frame.size() > 4 ? secondsSince(start) : -1.0;
    });
    const std::string frame = framed(
        nlohmann::json{{"id", 1},
                       {"data", platform::base64Encoded(encodePrivilegedNode(privilegedNodeFromScan(tree)))},
                       {"error", nullptr}}
            .dump());
    const std::string asked = tree.path();

    // The client: from the frame's bytes to the walked records.
    const Phase decode = measured([&] {
        const auto start = Clock::now();
        const auto message = nlohmann::json::parse(std::string_view(frame).substr(4));
        const auto bytes = platform::base64Decoded(message["data"].get<std::string>());
        if (!bytes) return -1.0;
        const auto records = decodePrivilegedNode(*bytes, asked);
        return records ? secondsSince(start) : -1.0;
    });
    const auto records = decodePrivilegedNode(
        *platform::base64Decoded(nlohmann::json::parse(std::string_view(frame).substr(4))["data"].get<std::string>()),
        asked);

    // The merge: the records grafted in place of the denied folder.
    const std::string parent = asked.substr(0, asked.rfind('/'));
    const FolderPath parentFolder = FolderPath::root(parent.empty() ? "/" : parent);
    const FileNode scannedParent = FileNode::folder(
        parentFolder, parentFolder.name(), std::nullopt,
        {FileNode::under(parentFolder, tree.name(), NodeFields{.isDirectory = true, .folderCount = 1})});
    const Phase merge = measured([&] {
        if (!records) return -1.0;
        DiskScanResult result{.root = scannedParent, .deniedPaths = {{asked, parentFolder.text(), 4096}}};
        OneReply helper(*records);
        const auto start = Clock::now();
        const DiskScanResult merged = augmentScanResult(result, helper, "/nonexistent");
        return merged.root.fileCount() == tree.fileCount() ? secondsSince(start) : -1.0;
    });

    std::printf("reply    %8.1f MiB on the wire\n", static_cast<double>(frame.size()) / (1 << 20));
    print("scan", scan);
    print("encode", encode);
    print("decode", decode);
    print("merge", merge, "(convert and graft)");
    const double seconds = encode.seconds + decode.seconds + merge.seconds;
    const int64_t peakKiB = std::max({encode.peakKiB, decode.peakKiB, merge.peakKiB});
    std::printf("path     %8.3f s %8.1f MiB  = %.2f x the scan's time, %.2f x its memory (target 3 x)\n",
                seconds, static_cast<double>(peakKiB) / 1024.0, seconds / std::max(scan.seconds, 1e-9),
                static_cast<double>(peakKiB) / static_cast<double>(std::max<int64_t>(scan.peakKiB, 1)));
    return 0;
}
