#pragma once

#include <string_view>

namespace quillmere::platform {

// Writes all of `bytes` to `fd`, resuming after a signal and after short writes; false when
// a write fails or writes nothing (a full disk can do that without an error), errno telling
// why if it was set.
[[nodiscard]] bool writeAll(int fd, std::string_view bytes);

} // namespace quillmere::platform
