// privileged-scan ROOT [SOCKET [HELPER_UID]]: scans ROOT as the user running it, merges what
// the privileged helper at SOCKET walks of the denied folders, and prints the totals.
// Without SOCKET it prints the scan's own totals (run it as root to compare).
#include "access/PrivilegedScanClient.hpp"
#include "access/PrivilegedWalkMerge.hpp"
#include "scan/DiskScanner.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace quillmere;

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "Usage: privileged-scan ROOT [SOCKET [HELPER_UID]]\n");
        return 2;
    }
    const std::string root = argv[1];
    const char* home = std::getenv("HOME");
    const std::string homeDirectory = home != nullptr ? home : "/nonexistent";
    auto result = DiskScanner().scanToEnd(root, true, homeDirectory);
    if (!result) {
        std::fprintf(stderr, "The folder %s cannot be scanned.\n", root.c_str());
        return 1;
    }
    const auto printTotals = [&](const char* label) {
        std::printf("%s: size %lld, folders %lld, files %lld, denied %zu\n", label,
                    static_cast<long long>(result->root.allocatedSize()),
                    static_cast<long long>(result->root.folderCount()),
                    static_cast<long long>(result->root.fileCount()), result->deniedPaths.size());
    };
    printTotals("scanned");
    if (argc >= 3) {
        // The helper is reached directly here: there is no service manager to ask.
        FakeHelperServiceManager service;
        service.setRawStatus(PrivilegedScanStatus::kEnabled);
        const uid_t helperUser = argc == 4 ? static_cast<uid_t>(std::strtoul(argv[3], nullptr, 10)) : 0;
        PrivilegedScanClient client(service, SyslogPrivilegedScanLog::shared(),
                                    {.socketPath = argv[2], .expectedUser = helperUser});
        result = augmentScanResult(std::move(*result), client, homeDirectory);
        printTotals("merged");
    }
    return 0;
}
