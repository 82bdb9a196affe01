#include "views/SunburstLayout.hpp"

#include "base/Format.hpp"

#include <algorithm>

namespace quillmere::views {
namespace {

// An arc narrower than this fraction of a turn (0.72°) is pooled with its small siblings.
constexpr double kMinimumOwnArc = 0.002;

struct SizedChild {
    const FileNode* node;
    int64_t size;
};

bool getsArc(const FileNode& child) {
    return child.allocatedSize() > 0 && (child.isDirectory() || !child.isExcludedFromTotals());
}

SunburstSegment makeSegment(std::string id, std::string name, int64_t size, int ring, double start,
                            double end, bool isOverflow, double usedFraction, const TextMeasurer& measure) {
    SunburstSegment segment;
    segment.id = std::move(id);
    segment.name = std::move(name);
    segment.allocatedSize = size;
    segment.ring = ring;
    segment.startFraction = start;
    segment.endFraction = end;
    segment.isOverflow = isOverflow;
    segment.hue = SunburstLayout::hue((start + end) / 2, usedFraction);
    segment.saturation = kRings[ring].saturation;
    segment.brightness = kRings[ring].brightness;
    segment.label = SunburstLayout::makeLabel(segment.name, size, ring, start, end, measure);
    return segment;
}

} // namespace

double SunburstLayout::hue(double middle, double usedFraction) {
    if (usedFraction <= 0) return 46;
    const double f = middle / usedFraction;
    if (f <= 0) return 46;
    return 46 - 54 * std::min(f, 1.0);
}

void SunburstLayout::appendSegments(std::span<const FileNode> children, int ring, const std::string& parentID,
                                    const std::vector<FileNode>& ancestors,
                                    std::vector<SunburstSegment>& into, double start, double end,
                                    double usedFraction, const TextMeasurer& measure) {
    if (ring > 2 || ring < 0 || !(start < end)) return;
    int64_t total = 0;
    std::size_t keptCount = 0;
    for (const FileNode& child : children) {
        if (!getsArc(child)) continue;
        total += child.allocatedSize();
        ++keptCount;
    }
    if (total < 1) return;

    // Only children that get an arc of their own are sorted: they are the prefix of the
    // size-sorted list, and a folder of 100,000 small items needs no sort at all.
    const double span = end - start;
    const double totalBytes = static_cast<double>(total);
    const auto isOwn = [&](int64_t size) {
        return span * (static_cast<double>(size) / totalBytes) >= kMinimumOwnArc;
    };
    std::vector<SizedChild> own;
    int64_t pooledBytes = 0;
    const FileNode* lastPooled = nullptr;
    for (const FileNode& child : children) {
        if (!getsArc(child)) continue;
        if (isOwn(child.allocatedSize())) {
            own.push_back({&child, child.allocatedSize()});
        } else {
            pooledBytes += child.allocatedSize();
            lastPooled = &child;
        }
    }
    std::stable_sort(own.begin(), own.end(),
                     [](const SizedChild& a, const SizedChild& b) { return a.size > b.size; });
    const std::size_t ownCount = own.size();
    const std::size_t pooledCount = keptCount - ownCount;
    const bool hasPooled = pooledCount > 0;

    double cursor = start;
    for (std::size_t i = 0; i < ownCount; ++i) {
        const FileNode& child = *own[i].node;
        const bool isLast = i + 1 == ownCount && !hasPooled;
        const double arcEnd = isLast ? end : cursor + span * static_cast<double>(own[i].size) / totalBytes;
        SunburstSegment segment =
            makeSegment(parentID + "/" + std::to_string(i), std::string(child.name()), child.allocatedSize(),
                        ring, cursor, arcEnd, false, usedFraction, measure);
        if (!child.isAggregate()) {
            segment.node = child;
            segment.ancestors = ancestors;
        }
        const std::string id = segment.id;
        into.push_back(std::move(segment));
        if (child.isDirectory() && ring + 1 <= 2) {
            std::vector<FileNode> deeper = ancestors;
            deeper.push_back(child);
            appendSegments(child.children(), ring + 1, id, deeper, into, cursor, arcEnd, usedFraction,
                           measure);
        }
        cursor = arcEnd;
    }
    if (!hasPooled) return;
    std::string name =
        pooledCount == 1 ? std::string(lastPooled->name()) : std::to_string(pooledCount) + " more";
    into.push_back(makeSegment(parentID + "/overflow", std::move(name), pooledBytes, ring, cursor, end, true,
                               usedFraction, measure));
}

int64_t sunburstUsedBytes(const FileNode& folder) {
    if (folder.isDirectory()) return folder.allocatedSize();
    return folder.isExcludedFromTotals() ? 0 : folder.allocatedSize();
}

SunburstLayout makeSunburstLayout(const FileNode& folder, const SunburstHostInputs& host,
                                  const TextMeasurer& measure) {
    SunburstLayout layout;
    SunburstLayout::appendSegments(folder.children(), 0, "root", {}, layout.segments, 0, 1, 1, measure);
    layout.volumeName = host.volumeName;
    layout.usedBytes = sunburstUsedBytes(folder);
    layout.totalCapacityBytes = host.chainLength < 2 ? host.volumeCapacityBytes : folder.allocatedSize();
    layout.isScanningNow = host.isScanning;
    return layout;
}

} // namespace quillmere::views
