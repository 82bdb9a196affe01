#pragma once

#include "scan/DiskScanner.hpp"

#include <ostream>
#include <string>

namespace quillmere {

// The command-line scan report: one line per progress event, then a summary.
void printProgressLine(std::ostream& out, const ScanProgress& progress);
void printScanSummary(std::ostream& out, const std::string& rootPath, const DiskScanResult& result);

// Scans `root` to its end, printing the report to `out`. Nothing goes to standard error.
// `hasFullDiskAccess` is the caller's answer to the access test.
void runScanDebugReport(const std::string& root, std::ostream& out, bool hasFullDiskAccess,
                        const DiskScanner& scanner = DiskScanner(200));

} // namespace quillmere
