#pragma once

#include "scan/FileNode.hpp"
#include "scan/ScanAccumulator.hpp"

#include <vector>

namespace quillmere {

// `root` with the leaf at each owner's path counting its bytes (less those counted elsewhere
// through shared extents), no longer shared elsewhere, and the totals of every folder above it
// rebuilt. The walk marked every hard link shared; this gives each inode's bytes to one of
// its paths, chosen without regard to the order in which walkers met them. An owner inside a
// folder that was folded into an aggregate counts in that aggregate. Paths are those the walk
// built below the root; one the tree does not hold changes nothing. Visits only the folders on
// the way to an owner: time linear in the owners' path components and those folders' children.
// Those folders are changed in place where `root` alone holds them, so a freshly scanned tree
// is settled without a second copy of its folders.
[[nodiscard]] FileNode withLinkedBytesOwned(FileNode root,
                                            const std::vector<SharingRegistry::LinkOwner>& owners);

} // namespace quillmere
