#pragma once

#include "scan/FileNode.hpp"

#include <string>
#include <vector>

namespace quillmere {

// `root` with each folder at one of `folders`, and every folder between it and the root,
// folded again by the rule of a scan (see SmallItemFolding) as the folder is now: after a
// subtree was grafted in, a scan of the whole would have folded differently. Children at or
// above one of `pinned` never fold. An aggregate already there joins the new one whole, its
// items counted: they were below the old threshold, and a graft only raises it. Totals do not
// change. Paths are byte-exact, below the root's own path; unknown ones change nothing.
[[nodiscard]] FileNode refoldingAlong(const FileNode& root, const std::vector<std::string>& folders,
                                      const std::vector<std::string>& pinned);

// The number of items an aggregate stands for, read from its path; 1 for any other node.
int64_t foldedItemCount(const FileNode& node);

} // namespace quillmere
