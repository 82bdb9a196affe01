// quillmere-helper: sizes folders the user's own scan may not open, for group members.
#include "access/helper/HelperServer.hpp"
#include "platform/Descriptors.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <string>

using namespace quillmere;

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    // Its walks keep many folders open at once.
    platform::raiseDescriptorLimit();
    // The helper serves walks for weeks: its memory must go back between them. Few arenas keep
    // the threads of many clients from each keeping pages of their own, and a fixed threshold
    // keeps large blocks (a wide folder's children) out of the heap, returned when freed.
    ::mallopt(M_ARENA_MAX, 2);
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    std::string socketPath;
    mode_t mode = 0660;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--socket" && i + 1 < argc) {
            socketPath = argv[++i];
        } else if (argument == "--socket-mode" && i + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 8);
            if (*end != '\0' || value < 0 || value > 0777) {
                std::fprintf(stderr, "The socket mode must be octal, like 0660.\n");
                return 2;
            }
            mode = static_cast<mode_t>(value);
        } else {
            std::fprintf(stderr, "Usage: quillmere-helper [--socket PATH [--socket-mode MODE]]\n"
                                 "Without --socket it expects the socket from systemd.\n");
            return 2;
        }
    }
    HelperServerOptions options;
    platform::Fd listener;
    if (socketPath.empty()) {
        auto passed = socketFromServiceManager();
        if (!passed) {
            std::fprintf(stderr, "No socket was passed by systemd; give one with --socket PATH.\n");
            return 1;
        }
        listener = std::move(*passed);
        // Started on demand: leave once nobody has needed us for a minute.
        options.exitWhenIdle = std::chrono::milliseconds(60'000);
    } else {
        auto made = listenAtPath(socketPath, mode);
        if (!made) {
            std::fprintf(stderr, "%s\n", made.error().c_str());
            return 1;
        }
        listener = std::move(*made);
    }
    std::printf("READY\n");
    std::fflush(stdout);
    return serveHelper(std::move(listener), options);
}
