#pragma once

#include <string_view>

namespace quillmere::platform {

// Writes all of `bytes` to `fd`, resuming after a signal and after short writes. False when a
// write fails (errno says why) or writes nothing at all, which no device should do for bytes
// still to write but which, tried again, could repeat forever.
[[nodiscard]] bool writeAll(int fd, std::string_view bytes);

} // namespace quillmere::platform
