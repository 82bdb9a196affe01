#pragma once

#include "platform/BoundedFile.hpp"

#include <expected>
#include <string>
#include <string_view>

namespace quillmere {

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
