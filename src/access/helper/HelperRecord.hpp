#pragma once

#include "base/FunctionRef.hpp"
#include "scan/FileNode.hpp"

#include <cstddef>
#include <string_view>

namespace quillmere {

// Writes the wire record of a scanned tree as it goes, handing `sink` pieces of `pieceBytes`
// (the last one shorter); false as soon as the sink refuses a piece, and nothing
// more is written. Items whose names are not UTF-8 cannot travel in JSON, so each folder folds
// them, with all they hold, into its aggregate (made if it has none, and written last). Dates
// move from 1970 to 2001; the root is named by its last component. Deep trees cost no
// recursion, and nothing but the piece being filled is held.
bool writeScannedTree(const FileNode& root, std::size_t pieceBytes, FunctionRef<bool(std::string_view)> sink);

} // namespace quillmere
