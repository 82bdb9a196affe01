#pragma once

#include "scan/FileKind.hpp"
#include "scan/FileNode.hpp"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

// Answers for the insight screens: the largest things in a folder, the bytes per kind and
// per age, and what has not been touched in years. Every operation is a pure function of
// the tree and the dates given, one walk that stops at classified items, safe on any thread
// and on trees of any depth. Given a `cancelled` flag, a computation checks it every few
// thousand nodes it visits, inside packages as well, and once it is set ends with what it
// has: a result only for a caller that no longer wants it.
namespace quillmere::DiskInsights {

// Modification dates before 1 January 1980 UTC come from unset or broken clocks and count
// as no date at all.
inline constexpr Date kEarliestPlausibleDate = 315'532'800.0;

// A classified file, package or folder, identified by its node's path.
struct Item {
    FileNode node;
    FileKind kind = FileKind::other;
    // The newest date inside for packages and build folders; none for unexplored folders.
    std::optional<Date> modificationDate;
};

struct KindBucket {
    FileKind kind = FileKind::other;
    int64_t bytes = 0;
    int64_t itemCount = 0;
    // Largest first; always empty for unexplored folders and small-file aggregates.
    std::vector<Item> largestItems;
};

struct KindBreakdown {
    std::vector<KindBucket> buckets; // largest first, kinds without bytes left out
    int64_t totalBytes = 0;
};

enum class AgeBand { overFiveYears, twoToFiveYears, oneToTwoYears, pastYear, undated };

inline constexpr std::array<AgeBand, 5> allAgeBands() {
    return {AgeBand::overFiveYears, AgeBand::twoToFiveYears, AgeBand::oneToTwoYears, AgeBand::pastYear,
            AgeBand::undated};
}

struct AgeBreakdown {
    std::map<AgeBand, int64_t> bytesByBand; // bands without items have no entry
    int64_t totalBytes = 0;
    bool operator==(const AgeBreakdown&) const = default;
};

// Calls `visitor` once per classified item below `folder` (never the folder itself), depth
// first in child order. Shared and cloud-only nodes are skipped with everything below them,
// classified nodes are not entered, and items without bytes are left out.
void visitClassifiedItems(const FileNode& folder, const std::function<void(Item)>& visitor);

// The largest items, ties in walk order, without unexplored folders and aggregates.
std::vector<Item> largestItems(const FileNode& folder, int64_t limit,
                               const std::atomic<bool>* cancelled = nullptr);

KindBreakdown kindBreakdown(const FileNode& folder, int64_t largestPerKind,
                            const std::atomic<bool>* cancelled = nullptr);

// Bytes per age band relative to `now`, by local calendar years.
AgeBreakdown ageBreakdown(const FileNode& folder, Date now, const std::atomic<bool>* cancelled = nullptr);

// Dated items modified before `cutoff`, in walk order, without unexplored folders and aggregates.
std::vector<Item> untouchedItems(const FileNode& folder, Date cutoff);
// The `limit` largest of those, ties in walk order.
std::vector<Item> largestUntouchedItems(const FileNode& folder, Date cutoff, int64_t limit,
                                        const std::atomic<bool>* cancelled = nullptr);

// Dates exactly one, two or five calendar years before `now` fall in the younger band; dates
// after `now` are in the past year.
AgeBand ageBand(std::optional<Date> date, Date now);

// The latest plausible date of the folder and everything below it, shared and cloud-only
// items included.
std::optional<Date> newestDate(const FileNode& folder);

} // namespace quillmere::DiskInsights
