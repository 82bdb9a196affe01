#pragma once

namespace quillmere::views {

// Durations of the disk views' animations, in milliseconds, before reduce motion.
inline constexpr int kNavigationAnimationMs = 320;
inline constexpr int kDeletionAnimationMs = 420;

// The ease-in-out timing curve: the cubic Bézier through (0, 0), (0.42, 0), (0.58, 1), (1, 1),
// evaluated at time `t` in [0, 1] (clamped) and giving the progress in [0, 1].
double easeInOut(double t);

} // namespace quillmere::views
