#pragma once

#include "access/PrivilegedNode.hpp"
#include "scan/FileNode.hpp"

namespace quillmere {

// The wire record of a scanned tree. Items whose names are not UTF-8 cannot travel in
// JSON, so each folder folds them, with all they hold, into its aggregate (made if it has
// none). Dates move from 1970 to 2001; the root is named by its last component. Deep
// trees cost no recursion.
PrivilegedNode privilegedNodeFromScan(const FileNode& root);

} // namespace quillmere
