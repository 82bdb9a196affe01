#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmere::text {

// The text rules that leftover matching, the orphan names and the list search share. They
// take and give UTF-8; invalid sequences read as U+FFFD.

// Lower case by the locale-independent Unicode rules.
std::string lowercased(std::string_view text);
// Letters, marks and digits (the Unicode categories L, M and N).
bool isAlphanumeric(char32_t c);
// Lower-cased, with every character that is not alphanumeric removed.
std::string squeezed(std::string_view text);
// Lower-cased and split at every character that is not alphanumeric; empty parts kept.
std::vector<std::string> alphanumericParts(std::string_view text);
// User-perceived characters (grapheme clusters).
size_t characterCount(std::string_view text);
// Whether `text` contains `part`, compared in canonical form.
bool contains(std::string_view text, std::string_view part);
// Each word (a run between blanks and line breaks) with its first character upper case and
// the rest lower case: "VSCode" becomes "Vscode".
std::string capitalized(std::string_view text);
// The first character upper case, the rest as written.
std::string uppercasingFirst(std::string_view text);
// The user's locale's list of `items`: "a and b", "a, b, and c" in English.
std::string listJoined(const std::vector<std::string>& items);
// Whether `text` contains `query`, ignoring case but not diacritics.
bool caseInsensitiveContains(std::string_view text, std::string_view query);
// Without the leading and trailing characters `strip` holds for.
std::string trimmed(std::string_view text, bool (*strip)(char32_t));
// Without leading and trailing white space and line breaks.
std::string trimmedWhitespaceAndNewlines(std::string_view text);
// Numeric characters by the Unicode numeric property.
bool isNumeric(char32_t c);
// Blanks: tab and the space separators, not line breaks.
bool isBlank(char32_t c);

// Decodes the code points of `text`, U+FFFD for an invalid sequence.
std::u32string codePoints(std::string_view text);
std::string utf8(std::u32string_view codePoints);

} // namespace quillmere::text
