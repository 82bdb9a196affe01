#pragma once

#include "reclaim/ReclaimTarget.hpp"
#include "systemdata/Reclaimer.hpp"

#include <optional>
#include <vector>

namespace quillmere {

// What the Reclaimer is given for a target: nodes and System Data entries, or for an uninstall
// the bundle with its leftovers.
struct ReclaimerInput {
    std::vector<FileNode> nodes;
    std::vector<SystemDataReclaimEntry> entries;
    std::optional<FileNode> appBundle; // set exactly for an uninstall; `nodes` are its leftovers
};

// Built on the main thread when the user confirms.
ReclaimerInput reclaimerInput(const ReclaimTarget& target);

// A leftover or orphan entry as the node the Reclaimer moves.
FileNode leftoverNode(const std::string& name, const std::string& path, int64_t allocatedSize,
                      int64_t cloudOnlyCount);

// Runs the removal to its end; blocks, so it runs off the main thread. Should the Reclaimer
// throw, every item is reported failed rather than the removal passing for a success.
Reclaimer::Outcome runReclaim(const Reclaimer& reclaimer, const ReclaimerInput& input);

// The scanned tree without what went: only for a node target with a root and a success.
std::optional<FileNode> rootAfterRemoval(const ReclaimTarget& target,
                                         const std::optional<FileNode>& currentRoot,
                                         const Reclaimer::Outcome& outcome);

} // namespace quillmere
