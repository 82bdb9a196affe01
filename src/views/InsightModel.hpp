#pragma once

#include "scan/DiskInsights.hpp"
#include "scan/FileNode.hpp"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the insight screens compute and show, apart from drawing: the keys that decide when a
// computation runs again, the four computations, and the small rules of their rows and bars.
namespace quillmere::views::insight {

inline constexpr int64_t kListLimit = 100;
inline constexpr int64_t kLargestPerKind = 8;

// The identity of one computation over a folder: a change of the folder shown, its bytes,
// files or folders (a finished scan, a deletion) starts a new one; anything else does not.
struct InsightTaskKey {
    std::string path;
    int64_t bytes = 0;
    int64_t files = 0;
    int64_t folders = 0;
    bool operator==(const InsightTaskKey&) const = default;
    static InsightTaskKey of(const FileNode& folder);
};

// The untouched list also depends on the threshold read when it starts.
struct UntouchedTaskKey {
    InsightTaskKey tree;
    int years = 1;
    bool operator==(const UntouchedTaskKey&) const = default;
};

// The four computations, each one walk of the folder's subtree, safe on any thread, cut short
// once `cancelled` is set (see DiskInsights).
std::vector<DiskInsights::Item> largestItems(const FileNode& folder,
                                             const std::atomic<bool>* cancelled = nullptr);
DiskInsights::KindBreakdown kindBreakdown(const FileNode& folder,
                                          const std::atomic<bool>* cancelled = nullptr);
DiskInsights::AgeBreakdown ageBreakdown(const FileNode& folder, Date now,
                                        const std::atomic<bool>* cancelled = nullptr);
// The 100 largest items unchanged for `years` calendar years before `now`, ties in walk order;
// empty when the calendar cannot form that date.
std::vector<DiskInsights::Item> untouchedItems(const FileNode& folder, Date now, int years,
                                               const std::atomic<bool>* cancelled = nullptr);

// `years` calendar years before `now`. Nothing for a threshold whose negation does not exist
// or that leads beyond the dates the calendar can represent.
std::optional<Date> untouchedCutoff(Date now, int years);

// The item's folder relative to the folder on screen; nothing for a direct child or an item
// outside it.
std::optional<std::string> relativeFolder(const std::string& rootPath, const std::string& itemPath);

// The detail line's parts: where the item is, when it changed (`formattedDate` is the date as
// the user reads it, when it has one), and whether it is a folder counted as one item.
std::vector<std::string> detailParts(const std::optional<std::string>& relativeFolder,
                                     const std::optional<std::string>& formattedDate, bool isDirectory);
std::string joinDetail(const std::vector<std::string>& parts);

// The bar scale of a list: its first (largest) item's bytes.
int64_t listMaxBytes(const std::vector<DiskInsights::Item>& items);
// bytes / maxBytes, 0 when the scale is below 1.
double barFraction(int64_t bytes, int64_t maxBytes);
// The filled width of a bar: the fraction clamped to 0...1, NaN counting as 0.
double barFillWidth(double trackWidth, double fraction);

// A kind row opens when it has items to show.
bool isExpandable(const DiskInsights::KindBucket& bucket);
// The kinds expanded after one toggle.
std::vector<FileKind> toggled(std::vector<FileKind> expanded, FileKind kind);

// One segment of the age bar: a band with at least 1 byte, in band order.
struct AgeSegment {
    DiskInsights::AgeBand band = DiskInsights::AgeBand::undated;
    int64_t bytes = 0;
    bool operator==(const AgeSegment&) const = default;
};
std::vector<AgeSegment> ageSegments(const DiskInsights::AgeBreakdown& breakdown);
// Widths of the segments in a bar `width` wide: max(width × share − 2, 2) each.
std::vector<double> ageSegmentWidths(const std::vector<AgeSegment>& segments, int64_t totalBytes,
                                     double width);

// The years the screen offers, in order.
inline constexpr std::array<int, 3> kYearChoices = {1, 2, 5};

} // namespace quillmere::views::insight
