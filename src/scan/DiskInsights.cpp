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

// Counts the nodes a computation visits, in its walk of the folder and in its walks inside
// packages alike, and reads the cancelled flag every few thousand: often enough that a
// cancelled computation over millions of nodes ends within a millisecond or so. Once it has
// seen the flag set it says so for good.
class CancelCheck {
public:
    explicit CancelCheck(const std::atomic<bool>* cancelled) : cancelled_(cancelled) {}

    bool stopNow() {
        if (!cancelled_ || stopped_) return stopped_;
        if (++sinceCheck_ < kNodesBetweenChecks) return false;
        sinceCheck_ = 0;
        stopped_ = cancelled_->load(std::memory_order_relaxed);
        return stopped_;
    }
    bool stopped() const { return stopped_; }

private:
    static constexpr uint32_t kNodesBetweenChecks = 4096;
    const std::atomic<bool>* cancelled_;
    uint32_t sinceCheck_ = 0;
    bool stopped_ = false;
};

std::optional<Date> newestDateWithin(const FileNode& folder, CancelCheck& check) {
    std::optional<Date> newest = plausible(folder.modificationDate());
    PendingChildren pending{folder.children()};
    while (const FileNode* node = nextNode(pending)) {
        if (check.stopNow()) return newest;
        newest = later(newest, plausible(node->modificationDate()));
        // Files keep only their own date; only folders are looked into.
        if (node->isDirectory() && !node->children().empty()) pending.push_back(node->children());
    }
    return newest;
}

std::optional<Date> itemDate(const FileNode& node, FileKind kind, CancelCheck& check) {
    if (kind == FileKind::unexplored) return std::nullopt;
    // A package's own date says little: saving a document inside does not touch it.
    if (node.isDirectory()) return newestDateWithin(node, check);
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
template <class Visit> void forEachClassified(const FileNode& folder, CancelCheck& check, Visit&& visit) {
    PendingChildren pending{folder.children()};
    while (const FileNode* node = nextNode(pending)) {
        if (check.stopNow()) return;
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

    // Largest first; dates are looked up only for the items kept, and none once cancelled.
    std::vector<Item> take(CancelCheck& check) {
        std::sort(heap_.begin(), heap_.end(), ranksAbove);
        std::vector<Item> items;
        items.reserve(heap_.size());
        for (const Entry& entry : heap_) {
            std::optional<Date> date = itemDate(*entry.node, entry.kind, check);
            if (check.stopped()) {
                items.clear();
                break;
            }
            items.push_back(Item{*entry.node, entry.kind, date});
        }
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
    CancelCheck never(nullptr);
    forEachClassified(folder, never, [&](const FileNode& node, FileKind kind) {
        visitor(Item{node, kind, itemDate(node, kind, never)});
    });
}

std::vector<Item> largestItems(const FileNode& folder, int64_t limit, const std::atomic<bool>* cancelled) {
    if (limit < 1) return {};
    CancelCheck check(cancelled);
    LargestKeeper keeper(limit);
    forEachClassified(folder, check, [&](const FileNode& node, FileKind kind) {
        if (isNamedContent(kind)) keeper.offer(node, kind);
    });
    return keeper.take(check);
}

KindBreakdown kindBreakdown(const FileNode& folder, int64_t largestPerKind,
                            const std::atomic<bool>* cancelled) {
    std::array<int64_t, kFileKindCount> bytes{};
    std::array<int64_t, kFileKindCount> counts{};
    std::vector<LargestKeeper> keepers(kFileKindCount, LargestKeeper(largestPerKind));
    CancelCheck check(cancelled);
    forEachClassified(folder, check, [&](const FileNode& node, FileKind kind) {
        const auto index = static_cast<size_t>(kind);
        bytes[index] += node.allocatedSize();
        counts[index] += 1;
        if (isNamedContent(kind)) keepers[index].offer(node, kind);
    });

    KindBreakdown breakdown;
    for (FileKind kind : allFileKinds()) {
        const auto index = static_cast<size_t>(kind);
        if (bytes[index] < 1) continue;
        breakdown.buckets.push_back(
            KindBucket{kind, bytes[index], counts[index], keepers[index].take(check)});
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
    CancelCheck check(cancelled);
    forEachClassified(folder, check, [&](const FileNode& node, FileKind kind) {
        const int64_t size = node.allocatedSize();
        const auto band = static_cast<size_t>(bandFor(itemDate(node, kind, check), cutoffs));
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
    CancelCheck check(cancelled);
    LargestKeeper keeper(limit);
    forEachClassified(folder, check, [&](const FileNode& node, FileKind kind) {
        if (!isNamedContent(kind)) return;
        const std::optional<Date> date = itemDate(node, kind, check);
        if (date && *date < cutoff) keeper.offer(node, kind);
    });
    return keeper.take(check);
}

AgeBand ageBand(std::optional<Date> date, Date now) {
    if (!date) return AgeBand::undated;
    return bandFor(date, bandCutoffs(now));
}

std::optional<Date> newestDate(const FileNode& folder) {
    CancelCheck never(nullptr);
    return newestDateWithin(folder, never);
}

} // namespace quillmere::DiskInsights
