#pragma once

#include "scan/FileNode.hpp"
#include "views/TextMeasure.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillmere::views {

// The fixed geometry of the sunburst, in the units of a 520-point reference square centred
// on the view (drawing scales every length by min(width, height) / 520).
inline constexpr double kReferenceSide = 520;
inline constexpr double kHubRadius = 73;
inline constexpr int kRingCount = 3;
inline constexpr double kGaugeRadius = 243;
inline constexpr double kGaugeWidth = 6;
inline constexpr double kGaugeHoverInner = 226;
inline constexpr double kGaugeHoverOuter = 260;

struct RingBand {
    double inner;
    double outer;
    double saturation;
    double brightness;
    double middle() const { return (inner + outer) / 2; }
};

inline constexpr std::array<RingBand, kRingCount> kRings{{
    {76, 132, 0.88, 0.53},
    {134, 186, 0.76, 0.62},
    {188, 232, 0.62, 0.71},
}};

// A fitted two-line label (name above, size below); lengths in reference units.
struct SunburstLabel {
    std::string nameText;
    std::string sizeText;
    double nameFontSize = 0;
    double sizeFontSize = 0;
    TextSize nameSize;
    TextSize sizeSize;
    double midFraction = 0;
    double midRadius = 0;
    // Radians; 0 for a horizontal label, otherwise within [−π/2, π/2].
    double rotation = 0;
    bool operator==(const SunburstLabel&) const = default;
};

// One arc. Angles are fractions of a turn, clockwise from 12 o'clock.
struct SunburstSegment {
    // Positional: the parent's id, "/", the arc's index among its parent's own arcs; a
    // parent's pooled arc ends in "/overflow". Ring-0 arcs hang under "root".
    std::string id;
    // Absent for a pooled arc and for an aggregate child.
    std::optional<FileNode> node;
    // The nodes between the folder on screen and `node`, outermost first.
    std::vector<FileNode> ancestors;
    std::string name;
    int64_t allocatedSize = 0;
    int ring = 0;
    double startFraction = 0;
    double endFraction = 0;
    bool isOverflow = false;
    // Degrees, from 46 down to −8, not normalised.
    double hue = 0;
    double saturation = 0;
    double brightness = 0;
    std::optional<SunburstLabel> label;
};

struct SunburstLayout {
    std::vector<SunburstSegment> segments;
    std::string volumeName;
    int64_t usedBytes = 0;
    int64_t totalCapacityBytes = 0;
    bool isScanningNow = false;

    // The ring builder: appends the arcs of `children` at `ring` under the parent arc
    // [start, end), with their subtrees down to ring 2, to `into`.
    static void appendSegments(std::span<const FileNode> children, int ring, const std::string& parentID,
                               const std::vector<FileNode>& ancestors, std::vector<SunburstSegment>& into,
                               double start, double end, double usedFraction, const TextMeasurer& measure);

    // The fitted label of an arc, or nothing when the whole label box does not fit inside it.
    static std::optional<SunburstLabel> makeLabel(const std::string& name, int64_t size, int ring,
                                                  double start, double end, const TextMeasurer& measure);

    // The hue of an arc whose middle lies at `middle` when the hue runs over `usedFraction`.
    static double hue(double middle, double usedFraction);
};

// What the host knows besides the folder on screen.
struct SunburstHostInputs {
    std::string volumeName;
    int64_t volumeCapacityBytes = 0;
    // Nodes in the current visit of the navigation history (the folder on screen included).
    std::size_t chainLength = 1;
    bool isScanning = false;
    bool operator==(const SunburstHostInputs&) const = default;
};

// The bytes the rings count for the folder on screen: a clone or cloud-only file counts 0.
int64_t sunburstUsedBytes(const FileNode& folder);

// The layout of the folder on screen, as the disk-map screen builds it.
SunburstLayout makeSunburstLayout(const FileNode& folder, const SunburstHostInputs& host,
                                  const TextMeasurer& measure);

} // namespace quillmere::views
