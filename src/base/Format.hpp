#pragma once

#include <cstdint>
#include <string>

namespace quillmere {

// Byte counts as the user sees them, in file style (decimal units): "Zero KB",
// "1 byte", "999 bytes", "12 KB", "12.3 MB", "1.23 GB".
std::string formatByteCount(int64_t bytes);

// A count of items with the user's digit grouping ("1,234").
std::string formatGroupedInteger(int64_t value);

// Reads the user's digit grouping now, which the first formatGroupedInteger would otherwise do:
// it loads the user's locale, which may read files.
void loadDigitGrouping();

// "%.2f" with a "." whatever the locale.
std::string formatFixed2(double value);

} // namespace quillmere
