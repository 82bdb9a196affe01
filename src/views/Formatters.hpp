#pragma once

#include "scan/FileNode.hpp"

#include <string>

namespace quillmere::views {

// "%.1f%%" with a "." whatever the locale ("25.0%").
std::string formatPercentOneDecimal(double percent);

// A whole percentage in the user's locale ("25%", "25 %" in French); `fraction` 0.25 is 25%.
std::string formatWholePercent(double fraction);

// The user's medium date style ("Jan 5, 2026") and short time style ("3:04 PM"), in the
// local time zone.
std::string formatMediumDate(Date date);
std::string formatShortTime(Date date);
// Both in one text, as the locale joins them ("Dec 8, 2025, 7:05 PM").
std::string formatMediumDateShortTime(Date date);

} // namespace quillmere::views
