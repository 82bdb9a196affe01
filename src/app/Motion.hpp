#pragma once

namespace quillmere {

// Whether the desktop asks applications to keep still (its animations are switched off).
// Read anew on every call, as the setting can change while the window is open.
bool prefersReducedMotion();

// Milliseconds for an animation: `normal`, or 0 while reduce motion is on.
int motionDuration(int normal);

} // namespace quillmere
