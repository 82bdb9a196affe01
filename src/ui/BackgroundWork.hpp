#pragma once

#include <functional>

namespace quillmere {

// Runs `work` on a worker pool of our own, for screens whose work posts its result back to the
// main thread. The application object waits for that work at the very start of its teardown:
// it would otherwise wait only at its very end, after its event dispatcher is gone and its
// derived parts destroyed, and a post made meanwhile would wake freed memory. Work that has not
// started by then never runs: it is destroyed on the main thread instead.
void startBackgroundWork(std::function<void()> work);

// Waits until no such work is queued or running, at most `msecs` (-1: as long as it takes);
// false when time ran out. For tests and teardown.
bool waitForBackgroundWork(int msecs = -1);

} // namespace quillmere
