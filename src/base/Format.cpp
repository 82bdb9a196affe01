#include "base/Format.hpp"

#include <array>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <locale>

namespace quillmere {
namespace {

// std::to_chars ignores the C locale, which the windowed application sets from the environment.
std::string fixed(double value, int decimals) {
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, decimals);
    return std::string(buffer.data(), result.ptr);
}

// Formats a non-negative value with at most `decimals` fraction digits, trailing
// zeros dropped, always with a "." separator.
std::string trimmedDecimal(double value, int decimals) {
    std::string text = fixed(value, decimals);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return text;
}

std::string groupDigits(uint64_t magnitude, const std::string& separator, const std::string& grouping) {
    std::string digits = std::to_string(magnitude);
    if (separator.empty() || grouping.empty()) return digits;
    std::string out;
    size_t groupIndex = 0;
    int groupSize = static_cast<unsigned char>(grouping[0]);
    int inGroup = 0;
    for (size_t i = digits.size(); i-- > 0;) {
        if (groupSize > 0 && groupSize < CHAR_MAX && inGroup == groupSize) {
            out.insert(0, separator);
            inGroup = 0;
            if (groupIndex + 1 < grouping.size())
                groupSize = static_cast<unsigned char>(grouping[++groupIndex]);
        }
        out.insert(out.begin(), digits[i]);
        ++inGroup;
    }
    return out;
}

struct GroupingStyle {
    std::string separator;
    std::string grouping;
};

GroupingStyle userGroupingStyle() {
    try {
        const std::locale user("");
        const auto& facet = std::use_facet<std::numpunct<char>>(user);
        GroupingStyle style{std::string(1, facet.thousands_sep()), facet.grouping()};
        if (!style.grouping.empty()) return style;
    } catch (const std::exception&) {
        // An unknown locale name in the environment: fall through to the default.
    }
    // The C and POSIX locales have no grouping; people still expect grouped counts.
    return {",", "\3"};
}

const GroupingStyle& digitGrouping() {
    static const GroupingStyle style = userGroupingStyle();
    return style;
}

} // namespace

std::string formatByteCount(int64_t bytes) {
    if (bytes == 0) return "Zero KB";
    const bool negative = bytes < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(bytes) : static_cast<uint64_t>(bytes);
    const std::string sign = negative ? "-" : "";
    if (magnitude < 1000) return sign + std::to_string(magnitude) + (magnitude == 1 ? " byte" : " bytes");

    static constexpr std::array<const char*, 6> units{"KB", "MB", "GB", "TB", "PB", "EB"};
    static constexpr std::array<int, 6> decimals{0, 1, 2, 2, 2, 2};
    double value = static_cast<double>(magnitude) / 1000.0;
    size_t unit = 0;
    while (unit + 1 < units.size()) {
        // Promote when rounding at this unit's precision would reach 1000.
        const double scale = std::pow(10.0, decimals[unit]);
        if (std::round(value * scale) / scale < 1000.0) break;
        value /= 1000.0;
        ++unit;
    }
    return sign + trimmedDecimal(value, decimals[unit]) + " " + units[unit];
}

std::string formatGroupedInteger(int64_t value) {
    const GroupingStyle& style = digitGrouping();
    const bool negative = value < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::string text = negative ? "-" : "";
    text += groupDigits(magnitude, style.separator, style.grouping);
    return text;
}

void loadDigitGrouping() {
    (void)digitGrouping();
}

std::string formatFixed2(double value) {
    return fixed(value, 2);
}

} // namespace quillmere
