#pragma once

namespace quillmere::bench {

// Times the four insight computations on a tree of about 1,000,000 nodes, at the root and at a
// deep folder, and the main thread's longest stall while each insight screen computes, while the
// tree is replaced after a deletion and while the host moves to another folder. Needs a
// QApplication.
void runInsightBench();

} // namespace quillmere::bench
