#include "views/Formatters.hpp"

#include <array>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <memory>
#include <unicode/datefmt.h>
#include <unicode/numfmt.h>
#include <unicode/unistr.h>

namespace quillmere::views {
namespace {

std::string utf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

std::string formatDate(Date date, icu::DateFormat::EStyle dateStyle, icu::DateFormat::EStyle timeStyle) {
    std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateTimeInstance(dateStyle, timeStyle));
    if (!format) return {};
    icu::UnicodeString text;
    format->format(date * 1000.0, text);
    return utf8(text);
}

} // namespace

std::string formatPercentOneDecimal(double percent) {
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.1f%%", percent);
    // printf follows the C library's locale, which Qt sets from the environment.
    std::string text = buffer.data();
    const std::string point = std::localeconv()->decimal_point;
    if (!point.empty() && point != ".")
        if (const auto at = text.find(point); at != std::string::npos) text.replace(at, point.size(), ".");
    return text;
}

std::string formatWholePercent(double fraction) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> format(icu::NumberFormat::createPercentInstance(status));
    if (U_FAILURE(status) || !format) return std::to_string(std::lround(fraction * 100)) + "%";
    format->setMaximumFractionDigits(0);
    icu::UnicodeString text;
    format->format(std::isfinite(fraction) ? fraction : 0.0, text);
    return utf8(text);
}

std::string formatMediumDate(Date date) {
    return formatDate(date, icu::DateFormat::kMedium, icu::DateFormat::kNone);
}

std::string formatShortTime(Date date) {
    return formatDate(date, icu::DateFormat::kNone, icu::DateFormat::kShort);
}

std::string formatMediumDateShortTime(Date date) {
    return formatDate(date, icu::DateFormat::kMedium, icu::DateFormat::kShort);
}

} // namespace quillmere::views
