#include "scan/ScanReport.hpp"

#include "platform/HostSystem.hpp"
#include "scan/Format.hpp"

#include <algorithm>

namespace quillmere {

void printProgressLine(std::ostream& out, const ScanProgress& progress) {
    out << "\u2026 " << formatByteCount(progress.bytesScanned) << " across " << progress.filesScanned
        << " files \u2014 " << progress.currentPath << '\n';
}

void printScanSummary(std::ostream& out, const std::string& rootPath, const DiskScanResult& result) {
    out << "\nScanned " << rootPath << " in " << formatFixed2(result.elapsedSeconds) << "s\n";
    out << "Total: " << formatByteCount(result.root.allocatedSize()) << '\n';
    out << "Cloud-only files (never downloaded): " << result.root.cloudOnlyCount() << '\n';
    out << "Top-level entries:\n";
    const auto kids = result.root.children();
    std::vector<const FileNode*> entries;
    for (const FileNode& child : kids)
        entries.push_back(&child);
    std::stable_sort(entries.begin(), entries.end(), [](const FileNode* a, const FileNode* b) {
        return a->allocatedSize() > b->allocatedSize();
    });
    for (const FileNode* entry : entries) {
        out << "  " << formatByteCount(entry->allocatedSize()) << '\t' << entry->name();
        if (entry->isSharedElsewhere()) out << " (shared)";
        if (entry->isCloudOnly()) out << " (cloud-only)";
        out << '\n';
    }
    out << "Denied: " << result.deniedPaths.size() << " path(s), ~"
        << formatByteCount(result.deniedBytesEstimate) << " estimated\n";
}

void runScanDebugReport(const std::string& root, std::ostream& out, bool hasFullDiskAccess,
                        const DiskScanner& scanner) {
    ScanEventStream stream = scanner.scan(root, nullptr, hasFullDiskAccess, platform::homeDirectory());
    while (std::optional<ScanEvent> event = stream.next()) {
        if (const auto* progress = std::get_if<ScanProgress>(&*event)) {
            printProgressLine(out, *progress);
        } else {
            const auto& result = std::get<DiskScanResult>(*event);
            printScanSummary(out, result.root.path(), result);
        }
        out.flush();
    }
}

} // namespace quillmere
