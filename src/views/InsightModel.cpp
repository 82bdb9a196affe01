#include "views/InsightModel.hpp"

#include "platform/HostSystem.hpp"
#include "views/InsightTexts.hpp"

#include <algorithm>
#include <climits>
#include <cmath>

namespace quillmere::views::insight {

InsightTaskKey InsightTaskKey::of(const FileNode& folder) {
    return {folder.path(), folder.allocatedSize(), folder.fileCount(), folder.folderCount()};
}

std::vector<DiskInsights::Item> largestItems(const FileNode& folder, const std::atomic<bool>* cancelled) {
    return DiskInsights::largestItems(folder, kListLimit, cancelled);
}

DiskInsights::KindBreakdown kindBreakdown(const FileNode& folder, const std::atomic<bool>* cancelled) {
    return DiskInsights::kindBreakdown(folder, kLargestPerKind, cancelled);
}

DiskInsights::AgeBreakdown ageBreakdown(const FileNode& folder, Date now,
                                        const std::atomic<bool>* cancelled) {
    return DiskInsights::ageBreakdown(folder, now, cancelled);
}

std::optional<Date> untouchedCutoff(Date now, int years) {
    // The negation of the most negative integer does not exist.
    if (years == INT_MIN) return std::nullopt;
    return platform::addingYears(now, -years);
}

std::vector<DiskInsights::Item> untouchedItems(const FileNode& folder, Date now, int years,
                                               const std::atomic<bool>* cancelled) {
    const auto cutoff = untouchedCutoff(now, years);
    if (!cutoff) return {};
    return DiskInsights::largestUntouchedItems(folder, *cutoff, kListLimit, cancelled);
}

std::optional<std::string> relativeFolder(const std::string& rootPath, const std::string& itemPath) {
    const std::string prefix = rootPath == "/" ? rootPath : rootPath + "/";
    if (!itemPath.starts_with(prefix)) return std::nullopt;
    std::string rest = itemPath.substr(prefix.size());
    // The last component goes, with the slashes before it (a trailing slash is not one).
    while (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    const auto slash = rest.rfind('/');
    if (slash == std::string::npos) return std::nullopt;
    rest.resize(slash);
    while (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    if (rest.empty()) return std::nullopt;
    return rest;
}

std::vector<std::string> detailParts(const std::optional<std::string>& relativeFolder,
                                     const std::optional<std::string>& formattedDate, bool isDirectory) {
    std::vector<std::string> parts;
    parts.push_back(relativeFolder ? insight_texts::inFolder(*relativeFolder)
                                   : insight_texts::inThisFolder());
    if (formattedDate) parts.push_back(insight_texts::changedOn(*formattedDate));
    if (isDirectory) parts.push_back(insight_texts::countedAsOneItem());
    return parts;
}

std::string joinDetail(const std::vector<std::string>& parts) {
    std::string line;
    for (const auto& part : parts) {
        if (!line.empty()) line += " \u00b7 ";
        line += part;
    }
    return line;
}

int64_t listMaxBytes(const std::vector<DiskInsights::Item>& items) {
    return items.empty() ? 0 : items.front().node.allocatedSize();
}

double barFraction(int64_t bytes, int64_t maxBytes) {
    if (maxBytes < 1) return 0;
    return static_cast<double>(bytes) / static_cast<double>(maxBytes);
}

double barFillWidth(double trackWidth, double fraction) {
    if (std::isnan(fraction)) return 0;
    return trackWidth * std::clamp(fraction, 0.0, 1.0);
}

bool isExpandable(const DiskInsights::KindBucket& bucket) {
    return !bucket.largestItems.empty();
}

std::vector<FileKind> toggled(std::vector<FileKind> expanded, FileKind kind) {
    if (const auto at = std::find(expanded.begin(), expanded.end(), kind); at != expanded.end())
        expanded.erase(at);
    else
        expanded.push_back(kind);
    return expanded;
}

std::vector<AgeSegment> ageSegments(const DiskInsights::AgeBreakdown& breakdown) {
    std::vector<AgeSegment> segments;
    for (const auto band : DiskInsights::allAgeBands()) {
        const auto found = breakdown.bytesByBand.find(band);
        const int64_t bytes = found == breakdown.bytesByBand.end() ? 0 : found->second;
        if (bytes >= 1) segments.push_back({band, bytes});
    }
    return segments;
}

std::vector<double> ageSegmentWidths(const std::vector<AgeSegment>& segments, int64_t totalBytes,
                                     double width) {
    std::vector<double> widths;
    widths.reserve(segments.size());
    for (const auto& segment : segments) {
        const double share =
            totalBytes < 1 ? 0.0 : static_cast<double>(segment.bytes) / static_cast<double>(totalBytes);
        widths.push_back(std::max(width * share - 2, 2.0));
    }
    return widths;
}

} // namespace quillmere::views::insight
