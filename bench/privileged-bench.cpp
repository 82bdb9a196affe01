// Times the privileged path against the scan it extends: the helper writing a walked tree as
// its reply, the client decoding that reply into the tree, and the merge grafting it into a
// scan. Run by hand; see bench/README.md.
//
//   privileged-bench DIR          the reply is DIR's own scanned tree
//
// Every phase runs in a forked child: its figure is that child's peak resident memory less
// the peak of an idle child forked at the same moment, so what the parent holds (the tree,
// the reply bytes) is not counted again.
#include "access/HelperWire.hpp"
#include "access/PrivilegedTreeDecoder.hpp"
#include "access/PrivilegedWalkMerge.hpp"
#include "access/helper/HelperRecord.hpp"
#include "scan/DiskScanner.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
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
    explicit OneReply(const FileNode& tree) : tree_(tree) {}
    PrivilegedWalk walkSubtree(const std::string&) override { return {.tree = tree_}; }

private:
    const FileNode& tree_;
};

// The record's text in the pieces the helper sends.
class Pieces final : public PrivilegedReplySource {
public:
    explicit Pieces(std::string_view text) : text_(text) {}
    std::string_view next() override {
        const std::string_view piece = text_.substr(0, kHelperChunkBytes);
        text_.remove_prefix(piece.size());
        return piece;
    }

private:
    std::string_view text_;
};

// The chunk frames of one record as they arrive on a socket.
class SocketChunks final : public PrivilegedReplySource {
public:
    explicit SocketChunks(int socket) : socket_(socket) {}
    std::string_view next() override {
        if (ended_) return {};
        auto frame = readFrame(socket_, kHelperChunkBytes + 1, -1);
        if (!frame || frame->empty() || (*frame)[0] != kChunkData) {
            ended_ = true;
            return {};
        }
        chunk_ = std::move(*frame);
        return std::string_view(chunk_).substr(1);
    }

private:
    int socket_;
    std::string chunk_;
    bool ended_ = false;
};

// Writes the tree as the helper does: each chunk framed and sent as it is made.
bool sendTree(int socket, const FileNode& tree) {
    std::string frame;
    auto send = [&](std::string_view piece) {
        frame.assign(1, kChunkData);
        frame.append(piece);
        return sendAll(socket, framed(frame));
    };
    return writeScannedTree(tree, kHelperChunkBytes, send) &&
           sendAll(socket, framed(std::string(1, kChunkEnd)));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: privileged-bench DIR\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
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
    const std::string asked = tree.path();
    std::printf("%s: %lld files, %lld folders\n", dir.c_str(), static_cast<long long>(tree.fileCount()),
                static_cast<long long>(tree.folderCount()));

    // The helper: the walked tree written as its reply, chunk by chunk, each framed.
    const Phase encode = measured([&] {
        const auto start = Clock::now();
        uint64_t bytes = 0;
        std::string frame;
        auto count = [&](std::string_view piece) {
            frame.assign(1, kChunkData);
            frame.append(piece);
            bytes += framed(frame).size();
            return true;
        };
        return writeScannedTree(tree, kHelperChunkBytes, count) && bytes > 0 ? secondsSince(start) : -1.0;
    });
    std::string text;
    auto keep = [&](std::string_view piece) {
        text.append(piece);
        return true;
    };
    writeScannedTree(tree, kHelperChunkBytes, keep);
    const PrivilegedReplyBounds bounds{.askedPath = asked};

    // The client: from the chunks' bytes straight to the tree's nodes.
    const Phase decode = measured([&] {
        Pieces pieces(text);
        const auto start = Clock::now();
        const auto decoded = decodePrivilegedTree(pieces, bounds);
        return decoded && decoded->fileCount() == tree.fileCount() ? secondsSince(start) : -1.0;
    });
    const auto decoded = decodePrivilegedTree(text, bounds);
    if (!decoded) {
        std::fprintf(stderr, "the reply does not decode (%d)\n", static_cast<int>(decoded.error()));
        return 1;
    }
    text = std::string();

    // The merge: the decoded tree grafted in place of the denied folder.
    const std::string parent = asked.substr(0, asked.rfind('/'));
    const FolderPath parentFolder = FolderPath::root(parent.empty() ? "/" : parent);
    const FileNode scannedParent = FileNode::folder(
        parentFolder, parentFolder.name(), std::nullopt,
        {FileNode::under(parentFolder, tree.name(), NodeFields{.isDirectory = true, .folderCount = 1})});
    const Phase merge = measured([&] {
        DiskScanResult result{.root = scannedParent, .deniedPaths = {{asked, parentFolder.text(), 4096}}};
        OneReply helper(*decoded);
        const auto start = Clock::now();
        const DiskScanResult merged = augmentScanResult(result, helper, "/nonexistent");
        return merged.root.fileCount() == tree.fileCount() ? secondsSince(start) : -1.0;
    });

    // Both ends at once, through a socket: what one walk costs from the helper's tree to the
    // client's, the helper's tree aside (the parent holds it).
    const Phase wire = measured([&] {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return -1.0;
        const auto start = Clock::now();
        std::thread helper([&] {
            sendTree(ends[0], tree);
            ::close(ends[0]);
        });
        SocketChunks chunks(ends[1]);
        const auto received = decodePrivilegedTree(chunks, bounds);
        ::shutdown(ends[1], SHUT_RDWR); // a reader that gave up never leaves the writer waiting
        helper.join();
        ::close(ends[1]);
        return received && received->fileCount() == tree.fileCount() ? secondsSince(start) : -1.0;
    });

    print("scan", scan);
    print("encode", encode, "(written in chunks, framed)");
    print("decode", decode, "(straight into the tree)");
    print("merge", merge, "(graft)");
    print("socket", wire, "(encode and decode at once, through a socket)");
    const double seconds = encode.seconds + decode.seconds + merge.seconds;
    const int64_t peakKiB = std::max({encode.peakKiB, decode.peakKiB, merge.peakKiB, wire.peakKiB});
    std::printf("path     %8.3f s %8.1f MiB  = %.2f x the scan's time, %.2f x its memory (target 3 x)\n",
                seconds, static_cast<double>(peakKiB) / 1024.0, seconds / std::max(scan.seconds, 1e-9),
                static_cast<double>(peakKiB) / static_cast<double>(std::max<int64_t>(scan.peakKiB, 1)));
    return 0;
}
