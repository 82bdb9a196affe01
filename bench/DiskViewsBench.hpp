#pragma once

#include "scan/FileNode.hpp"

namespace quillmere::bench {

// Times the treemap, the list and the inspector on `root` and on `huge` (a folder of about
// 100,000 children), at 1x and 2x, and prints each figure with its target.
void benchDiskViews(const FileNode& root, const FileNode& huge);

} // namespace quillmere::bench
