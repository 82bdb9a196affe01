#pragma once

#include <QIcon>

namespace quillmere {

// The name the desktop knows Quillmere by: its desktop entry, AppStream metadata and icon
// are installed under it.
inline constexpr const char* kApplicationId = "com.quillmere.app";

// The application's icon at each size it is drawn at, read from the program's own resources
// so that a build run from its folder carries it as well as an installed one.
QIcon applicationIcon();

// Gives every window the icon and names the desktop entry the windows belong to (Wayland
// compositors match windows to entries by that name). Needs the application object.
void presentApplicationToDesktop();

} // namespace quillmere
