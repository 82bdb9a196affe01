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

// Calls `visit(node, kind)` for every classified item, without copying a node or building
// an Item: the computations turn only the few items they keep into Items.
template <class Visit>
void forEachClassified(const FileNode& folder, const std::atomic<bool>* cancelled, Visit&& visit) {
    // Often enough that a cancelled walk of millions of nodes ends within a millisecond or so.
    constexpr uint32_t kNodesBetweenChecks = 4096;
    uint32_t sinceCheck = 0;
    PendingChildren pending{folder.children()};
    while (const FileNode* node = nextNode(pending)) {
        if (cancelled && ++sinceCheck == kNodesBetweenChecks) {
            sinceCheck = 0;
            if (cancelled->load(std::memory_order_relaxed)) return;
        }
        // Their bytes belong to another place or are not on this disk.
        if (node->isExcludedFromTotals()) continue;
        const std::optional<FileKind> kind = classify(*node);
        if (!kind) {
            if (!node->children().empty()) pending.push_back(node->children());
            continue;
        }
        if (node->allocatedSize() <= 0) continue;
        visit(*node, *kind);
    }
}

// The `limit` largest of the items offered, ties in the order offered, kept in a heap of
// `limit` entries instead of a list of every item.
class LargestKeeper {
public:
    explicit LargestKeeper(int64_t limit) : limit_(limit < 1 ? 0 : static_cast<size_t>(limit)) {}

    void offer(const FileNode& node, FileKind kind) {
        if (limit_ == 0) return;
        const Entry entry{node.allocatedSize(), sequence_++, &node, kind};
        if (heap_.size() < limit_) {
            heap_.push_back(entry);
            std::push_heap(heap_.begin(), heap_.end(), ranksAbove);
            return;
        }
        // The heap's front is the entry ranked last; a newcomer only displaces a smaller one.
        if (!ranksAbove(entry, heap_.front())) return;
        std::pop_heap(heap_.begin(), heap_.end(), ranksAbove);
        heap_.back() = entry;
        std::push_heap(heap_.begin(), heap_.end(), ranksAbove);
    }

    // Largest first; dates are looked up only for the items kept.
    std::vector<Item> take() {
        std::sort(heap_.begin(), heap_.end(), ranksAbove);
        std::vector<Item> items;
        items.reserve(heap_.size());
        for (const Entry& entry : heap_)
            items.push_back(Item{*entry.node, entry.kind, itemDate(*entry.node, entry.kind)});
        heap_.clear();
        return items;
    }

private:
    struct Entry {
        int64_t size;
        uint64_t sequence;
        const FileNode* node;
        FileKind kind;
    };
    static bool ranksAbove(const Entry& a, const Entry& b) {
        return a.size != b.size ? a.size > b.size : a.sequence < b.sequence;
    }
    size_t limit_;
    uint64_t sequence_ = 0;
    std::vector<Entry> heap_;
};

} // namespace

void visitClassifiedItems(const FileNode& folder, const std::function<void(Item)>& visitor) {
    forEachClassified(folder, nullptr, [&](const FileNode& node, FileKind kind) {
        visitor(Item{node, kind, itemDate(node, kind)});
    });
}

std::vector<Item> largestItems(const FileNode& folder, int64_t limit, const std::atomic<bool>* cancelled) {
    if (limit < 1) return {};
    LargestKeeper keeper(limit);
    forEachClassified(folder, cancelled, [&](const FileNode& node, FileKind kind) {
        if (isNamedContent(kind)) keeper.offer(node, kind);
    });
    return keeper.take();
}

KindBreakdown kindBreakdown(const FileNode& folder, int64_t largestPerKind,
                            const std::atomic<bool>* cancelled) {
    std::array<int64_t, kFileKindCount> bytes{};
    std::array<int64_t, kFileKindCount> counts{};
    std::vector<LargestKeeper> keepers(kFileKindCount, LargestKeeper(largestPerKind));
    forEachClassified(folder, cancelled, [&](const FileNode& node, FileKind kind) {
        const auto index = static_cast<size_t>(kind);
        bytes[index] += node.allocatedSize();
        counts[index] += 1;
        if (isNamedContent(kind)) keepers[index].offer(node, kind);
    });

    KindBreakdown breakdown;
    for (FileKind kind : allFileKinds()) {
        const auto index = static_cast<size_t>(kind);
        if (bytes[index] < 1) continue;
        breakdown.buckets.push_back(KindBucket{kind, bytes[index], counts[index], keepers[index].take()});
        breakdown.totalBytes += bytes[index];
    }
    std::stable_sort(breakdown.buckets.begin(), breakdown.buckets.end(),
                     [](const KindBucket& a, const KindBucket& b) { return a.bytes > b.bytes; });
    return breakdown;
}

AgeBreakdown ageBreakdown(const FileNode& folder, Date now, const std::atomic<bool>* cancelled) {
    const std::optional<BandCutoffs> cutoffs = bandCutoffs(now);
    constexpr size_t kBands = allAgeBands().size();
    std::array<int64_t, kBands> bytes{};
    std::array<bool, kBands> seen{};
    AgeBreakdown breakdown;
    forEachClassified(folder, cancelled, [&](const FileNode& node, FileKind kind) {
        const int64_t size = node.allocatedSize();
        const auto band = static_cast<size_t>(bandFor(itemDate(node, kind), cutoffs));
        bytes[band] += size;
        seen[band] = true;
        breakdown.totalBytes += size;
    });
    for (const AgeBand band : allAgeBands())
        if (seen[static_cast<size_t>(band)]) breakdown.bytesByBand[band] = bytes[static_cast<size_t>(band)];
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

std::vector<Item> largestUntouchedItems(const FileNode& folder, Date cutoff, int64_t limit,
                                        const std::atomic<bool>* cancelled) {
    if (limit < 1) return {};
    LargestKeeper keeper(limit);
    forEachClassified(folder, cancelled, [&](const FileNode& node, FileKind kind) {
        if (!isNamedContent(kind)) return;
        const std::optional<Date> date = itemDate(node, kind);
        if (date && *date < cutoff) keeper.offer(node, kind);
    });
    return keeper.take();
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
