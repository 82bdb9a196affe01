// Prints the command-line scan report for any folder (the application itself always scans "/").
#include "access/AccessAuditor.hpp"
#include "scan/ScanReport.hpp"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "Usage: scan-report FOLDER\n";
        return 2;
    }
    quillmere::runScanDebugReport(argv[1], std::cout, quillmere::AccessAuditor::hasFullDiskAccess());
    return 0;
}
