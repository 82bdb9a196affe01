#include "scan/WalkFrame.hpp"

#include "scan/SmallItemFolding.hpp"

namespace quillmere {
namespace {

// The walker's or a node's share in `folder` is given up: the folder when that was the last
// share, to be finished; nothing otherwise.
std::shared_ptr<PendingFolder> dropShare(std::shared_ptr<PendingFolder> folder) noexcept {
    if (folder->outstanding.fetch_sub(1, std::memory_order_acq_rel) != 1) return nullptr;
    return folder;
}

// Hands `node` to `sink`: the folder above when this was the last node it awaited.
std::shared_ptr<PendingFolder> handTo(NodeSink sink, std::optional<FileNode> node,
                                      bool holdsDenied) noexcept {
    if (!sink.folder) {
        if (sink.top) sink.top(std::move(node), holdsDenied);
        return nullptr;
    }
    sink.slot->result = std::move(node);
    sink.slot->holdsDenied = holdsDenied;
    return dropShare(std::move(sink.folder));
}

// The last share of `folder` is gone: build its node and hand it on. Returns the folder above
// when this delivery was the last it awaited, to be finished in turn.
std::shared_ptr<PendingFolder> finish(std::shared_ptr<PendingFolder> folder) noexcept {
    std::optional<FileNode> node;
    bool held = true;
    try {
        Frame& frame = folder->frame;
        takeDeliveredNodes(frame, *folder);
        node = assembleFolder(frame, folder->name);
        held = frame.holdsDenied;
    } catch (...) {
        // Not even the folder could be built: what it held is lost and reported as denied above.
    }
    NodeSink next = std::move(folder->sink);
    folder.reset(); // nobody else holds it now: its frame and slots go before the folder above is built
    return handTo(std::move(next), std::move(node), held);
}

// Finishes folders up the chain, without recursion.
void finishChain(std::shared_ptr<PendingFolder> folder) noexcept {
    while (folder)
        folder = finish(std::move(folder));
}

} // namespace

void takeDeliveredNodes(Frame& frame, PendingFolder& folder) {
    for (auto& slot : folder.slots)
        if (slot->result) frame.addNode(std::move(*slot->result), slot->holdsDenied);
    folder.slots.clear();
}

void Frame::addNode(FileNode node, bool nodeHoldsDenied) {
    records.push_back(ChildRecord{node.allocatedSize(), 0, static_cast<uint32_t>(nodes.size()),
                                  static_cast<uint8_t>(kNode | (node.isExcludedFromTotals() ? kShared : 0) |
                                                       (nodeHoldsDenied ? kHoldsDenied : 0))});
    nodes.push_back(std::move(node));
    holdsDenied = holdsDenied || nodeHoldsDenied;
}

NodeSink Frame::awaitOneMore() {
    if (!waiting) waiting = std::make_shared<PendingFolder>();
    ChildWalk* slot = waiting->slots.emplace_back(std::make_unique<ChildWalk>()).get();
    waiting->outstanding.fetch_add(1, std::memory_order_relaxed);
    return NodeSink{waiting, slot, {}};
}

FileNode assembleFolder(Frame& frame, std::string_view name) {
    std::vector<FileNode> children;
    children.reserve(frame.records.size());
    const auto keep = [&](size_t i) {
        const ChildRecord& record = frame.records[i];
        if (record.flags & kNode) {
            children.push_back(std::move(frame.nodes[record.nameOffset]));
            return;
        }
        const bool shared = record.flags & kShared;
        const bool cloudOnly = record.flags & kCloudOnly;
        children.push_back(FileNode::under(
            frame.folderPath, frame.listing.data() + record.nameOffset,
            NodeFields{.isSymbolicLink = bool(record.flags & kSymbolicLink),
                       .allocatedSize = record.size,
                       .isSharedElsewhere = shared,
                       .isCloudOnly = cloudOnly,
                       .cloudOnlyCount = cloudOnly ? 1 : 0,
                       .fileCount = 1,
                       .sharedBytesTotal = shared ? record.size : 0,
                       .modificationDate =
                           (record.flags & kHasDate) ? std::optional<Date>(record.date) : std::nullopt}));
    };
    const auto fold = [&](size_t i, FileNode::Totals& sums) {
        const ChildRecord& record = frame.records[i];
        if (record.flags & kNode) {
            sums.add(frame.nodes[record.nameOffset]);
        } else {
            sums.allocatedSize += record.size; // folded leaves are neither shared nor cloud-only
            sums.fileCount += 1;
        }
    };
    std::optional<FileNode> aggregate = foldChildren(
        frame.records.size(), frame.folderPath, [&](size_t i) { return frame.records[i].size; },
        [&](size_t i) { return frame.records[i].isCounted(); },
        [&](size_t i) { return bool(frame.records[i].flags & kHoldsDenied); }, keep, fold);
    if (aggregate) children.push_back(std::move(*aggregate));
    FileNode node = FileNode::folder(frame.folderPath, name, frame.date, std::move(children));
    frame.records.clear();
    frame.nodes.clear();
    frame.listing.clear();
    return node;
}

void deliverNode(NodeSink sink, std::optional<FileNode> node, bool holdsDenied) noexcept {
    finishChain(handTo(std::move(sink), std::move(node), holdsDenied));
}

void releaseWalkerShare(std::shared_ptr<PendingFolder> folder) noexcept {
    finishChain(dropShare(std::move(folder)));
}

} // namespace quillmere
