#pragma once

#include "views/SunburstLayout.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillmere::views {

// One arc of a deletion transition: drawn as `display`, its angles running from the "from"
// pair at progress 0 to the "to" pair at progress 1.
struct SunburstTransitionSegment {
    SunburstSegment display;
    double fromStart = 0;
    double fromEnd = 0;
    double toStart = 0;
    double toEnd = 0;
    // The arc belongs only to the old layout and collapses onto its middle.
    bool isPhantom = false;
};

struct SunburstDeletionTransition {
    int64_t fromUsedBytes = 0;
    int64_t toUsedBytes = 0;
    // The new arcs in layout order, then the vanishing ones.
    std::vector<SunburstTransitionSegment> segments;
};

using SegmentsByPath = std::map<std::string, SunburstSegment>;

// Arcs by the path of their node; arcs without a node are left out, a later arc with the
// same path replaces an earlier one.
SegmentsByPath segmentsByPath(const std::vector<SunburstSegment>& segments);

// Pairs the arcs of the new layout with the remembered ones by path.
SunburstDeletionTransition makeDeletionTransition(const SegmentsByPath& previous, int64_t oldUsedBytes,
                                                  const std::vector<SunburstSegment>& newSegments,
                                                  int64_t newUsedBytes);

// What the sunburst remembers between layouts, and the transition it runs when the bytes it
// shows fall: a deletion, or a move to a smaller folder. Growth never animates.
class SunburstTransitionState {
public:
    // The view appears with this layout.
    void appear(const std::vector<SunburstSegment>& segments);
    // The layout's used bytes changed from `oldUsedBytes`; true when a transition starts
    // (progress is then 0 and the caller animates it to 1).
    bool usedBytesChanged(int64_t oldUsedBytes, const SunburstLayout& layout);
    void setProgress(double progress) { progress_ = progress; }
    double progress() const { return progress_; }
    bool isRunning() const { return transition_ && progress_ < 1; }
    const std::optional<SunburstDeletionTransition>& transition() const { return transition_; }
    const SegmentsByPath& previousSegmentsByPath() const { return previous_; }

    // The arcs the canvas draws: the layout's own, or while a transition runs their
    // interpolated positions followed by the vanishing arcs (without node or label).
    std::vector<SunburstSegment> displayedSegments(const std::vector<SunburstSegment>& layoutSegments) const;
    // The used bytes the hub shows, counting from the old figure to the new.
    double displayedUsedBytes(int64_t layoutUsedBytes) const;

private:
    SegmentsByPath previous_;
    std::optional<SunburstDeletionTransition> transition_;
    double progress_ = 1;
};

} // namespace quillmere::views
