// A stand-in for quillmere-helper that answers each walk in a chosen wrong (or right) way.
// Usage: misbehaving-helper SOCKET MODE [DELAY_MS]. Prints READY once it listens. Each
// connection it accepts adds a line to SOCKET.connections, each request it reads one to
// SOCKET.requests, and each answer it is done with (sent or not) one to SOCKET.answers, so a
// test can wait for what the double has done.
#include "access/HelperWire.hpp"
#include "access/PrivilegedNode.hpp"
#include "access/helper/HelperServer.hpp"
#include "platform/Base64.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace quillmere;

namespace {
// The tree the double claims for `path`: the folder with one file of 4096 bytes.
std::string goodRecord(const std::string& path) {
    PrivilegedNode file{
        .name = "inside.bin", .path = path + "/inside.bin", .allocatedSize = 4096, .fileCount = 1};
    PrivilegedNode folder{.name = path.substr(path.rfind('/') + 1),
                          .path = path,
                          .isDirectory = true,
                          .allocatedSize = 4096,
                          .folderCount = 1,
                          .fileCount = 1,
                          .children = {file}};
    return encodePrivilegedNode(folder);
}

std::string reply(int64_t id, const nlohmann::json& data, const nlohmann::json& error) {
    return nlohmann::json{{"id", id}, {"data", data}, {"error", error}}.dump();
}

const char* const kRandomModes[] = {"good",          "decline",     "dataAndError", "undecodable",
                                    "neither",       "wrongRoot",   "garbage",      "hugeHeader",
                                    "closeMidReply", "secondReply", "unknownId"};

// False when the connection is to end.
bool answer(int socket, int64_t id, const std::string& path, std::string mode, int delayMs,
            std::mt19937& random) {
    if (mode == "random") mode = kRandomModes[random() % std::size(kRandomModes)];
    if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    const std::string data = platform::base64Encoded(goodRecord(path));
    const std::string good = framed(reply(id, data, nullptr));
    const std::string_view goodHalf = std::string_view(good).substr(0, good.size() / 2);
    if (mode == "good" || mode == "late") return sendAll(socket, good);
    if (mode == "hang") {
        std::this_thread::sleep_for(std::chrono::seconds(30));
        return false;
    }
    if (mode == "decline") return sendAll(socket, framed(reply(id, nullptr, "Not today.")));
    if (mode == "dataAndError") return sendAll(socket, framed(reply(id, data, "Refused anyway.")));
    if (mode == "undecodable")
        return sendAll(socket, framed(reply(id, platform::base64Encoded("{\"name\":1}"), nullptr)));
    if (mode == "neither") return sendAll(socket, framed(nlohmann::json{{"id", id}}.dump()));
    if (mode == "wrongRoot") {
        return sendAll(socket,
                       framed(reply(id, platform::base64Encoded(goodRecord(path + "-elsewhere")), nullptr)));
    }
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
        return sendAll(socket, good) && sendAll(socket, framed(reply(id, nullptr, "A second answer.")));
    if (mode == "unknownId")
        return sendAll(socket, framed(reply(id + 1000, nullptr, "Not yours."))) && sendAll(socket, good);
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
