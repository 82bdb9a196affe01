#pragma once

#include "views/Easing.hpp"

namespace quillmere {

// Whether the desktop asks applications to keep still ("enable-animations" off in the settings
// portal), as the desktop's settings reader last heard it; asking never blocks.
bool prefersReducedMotion();

// Navigation, the details panel and the padding beside it ease in and out over this long.
inline constexpr int kNavigationMs = views::kNavigationAnimationMs;

// Milliseconds for an animation: `normal`, or 0 while reduce motion is on.
int motionDuration(int normal);

} // namespace quillmere
