#pragma once

namespace quillmere {

// Holds Qt's shared worker pool to as many threads as there are processors, at least two and
// at most four. Qt's raster painter splits every fill of more than about a hundred spans among
// that pool's threads and waits for them: on the main thread a hover's outline or tooltip becomes
// hundreds of such hand-offs a frame, each waking sleeping threads, which with the whole pool
// costs more than the drawing (traced at 2x: 44 % of a sunburst hover in waking pool threads).
// With two, a navigation fade's frame at 2x waits on two threads blending a window-sized
// picture, and a frame took 8 ms where with four it takes 7 (its longest step gap 15 ms against
// 13); four still wake few for a hover. Our own background work has a pool of its own
// (startBackgroundWork), so a long task never holds up the painter's helpers.
// Called once, after the application object is made and before any window paints.
void limitPaintingThreads();

} // namespace quillmere
