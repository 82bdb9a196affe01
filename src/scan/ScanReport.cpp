#include "scan/ScanReport.hpp"

#include "base/Format.hpp"
#include "platform/HostSystem.hpp"

#include <algorithm>

namespace quillmere {

std::string escapedForLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            constexpr char kDigits[] = "0123456789abcdef";
            out += "\\x";
            out += kDigits[byte >> 4];
            out += kDigits[byte & 0xF];
        }
    }
    return out;
}

void printProgressLine(std::ostream& out, const ScanProgress& progress) {
    out << "\u2026 " << formatByteCount(progress.bytesScanned) << " across " << progress.filesScanned
        << " files \u2014 " << escapedForLine(progress.currentPath) << '\n';
}

void printScanSummary(std::ostream& out, const std::string& rootPath, const DiskScanResult& result) {
    out << "\nScanned " << escapedForLine(rootPath) << " in " << formatFixed2(result.elapsedSeconds) << "s\n";
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
        out << "  " << formatByteCount(entry->allocatedSize()) << '\t' << escapedForLine(entry->name());
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
