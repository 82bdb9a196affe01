#pragma once

#include <functional>

namespace quillmere {

// Runs `work` on Qt's shared worker pool, for screens whose work posts its result back to the
// main thread. The application object waits for that work at the very start of its teardown:
// it would otherwise wait only at its very end, after its event dispatcher is gone and its
// derived parts destroyed, and a post made meanwhile would wake freed memory.
void startBackgroundWork(std::function<void()> work);

} // namespace quillmere
