#include "applications/model/TextRules.hpp"

#include "base/Unicode.hpp"

#include <memory>
#include <unicode/brkiter.h>
#include <unicode/listformatter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace quillmere::text {

namespace {

icu::UnicodeString unicode(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string toUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

bool isLineBreak(char32_t c) {
    return c == '\n' || c == '\r' || c == 0x0B || c == 0x0C || c == 0x85 || c == 0x2028 || c == 0x2029;
}

} // namespace

std::u32string codePoints(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    int32_t at = 0;
    const auto length = static_cast<int32_t>(text.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    while (at < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, at, length, c);
        out += c < 0 ? U'\uFFFD' : static_cast<char32_t>(c);
    }
    return out;
}

std::string utf8(std::u32string_view points) {
    icu::UnicodeString out;
    for (const char32_t c : points)
        out.append(static_cast<UChar32>(c));
    return toUtf8(out);
}

std::string lowercased(std::string_view text) {
    if (isAscii(text)) {
        std::string out(text);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return out;
    }
    icu::UnicodeString value = unicode(text);
    value.toLower(icu::Locale::getRoot());
    return toUtf8(value);
}

bool isAlphanumeric(char32_t c) {
    const uint32_t mask = U_MASK(u_charType(static_cast<UChar32>(c)));
    return (mask & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
}

bool isNumeric(char32_t c) {
    return (U_MASK(u_charType(static_cast<UChar32>(c))) & U_GC_N_MASK) != 0;
}

bool isBlank(char32_t c) {
    return c == '\t' || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

std::string squeezed(std::string_view text) {
    if (isAscii(text)) {
        std::string out;
        for (const char c : text)
            if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
                out += c;
            else if (c >= 'A' && c <= 'Z')
                out += static_cast<char>(c - 'A' + 'a');
        return out;
    }
    std::u32string kept;
    for (const char32_t c : codePoints(lowercased(text)))
        if (isAlphanumeric(c)) kept += c;
    return utf8(kept);
}

std::vector<std::string> alphanumericParts(std::string_view text) {
    std::vector<std::string> parts(1);
    std::u32string current;
    for (const char32_t c : codePoints(lowercased(text))) {
        if (isAlphanumeric(c)) {
            current += c;
        } else {
            parts.back() = utf8(current);
            parts.emplace_back();
            current.clear();
        }
    }
    parts.back() = utf8(current);
    return parts;
}

size_t characterCount(std::string_view text) {
    if (isAscii(text)) {
        // CR LF is one character.
        size_t count = text.size();
        for (size_t i = 1; i < text.size(); ++i)
            if (text[i - 1] == '\r' && text[i] == '\n') --count;
        return count;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    const icu::UnicodeString value = unicode(text);
    if (U_FAILURE(status) || !characters) return static_cast<size_t>(value.countChar32());
    characters->setText(value);
    size_t count = 0;
    for (int32_t at = characters->next(); at != icu::BreakIterator::DONE; at = characters->next())
        ++count;
    return count;
}

bool contains(std::string_view text, std::string_view part) {
    if (isAscii(text) && isAscii(part)) return text.find(part) != std::string_view::npos;
    return canonicalText(text).find(canonicalText(part)) != std::string::npos;
}

std::string capitalized(std::string_view text) {
    std::u32string out;
    bool atWordStart = true;
    for (const char32_t c : codePoints(text)) {
        if (isBlank(c) || isLineBreak(c)) {
            out += c;
            atWordStart = true;
            continue;
        }
        out += static_cast<char32_t>(atWordStart ? u_totitle(static_cast<UChar32>(c))
                                                 : u_tolower(static_cast<UChar32>(c)));
        atWordStart = false;
    }
    return utf8(out);
}

std::string uppercasingFirst(std::string_view text) {
    std::u32string points = codePoints(text);
    if (points.empty()) return {};
    icu::UnicodeString first;
    first.append(static_cast<UChar32>(points.front()));
    first.toUpper(icu::Locale::getDefault());
    return toUtf8(first) + utf8(std::u32string_view(points).substr(1));
}

std::string listJoined(const std::vector<std::string>& items) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::ListFormatter> formatter(icu::ListFormatter::createInstance(status));
    if (U_SUCCESS(status) && formatter) {
        std::vector<icu::UnicodeString> values;
        for (const std::string& item : items)
            values.push_back(unicode(item));
        icu::UnicodeString joined;
        formatter->format(values.data(), static_cast<int32_t>(values.size()), joined, status);
        if (U_SUCCESS(status)) return toUtf8(joined);
    }
    // The English rules, where the locale's formatter is missing.
    std::string joined;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) joined += items.size() == 2 ? " and " : (i + 1 == items.size() ? ", and " : ", ");
        joined += items[i];
    }
    return joined;
}

bool caseInsensitiveContains(std::string_view text, std::string_view query) {
    icu::UnicodeString folded = unicode(text);
    folded.foldCase();
    icu::UnicodeString foldedQuery = unicode(query);
    foldedQuery.foldCase();
    return contains(toUtf8(folded), toUtf8(foldedQuery));
}

std::string trimmed(std::string_view text, bool (*strip)(char32_t)) {
    const std::u32string points = codePoints(text);
    size_t begin = 0;
    size_t end = points.size();
    while (begin < end && strip(points[begin]))
        ++begin;
    while (end > begin && strip(points[end - 1]))
        --end;
    return utf8(std::u32string_view(points).substr(begin, end - begin));
}

std::string trimmedWhitespaceAndNewlines(std::string_view text) {
    return trimmed(text, [](char32_t c) { return isBlank(c) || isLineBreak(c); });
}

} // namespace quillmere::text
