#pragma once

#include <cstddef>
#include <functional>

namespace quillmere::platform {

// Runs `body` on a new detached thread with a stack of `stackBytes`; false (and `body`
// never run) when no thread can be started.
[[nodiscard]] bool startDetachedThread(std::function<void()> body, size_t stackBytes);

} // namespace quillmere::platform

namespace quillmere::platform {

// Lowers the calling thread's scheduling priority to that of background work, once per thread
// (an ordinary user cannot raise it again). Threads that fill every core with disk walks then
// give way to the interface and to the display server whenever those need a processor.
void lowerThisThreadToBackground() noexcept;

} // namespace quillmere::platform
