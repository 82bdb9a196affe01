// A stand-in for quillmere-helper that answers each walk in a chosen wrong (or right) way.
// Usage: misbehaving-helper SOCKET MODE [DELAY_MS]. Prints READY once it listens. Each
// connection it accepts adds a line to SOCKET.connections, each request it reads one to
// SOCKET.requests, and each answer it is done with (sent or not) one to SOCKET.answers, so a
// test can wait for what the double has done.
#include "access/HelperWire.hpp"
#include "access/PrivilegedNode.hpp"
#include "access/helper/HelperServer.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace quillmere;

namespace {
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

PrivilegedNode fileIn(const std::string& folder, const std::string& name, int64_t bytes) {
    return {.name = name, .path = folder + "/" + name, .allocatedSize = bytes, .fileCount = 1};
}

// The tree the double claims for `path`: the folder with `files` in it.
std::string recordOf(const std::string& path, std::vector<PrivilegedNode> files) {
    PrivilegedNode folder{
        .name = path.substr(path.rfind('/') + 1), .path = path, .isDirectory = true, .folderCount = 1};
    for (const PrivilegedNode& file : files) {
        folder.allocatedSize += file.allocatedSize < kMax - folder.allocatedSize ? file.allocatedSize : 0;
        folder.fileCount += file.fileCount;
    }
    folder.children = std::move(files);
    return encodePrivilegedNode(folder);
}

std::string goodRecord(const std::string& path) {
    return recordOf(path, {fileIn(path, "inside.bin", 4096)});
}

std::string replyObject(int64_t id, const nlohmann::json& error, bool chunks) {
    nlohmann::json reply{{"id", id}, {"error", error}};
    if (chunks) reply["chunks"] = true;
    return framed(reply.dump());
}

// The record after its reply object, in chunks of a few bytes (so that every token of it
// crosses pieces), then the end.
std::string streamed(int64_t id, const std::string& record, const nlohmann::json& error = nullptr) {
    std::string out = replyObject(id, error, true);
    for (size_t at = 0; at < record.size(); at += 7)
        out += framed(std::string(1, kChunkData) + record.substr(at, 7));
    out += framed(std::string(1, kChunkEnd));
    return out;
}

const char* const kRandomModes[] = {"good",      "decline",   "dataAndError", "undecodable",   "neither",
                                    "wrongRoot", "garbage",   "hugeHeader",   "closeMidReply", "secondReply",
                                    "unknownId", "hugeSizes", "sameNames",    "giveUp"};

// False when the connection is to end.
bool answer(int socket, int64_t id, const std::string& path, std::string mode, int delayMs,
            std::mt19937& random) {
    if (mode == "random") mode = kRandomModes[random() % std::size(kRandomModes)];
    if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    const std::string good = streamed(id, goodRecord(path));
    const std::string_view goodHalf = std::string_view(good).substr(0, good.size() / 2);
    if (mode == "good" || mode == "late") return sendAll(socket, good);
    if (mode == "hang") {
        std::this_thread::sleep_for(std::chrono::seconds(30));
        return false;
    }
    if (mode == "decline") return sendAll(socket, replyObject(id, "Not today.", false));
    if (mode == "dataAndError") return sendAll(socket, streamed(id, goodRecord(path), "Refused anyway."));
    if (mode == "undecodable") return sendAll(socket, streamed(id, "{\"name\":1}"));
    if (mode == "neither") return sendAll(socket, framed(nlohmann::json{{"id", id}}.dump()));
    if (mode == "wrongRoot") return sendAll(socket, streamed(id, goodRecord(path + "-elsewhere")));
    // Sizes whose sum is beyond 64 bits, and two children of one name: totals that do not add up.
    if (mode == "hugeSizes")
        return sendAll(socket,
                       streamed(id, recordOf(path, {fileIn(path, "a", kMax), fileIn(path, "b", kMax)})));
    if (mode == "sameNames")
        return sendAll(socket, streamed(id, recordOf(path, {fileIn(path, "a", 10), fileIn(path, "a", 10)})));
    // One file as large as 64 bits hold: no volume is.
    if (mode == "maxSize") return sendAll(socket, streamed(id, recordOf(path, {fileIn(path, "a", kMax)})));
    if (mode == "giveUp")
        return sendAll(socket, replyObject(id, nullptr, true) + framed(std::string(1, kChunkData) + "{\"na") +
                                   framed(std::string(1, kChunkAbort) + "Too much."));
    if (mode == "garbage") return sendAll(socket, framed("this is not JSON"));
    if (mode == "hugeHeader") return sendAll(socket, std::string("\xff\xff\xff\xff", 4)) && false;
    if (mode == "closeMidReply") return sendAll(socket, goodHalf) && false;
    if (mode == "dieMidReply") {
        sendAll(socket, goodHalf);
        std::_Exit(3);
    }
    if (mode == "dieAfterReply") {
        sendAll(socket, good);
        std::_Exit(0);
    }
    if (mode == "secondReply")
        return sendAll(socket, good) && sendAll(socket, replyObject(id, "A second answer.", false));
    if (mode == "unknownId")
        return sendAll(socket, replyObject(id + 1000, "Not yours.", false)) && sendAll(socket, good);
    return false;
}
} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    if (argc < 3) return 2;
    const std::string path = argv[1];
    const std::string mode = argv[2];
    const int delayMs = argc > 3 ? std::atoi(argv[3]) : 0;
    auto listener = listenAtPath(path, 0600);
    if (!listener) {
        std::fprintf(stderr, "%s\n", listener.error().c_str());
        return 1;
    }
    std::printf("READY\n");
    std::fflush(stdout);
    for (;;) {
        const int client = ::accept4(listener->get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        std::ofstream(path + ".connections", std::ios::app) << "connection\n";
        std::thread([client, mode, delayMs, path] {
            platform::Fd socket(client);
            std::mt19937 random(static_cast<unsigned>(client) * 7919u + 1u);
            for (;;) {
                auto frame = readFrame(socket.get(), kHelperRequestLimit, -1);
                if (!frame) return;
                const auto request = nlohmann::json::parse(*frame, nullptr, false);
                if (!request.is_object()) return;
                std::ofstream(path + ".requests", std::ios::app) << "request\n";
                const bool goesOn = answer(socket.get(), request.value("id", int64_t{0}),
                                           request.value("path", std::string()), mode, delayMs, random);
                std::ofstream(path + ".answers", std::ios::app) << "answer\n";
                if (!goesOn) return;
            }
        }).detach();
    }
}
