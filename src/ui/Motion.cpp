#include "ui/Motion.hpp"

#include "ui/DesktopSettings.hpp"

namespace quillmere {

bool prefersReducedMotion() {
    return platform::DesktopSettings::shared().prefersReducedMotion();
}

int motionDuration(int normal) {
    return prefersReducedMotion() ? 0 : normal;
}

} // namespace quillmere
