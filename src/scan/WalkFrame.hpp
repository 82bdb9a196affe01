#pragma once

// A folder as a walker holds it while walking it, and what becomes of it when walks of its
// subfolders are still running as the walker leaves it: it is handed over to them, and the
// last of them to end builds its node. Nobody ever waits for a walk, so no thread idles
// beside work it could do.
#include "platform/Fd.hpp"
#include "scan/FileNode.hpp"
#include "scan/ScanContext.hpp"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillmere {

enum RecordFlag : uint8_t {
    kSymbolicLink = 1,
    kShared = 2,
    kCloudOnly = 4,
    kHasDate = 8,
    kNode = 16,        // an already-built node (a finished subfolder or a childless folder)
    kHoldsDenied = 32, // a node that is or holds a denied path: never folded, so that the
                       // helper's walk of that path finds its folder to graft into
};

// A child of a frame before folding: leaves stay in this compact form, naming their entry
// in the frame's listing, until the folder is folded; only survivors become FileNodes.
struct ChildRecord {
    int64_t size = 0;
    double date = 0;
    // Where its name starts in the listing, or the node's index when kNode: 40 bits kept in
    // what would be padding, so a listing past 4 GiB keeps its names apart and a record stays
    // 24 bytes.
    uint32_t offsetLow = 0;
    uint8_t flags = 0;
    uint8_t offsetHigh = 0;

    static ChildRecord of(int64_t size, double date, size_t offset, uint8_t flags) {
        return {size, date, static_cast<uint32_t>(offset), flags, static_cast<uint8_t>(offset >> 32)};
    }
    size_t offset() const { return offsetLow | size_t{offsetHigh} << 32; }
    bool isCounted() const { return !(flags & (kShared | kCloudOnly)); }
};
static_assert(sizeof(ChildRecord) == 24);

// The largest listing a frame holds: what a record's offset can address.
inline constexpr size_t kListingBytesLimit = size_t{1} << 40;

struct Frame;

// Where the node of a subfolder walked apart lands, or a share of the folder's own entries
// walked apart (`part`: what those entries became, to join the folder's own): written once
// by whoever builds it. Empty and holding denied when the walk built nothing.
struct ChildWalk {
    std::optional<FileNode> result;
    std::unique_ptr<Frame> part;
    bool holdsDenied = false;
};

struct PendingFolder;

// Where a folder's node goes once it is built, exactly once: a slot of the folder above it,
// or, for the folder a walk of the scan's root entries started from, the scan itself.
struct NodeSink {
    std::shared_ptr<PendingFolder> folder;
    ChildWalk* slot = nullptr;
    std::function<void(std::optional<FileNode> node, bool holdsDenied)> top;
};

struct Frame {
    platform::Fd fd;
    FolderPath folderPath; // its last segment is the folder's name, except for the first frame
    std::optional<Date> date;
    // The folder's identity when it was entered (not kept for the first frame, never closed).
    dev_t device = 0;
    ino_t inode = 0;
    Placement placement;
    std::string listing; // entry names, each followed by a NUL
    size_t nextEntry = 0;
    size_t entriesLeft = 0; // names in the listing from nextEntry on
    // Offsets in the listing of other file systems' mount points, in order, and the next one.
    std::vector<size_t> foreignMounts;
    size_t nextForeignMount = 0;
    bool listed = false;
    bool closedWithEntriesLeft = false; // counted in the walker's closedWithEntriesLeft_
    bool holdsDenied = false;           // the folder, an entry or a folder below it is denied
    // Its node is being built from its records, which are given up as they are taken: it can
    // never be built again.
    bool beingAssembled = false;
    std::vector<ChildRecord> records;
    std::vector<FileNode> nodes;
    // Made when a subfolder is first walked apart; shared with those walks.
    std::shared_ptr<PendingFolder> waiting;
    // Shares of the folder's entries walked apart, once they have joined: each keeps its own
    // names, leaves and nodes, which count as this folder's own.
    std::vector<std::unique_ptr<Frame>> parts;

    void addNode(FileNode node, bool nodeHoldsDenied = false);
    // Adds what a share of this folder's entries, walked apart, became.
    void addPart(std::unique_ptr<Frame> part);
    // A slot for one more node built apart, counted as awaited.
    NodeSink awaitOneMore();
};

// A folder whose node waits for nodes built apart: walks of its subfolders, and subfolders
// that were themselves handed over.
struct PendingFolder {
    // Nodes awaited, plus one while its walker still holds the folder.
    std::atomic<int> outstanding{1};
    // Added to only by the folder's walker, before it hands the folder over.
    std::vector<std::unique_ptr<ChildWalk>> slots;
    // Set as the walker hands the folder over.
    Frame frame;
    std::string name;
    NodeSink sink;
    // A share of another folder's entries: finished, it is handed on as a part, not a node.
    bool isPart = false;
};

// Moves the nodes delivered into `folder`'s slots among the frame's children, in start order;
// only once nobody writes to the slots any more.
void takeDeliveredNodes(Frame& frame, PendingFolder& folder);

// Builds the folder's node from its records, nodes and delivered slots, folding small items.
// The frame's records, names and parts are given up on the way; a frame whose assembly began
// once, and failed, is refused (std::logic_error) rather than built again from what is left.
[[nodiscard]] FileNode assembleFolder(Frame& frame, std::string_view name);

// Hands `node` to `sink`. When that was the last node a folder awaited, the folder is built
// and handed on in turn, up the chain, without recursion.
void deliverNode(NodeSink sink, std::optional<FileNode> node, bool holdsDenied) noexcept;
// The same for a share of a folder's entries walked apart.
void deliverPart(NodeSink sink, Frame&& part) noexcept;

// Gives up the walker's own share in a handed-over folder (its frame, name and sink set).
void releaseWalkerShare(std::shared_ptr<PendingFolder> folder) noexcept;

} // namespace quillmere
