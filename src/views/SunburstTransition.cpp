#include "views/SunburstTransition.hpp"

#include <set>

namespace quillmere::views {

SegmentsByPath segmentsByPath(const std::vector<SunburstSegment>& segments) {
    SegmentsByPath byPath;
    for (const SunburstSegment& segment : segments)
        if (segment.node) byPath.insert_or_assign(segment.node->path(), segment);
    return byPath;
}

SunburstDeletionTransition makeDeletionTransition(const SegmentsByPath& previous, int64_t oldUsedBytes,
                                                  const std::vector<SunburstSegment>& newSegments,
                                                  int64_t newUsedBytes) {
    SunburstDeletionTransition transition{oldUsedBytes, newUsedBytes, {}};
    std::set<std::string> matched;
    transition.segments.reserve(newSegments.size() + previous.size());
    for (const SunburstSegment& segment : newSegments) {
        const auto old = segment.node ? previous.find(segment.node->path()) : previous.end();
        if (old != previous.end()) {
            matched.insert(old->first);
            transition.segments.push_back({segment, old->second.startFraction, old->second.endFraction,
                                           segment.startFraction, segment.endFraction, false});
        } else {
            // New arcs and arcs without a node (pooled arcs) stand still at their final place.
            transition.segments.push_back({segment, segment.startFraction, segment.endFraction,
                                           segment.startFraction, segment.endFraction, false});
        }
    }
    for (const auto& [path, old] : previous) {
        if (matched.contains(path)) continue;
        const double middle = (old.startFraction + old.endFraction) / 2;
        transition.segments.push_back({old, old.startFraction, old.endFraction, middle, middle, true});
    }
    return transition;
}

void SunburstTransitionState::appear(const std::vector<SunburstSegment>& segments) {
    previous_ = segmentsByPath(segments);
}

bool SunburstTransitionState::usedBytesChanged(int64_t oldUsedBytes, const SunburstLayout& layout) {
    if (oldUsedBytes == layout.usedBytes) return false;
    bool started = false;
    if (layout.usedBytes < oldUsedBytes && !previous_.empty()) {
        transition_ = makeDeletionTransition(previous_, oldUsedBytes, layout.segments, layout.usedBytes);
        progress_ = 0;
        started = true;
    }
    previous_ = segmentsByPath(layout.segments);
    return started;
}

std::vector<SunburstSegment>
SunburstTransitionState::displayedSegments(const std::vector<SunburstSegment>& layoutSegments) const {
    if (!isRunning()) return layoutSegments;
    std::vector<SunburstSegment> shown;
    shown.reserve(transition_->segments.size());
    const double p = progress_;
    for (const SunburstTransitionSegment& arc : transition_->segments) {
        SunburstSegment segment = arc.display;
        segment.startFraction = arc.fromStart + p * (arc.toStart - arc.fromStart);
        segment.endFraction = arc.fromEnd + p * (arc.toEnd - arc.fromEnd);
        if (arc.isPhantom) {
            segment.node.reset();
            segment.label.reset();
        }
        shown.push_back(std::move(segment));
    }
    return shown;
}

double SunburstTransitionState::displayedUsedBytes(int64_t layoutUsedBytes) const {
    if (!isRunning()) return static_cast<double>(layoutUsedBytes);
    const double from = static_cast<double>(transition_->fromUsedBytes);
    const double to = static_cast<double>(transition_->toUsedBytes);
    return from + (to - from) * progress_;
}

} // namespace quillmere::views
