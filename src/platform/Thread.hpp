#pragma once

#include <cstddef>
#include <functional>

namespace quillmere::platform {

// Runs `body` on a new detached thread with a stack of `stackBytes`; false (and `body`
// never run) when no thread can be started.
[[nodiscard]] bool startDetachedThread(std::function<void()> body, size_t stackBytes);

} // namespace quillmere::platform
