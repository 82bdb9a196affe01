#pragma once

namespace quillmere {

// Holds Qt's shared worker pool to two threads. Qt's raster painter splits every fill of more
// than about a hundred spans among that pool's threads and waits for them: on the main thread a
// hover's outline or tooltip becomes hundreds of such hand-offs a frame, each waking sleeping
// threads, which costs more than the drawing (traced at 2x: 44 % of a sunburst hover in waking
// pool threads). Two keep large fills parallel and wake few. Our own background work has a pool
// of its own (startBackgroundWork), so a long task never holds up the painter's helpers.
// Called once, after the application object is made and before any window paints.
void limitPaintingThreads();

} // namespace quillmere
