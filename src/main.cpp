#include "scan/ScanReport.hpp"

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

bool isTestHost() {
    return std::getenv("XCTestConfigurationFilePath") != nullptr;
}

bool hasArgument(int argc, char** argv, const char* wanted) {
    for (int i = 0; i < argc; ++i)
        if (std::strcmp(argv[i], wanted) == 0) return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    // Decided before anything touches a display, so the report runs on machines without one.
    if (!isTestHost() && hasArgument(argc, argv, "--scan-debug")) {
        std::ios::sync_with_stdio(false);
        quillmere::runScanDebugReport("/", std::cout);
        std::cout.flush();
        std::exit(0);
    }
    if (isTestHost()) return 0;
    std::cerr
        << "This build of Quillmere has no window yet. Run it with --scan-debug for the command-line scan "
           "report.\n";
    return 2;
}
