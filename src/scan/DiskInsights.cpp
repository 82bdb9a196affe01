#include "scan/DiskInsights.hpp"

#include "platform/HostSystem.hpp"

#include <algorithm>
#include <span>

namespace quillmere::DiskInsights {
namespace {

// Children still to be visited, one entry per open folder: the walks keep their place here
// instead of on the call stack, because scanned trees can be 100,000 folders deep.
using PendingChildren = std::vector<std::span<const FileNode>>;

// The next node in depth-first order, or nullptr when the walk is done. The caller pushes a
// node's children to enter it.
const FileNode* nextNode(PendingChildren& pending) {
    while (!pending.empty()) {
        std::span<const FileNode>& rest = pending.back();
        if (rest.empty()) {
            pending.pop_back();
            continue;
        }
        const FileNode* node = &rest.front();
        rest = rest.subspan(1);
        return node;
    }
    return nullptr;
}

std::optional<Date> plausible(std::optional<Date> date) {
    // Written so that a NaN date counts as none.
    if (date && *date >= kEarliestPlausibleDate) return date;
    return std::nullopt;
}

std::optional<Date> later(std::optional<Date> a, std::optional<Date> b) {
    if (!a) return b;
    if (!b) return a;
    return std::max(*a, *b);
}

std::optional<Date> itemDate(const FileNode& node, FileKind kind) {
    if (kind == FileKind::unexplored) return std::nullopt;
    // A package's own date says little: saving a document inside does not touch it.
    if (node.isDirectory()) return newestDate(node);
    return plausible(node.modificationDate());
}

bool isNamedContent(FileKind kind) {
    return kind != FileKind::unexplored && kind != FileKind::smallFiles;
}

void sortLargestFirst(std::vector<Item>& items) {
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        return a.node.allocatedSize() > b.node.allocatedSize();
    });
}

struct BandCutoffs {
    Date fiveYearsBefore;
    Date twoYearsBefore;
    Date oneYearBefore;
};

// Computed once per breakdown: the calendar arithmetic costs far more than a comparison.
std::optional<BandCutoffs> bandCutoffs(Date now) {
    const auto five = platform::addingYears(now, -5);
    const auto two = platform::addingYears(now, -2);
    const auto one = platform::addingYears(now, -1);
    if (!five || !two || !one) return std::nullopt;
    return BandCutoffs{*five, *two, *one};
}

AgeBand bandFor(std::optional<Date> date, const std::optional<BandCutoffs>& cutoffs) {
    if (!date || !cutoffs) return AgeBand::undated;
    if (*date < cutoffs->fiveYearsBefore) return AgeBand::overFiveYears;
    if (*date < cutoffs->twoYearsBefore) return AgeBand::twoToFiveYears;
    if (*date < cutoffs->oneYearBefore) return AgeBand::oneToTwoYears;
    return AgeBand::pastYear;
}

} // namespace

void visitClassifiedItems(const FileNode& folder, const std::function<void(Item)>& visitor) {
    PendingChildren pending{folder.children()};
    while (const FileNode* node = nextNode(pending)) {
        // Their bytes belong to another place or are not on this disk.
        if (node->isExcludedFromTotals()) continue;
        const std::optional<FileKind> kind = classify(*node);
        if (!kind) {
            if (!node->children().empty()) pending.push_back(node->children());
            continue;
        }
        if (node->allocatedSize() <= 0) continue;
        visitor(Item{*node, *kind, itemDate(*node, *kind)});
    }
}

std::vector<Item> largestItems(const FileNode& folder, int64_t limit) {
    if (limit < 1) return {};
    std::vector<Item> items;
    visitClassifiedItems(folder, [&](Item item) {
        if (isNamedContent(item.kind)) items.push_back(std::move(item));
    });
    sortLargestFirst(items);
    if (items.size() > static_cast<uint64_t>(limit)) items.resize(static_cast<size_t>(limit));
    return items;
}

KindBreakdown kindBreakdown(const FileNode& folder, int64_t largestPerKind) {
    std::array<int64_t, kFileKindCount> bytes{};
    std::array<int64_t, kFileKindCount> counts{};
    std::array<std::vector<Item>, kFileKindCount> lists;
    visitClassifiedItems(folder, [&](Item item) {
        const auto index = static_cast<size_t>(item.kind);
        bytes[index] += item.node.allocatedSize();
        counts[index] += 1;
        if (largestPerKind >= 1 && isNamedContent(item.kind)) lists[index].push_back(std::move(item));
    });

    KindBreakdown breakdown;
    for (FileKind kind : allFileKinds()) {
        const auto index = static_cast<size_t>(kind);
        if (bytes[index] < 1) continue;
        std::vector<Item>& list = lists[index];
        sortLargestFirst(list);
        if (list.size() > static_cast<uint64_t>(largestPerKind))
            list.resize(static_cast<size_t>(largestPerKind));
        breakdown.buckets.push_back(KindBucket{kind, bytes[index], counts[index], std::move(list)});
        breakdown.totalBytes += bytes[index];
    }
    std::stable_sort(breakdown.buckets.begin(), breakdown.buckets.end(),
                     [](const KindBucket& a, const KindBucket& b) { return a.bytes > b.bytes; });
    return breakdown;
}

AgeBreakdown ageBreakdown(const FileNode& folder, Date now) {
    const std::optional<BandCutoffs> cutoffs = bandCutoffs(now);
    AgeBreakdown breakdown;
    visitClassifiedItems(folder, [&](Item item) {
        const int64_t size = item.node.allocatedSize();
        breakdown.bytesByBand[bandFor(item.modificationDate, cutoffs)] += size;
        breakdown.totalBytes += size;
    });
    return breakdown;
}

std::vector<Item> untouchedItems(const FileNode& folder, Date cutoff) {
    std::vector<Item> items;
    visitClassifiedItems(folder, [&](Item item) {
        if (isNamedContent(item.kind) && item.modificationDate && *item.modificationDate < cutoff)
            items.push_back(std::move(item));
    });
    return items;
}

AgeBand ageBand(std::optional<Date> date, Date now) {
    if (!date) return AgeBand::undated;
    return bandFor(date, bandCutoffs(now));
}

std::optional<Date> newestDate(const FileNode& folder) {
    std::optional<Date> newest = plausible(folder.modificationDate());
    PendingChildren pending{folder.children()};
    while (const FileNode* node = nextNode(pending)) {
        newest = later(newest, plausible(node->modificationDate()));
        // Files keep only their own date; only folders are looked into.
        if (node->isDirectory() && !node->children().empty()) pending.push_back(node->children());
    }
    return newest;
}

} // namespace quillmere::DiskInsights
