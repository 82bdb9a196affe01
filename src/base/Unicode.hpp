#pragma once

#include <string>
#include <string_view>

namespace quillmere {

bool isAscii(std::string_view text);
bool isValidUtf8(std::string_view text);

// The form in which paths are compared: Unicode NFC for valid non-ASCII UTF-8,
// the bytes unchanged otherwise (ASCII is already NFC; names that are not UTF-8
// must stay byte-exact so that they still name the item on disk).
std::string canonicalText(std::string_view text);

// Text equality by canonical equivalence: bytes first, NFC only when a side is non-ASCII.
bool textEquivalent(std::string_view a, std::string_view b);

// Replaces every invalid UTF-8 sequence with U+FFFD.
std::string repairedUtf8(std::string_view text);

} // namespace quillmere
