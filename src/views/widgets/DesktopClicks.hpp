#pragma once

#include "views/ClickTracker.hpp"

#include <QGuiApplication>
#include <QStyleHints>
#include <chrono>

namespace quillmere {

// What the drawn views tell double clicks by, unless a test sets its own clock: the steady
// clock and the desktop's double-click interval.
inline views::ClickTracker::Clock steadyClock() {
    return [] { return std::chrono::steady_clock::now(); };
}

inline std::chrono::milliseconds doubleClickInterval() {
    return std::chrono::milliseconds(QGuiApplication::styleHints()->mouseDoubleClickInterval());
}

} // namespace quillmere
