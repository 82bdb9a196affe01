#pragma once

#include "reclaim/ReclaimTarget.hpp"
#include "systemdata/Reclaimer.hpp"

#include <condition_variable>
#include <memory>
#include <mutex>
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

// Every item the input names as it is now (see Reclaimer::pin). Reads the file system.
ReclaimPins pinInput(const Reclaimer& reclaimer, const ReclaimerInput& input);

// The pins of one confirmation, taken on a thread of their own so that the main thread never
// waits on a disk; the removal waits for them. Ready with none when they could not be taken,
// and the removal then pins its items when it starts.
class PendingPins {
public:
    static std::shared_ptr<PendingPins> start(Reclaimer reclaimer, ReclaimerInput input);
    // Blocks until the pins are taken; nothing when they could not be.
    const ReclaimPins* wait();

private:
    void settle(std::optional<ReclaimPins> pins);

    std::mutex lock_;
    std::condition_variable ready_;
    bool isReady_ = false;
    std::optional<ReclaimPins> pins_;
};

// Runs the removal to its end; blocks, so it runs off the main thread. With `pins`, only what
// was pinned moves. Should the Reclaimer throw, every item is reported failed rather than the
// removal passing for a success.
Reclaimer::Outcome runReclaim(const Reclaimer& reclaimer, const ReclaimerInput& input,
                              const ReclaimPins* pins = nullptr);

// The scanned tree without what went: only for a node target with a root and a success.
std::optional<FileNode> rootAfterRemoval(const ReclaimTarget& target,
                                         const std::optional<FileNode>& currentRoot,
                                         const Reclaimer::Outcome& outcome);

} // namespace quillmere
