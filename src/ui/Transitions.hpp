#pragma once

class QWidget;

namespace quillmere {

// How screens and layers of the window come and go: by fading over 0.25 s, or at once while
// the desktop asks for reduced motion.
namespace transitions {

inline constexpr int kFadeMs = 250;

// Shows `widget` fading in from transparent.
void fadeIn(QWidget* widget);

// Shows or hides a layer, fading it. A layer on its way out takes no clicks; asking for it
// again while it fades turns it round from where it is.
void setLayerShown(QWidget* widget, bool shown);

// Whether the layer is shown or on its way in (not hidden, not fading out).
bool isLayerShown(const QWidget* widget);

} // namespace transitions
} // namespace quillmere
