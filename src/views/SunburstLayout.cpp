#include "views/SunburstLayout.hpp"

#include "scan/Format.hpp"

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
    std::vector<SizedChild> kept;
    int64_t total = 0;
    for (const FileNode& child : children) {
        if (!getsArc(child)) continue;
        kept.push_back({&child, child.allocatedSize()});
        total += child.allocatedSize();
    }
    if (total < 1) return;
    std::stable_sort(kept.begin(), kept.end(),
                     [](const SizedChild& a, const SizedChild& b) { return a.size > b.size; });

    const double span = end - start;
    const double totalBytes = static_cast<double>(total);
    std::size_t ownCount = 0;
    while (ownCount < kept.size() &&
           span * (static_cast<double>(kept[ownCount].size) / totalBytes) >= kMinimumOwnArc)
        ++ownCount;
    const bool hasPooled = ownCount < kept.size();

    double cursor = start;
    for (std::size_t i = 0; i < ownCount; ++i) {
        const FileNode& child = *kept[i].node;
        const bool isLast = i + 1 == ownCount && !hasPooled;
        const double arcEnd = isLast ? end : cursor + span * static_cast<double>(kept[i].size) / totalBytes;
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
    int64_t pooledBytes = 0;
    for (std::size_t i = ownCount; i < kept.size(); ++i)
        pooledBytes += kept[i].size;
    const std::size_t pooledCount = kept.size() - ownCount;
    std::string name =
        pooledCount == 1 ? std::string(kept[ownCount].node->name()) : std::to_string(pooledCount) + " more";
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
