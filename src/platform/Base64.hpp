#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmere::platform {

// The value of one base64 digit (standard alphabet), or -1.
int base64Value(char c);

// Padded standard base64.
std::string base64Encoded(std::string_view bytes);
// Nothing for text that is not canonical padded base64 (no white space, no stray bits).
std::optional<std::string> base64Decoded(std::string_view text);

} // namespace quillmere::platform
