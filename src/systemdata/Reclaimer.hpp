#pragma once

#include "scan/FileNode.hpp"
#include "systemdata/ProtectedLocations.hpp"
#include "systemdata/ReclaimFileOperations.hpp"
#include "systemdata/SystemDataReclaimEntry.hpp"

#include <cstdint>
#include <expected>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillmere {

// What a Reclaimer needs of the system.
struct ReclaimerServices {
    // Read when no input names a file system (an empty reclaim).
    std::string volumePath = "/";
    // Free space of the file system holding a path; nothing when it cannot be read.
    std::function<std::optional<int64_t>(const std::string& path)> availableBytes;
    // Executables of this user's running processes, links resolved.
    std::function<std::vector<std::string>()> runningExecutables;
    std::shared_ptr<ReclaimFileOperations> files;
    std::shared_ptr<const ProtectedLocations> protection;

    // This computer's: statvfs, /proc, the user's Trash and the current protection policy.
    static ReclaimerServices current();
};

// One input as it was when the user confirmed: where it really lies (links in its folder's
// path resolved then) and what it and its folder were; or why it cannot be removed at all.
struct PinnedItem {
    std::string canonicalPath;
    std::expected<platform::ItemPin, platform::TrashError> pin =
        std::unexpected(platform::TrashError{platform::TrashError::Kind::unclearPath});
};
// By the path as the input gives it.
using ReclaimPins = std::map<std::string, PinnedItem>;

// Carries out every removal: scanned items and application bundles go to the Trash, System
// Data categories run their actions. Nothing is ever deleted outright, nothing protected is
// touched, and every refusal or error is recorded per item. Built for one operation; both
// entry points block the calling thread (never the main thread) and process items one after
// another in the given order.
class Reclaimer {
public:
    struct ItemFailure {
        FileNode node;
        std::string reason;
    };
    struct SystemDataEntryFailure {
        SystemDataReclaimEntry entry;
        std::string reason;
        bool operator==(const SystemDataEntryFailure&) const = default;
    };
    struct Outcome {
        std::vector<FileNode> succeeded; // the nodes as given
        std::vector<ItemFailure> failures;
        int64_t promisedBytes = 0;
        // Free space after minus before, summed over the file systems holding the inputs;
        // nothing when a reading failed. May be 0 or negative: the Trash frees nothing yet.
        std::optional<int64_t> measuredFreedBytes;
        std::vector<SystemDataReclaimEntry> systemDataSucceeded;
        std::vector<SystemDataEntryFailure> systemDataFailures;
        // Canonical paths (byte-exact) of everything the System Data actions moved.
        std::set<std::string> systemDataRemovedPaths;
    };
    // What one System Data action did.
    struct ActionResult {
        std::set<std::string> removedPaths;
        std::optional<std::string> failure;
        bool operator==(const ActionResult&) const = default;
    };

    explicit Reclaimer(ReclaimerServices services);

    // Pins every item the inputs name (the nodes; the folders and items of the entries' actions)
    // as they are now. Called when the user confirms, its answer handed to reclaim or uninstall
    // makes them move only what was confirmed: an item whose folder or self was swapped since
    // fails with "changed since you confirmed". Reads the file system.
    ReclaimPins pin(const std::vector<FileNode>& nodes,
                    const std::vector<SystemDataReclaimEntry>& systemData) const;

    // Without `pins` (or for a path they lack) each item is pinned when the call starts.
    Outcome reclaim(const std::vector<FileNode>& nodes, const std::vector<SystemDataReclaimEntry>& systemData,
                    const ReclaimPins* pins = nullptr) const;
    // Moves the bundle and then its leftovers, unless the bundle is protected or running.
    Outcome uninstall(const FileNode& appBundle, const std::vector<FileNode>& leftovers,
                      const ReclaimPins* pins = nullptr) const;
    // Why the bundle may not be removed now; nothing when it may.
    std::optional<std::string> refusalReason(const FileNode& appBundle) const;
    ActionResult perform(const SystemDataReclaimAction& action) const;

    static bool isPermissionError(const platform::TrashError& error) { return error.isPermissionError(); }

private:
    class Run;
    ReclaimerServices services_;
};

// The reason shown for an item under a protected location.
inline constexpr const char* kProtectedReason = "protected — Quillmere will never remove this";

} // namespace quillmere
