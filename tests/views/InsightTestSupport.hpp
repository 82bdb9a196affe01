#pragma once

#include "base/PathText.hpp"
#include "scan/FileNode.hpp"

#include <ctime>
#include <optional>
#include <string>

namespace quillmere::views::test {

// Noon UTC on a calendar day, far from any daylight-saving change.
inline Date day(int year, int month, int dayOfMonth) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = dayOfMonth;
    t.tm_hour = 12;
    return static_cast<Date>(timegm(&t));
}

// The fixed "now" of the insight tests.
inline const Date kInsightNow = day(2026, 6, 15);

// A file with a modification date (or none).
inline FileNode dated(const std::string& path, int64_t size, std::optional<Date> date) {
    return FileNode(std::string(lastPathComponent(path)), path, false, false, size, false, false, 0, false, 0,
                    1, 0, date, {});
}

} // namespace quillmere::views::test
