#pragma once

#include "base/Unicode.hpp"
#include "platform/BoundedFile.hpp"

#include <algorithm>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere {

// Why a text is refused before it is parsed, if it is: larger than `maxBytes`, or not text
// (invalid UTF-8, or a NUL, which no format read here allows).
template <class Error> std::optional<Error> refusedText(std::string_view text, size_t maxBytes) {
    if (text.size() > maxBytes) return Error::tooLarge;
    if (text.find('\0') != std::string_view::npos || !isValidUtf8(text)) return Error::malformed;
    return std::nullopt;
}

// Takes the next line off the front of `text` and returns it without its line break (nor
// the carriage return of a CRLF). A loop taking lines until `text` is empty ends: each call
// consumes at least one byte.
inline std::string_view takeLine(std::string_view& text) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.ends_with('\r')) line.remove_suffix(1);
    return line;
}

// `text` without the spaces and tabs around it.
inline std::string_view trimmedSpaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Reads a small file whole (at most `maxBytes`) and parses its text; a file that cannot be
// read, or is too large, gives the parser's own `unreadable` or `tooLarge` error.
template <class Error, class Parse>
auto readAndParse(const std::string& path, size_t maxBytes, Parse parse)
    -> decltype(parse(std::string_view())) {
    const auto bytes = platform::readBoundedFile(path, maxBytes);
    if (!bytes)
        return std::unexpected(bytes.error() == platform::BoundedReadError::tooLarge ? Error::tooLarge
                                                                                     : Error::unreadable);
    return parse(*bytes);
}

} // namespace quillmere
