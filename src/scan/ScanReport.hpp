#pragma once

#include "scan/DiskScanner.hpp"

#include <ostream>
#include <string>
#include <string_view>

namespace quillmere {

// The command-line scan report: one line per progress event, then a summary.
void printProgressLine(std::ostream& out, const ScanProgress& progress);
void printScanSummary(std::ostream& out, const std::string& rootPath, const DiskScanResult& result);

// `text` with every control character shown as an escape ("\n", "\t", "\x1b"), so that a
// name takes exactly one line of the report.
std::string escapedForLine(std::string_view text);

// Scans `root` to its end, printing the report to `out`. Nothing goes to standard error.
// `hasFullDiskAccess` is the caller's answer to the access test.
void runScanDebugReport(const std::string& root, std::ostream& out, bool hasFullDiskAccess,
                        const DiskScanner& scanner = DiskScanner(200));

} // namespace quillmere
