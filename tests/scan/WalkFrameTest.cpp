#include "scan/WalkFrame.hpp"

#include "scan/NodeArena.hpp"

#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quillmere {
namespace {

// A share of a folder's entries as a walk of it hands it back: names, and a record for each.
std::unique_ptr<Frame> part(const std::vector<std::pair<std::string, int64_t>>& leaves) {
    auto frame = std::make_unique<Frame>();
    for (const auto& [name, size] : leaves) {
        frame->records.push_back(ChildRecord::of(size, 0, frame->listing.size(), 0));
        frame->listing += name;
        frame->listing.push_back('\0');
    }
    return frame;
}

// A folder is built from its own records and its parts' in order, each piece given up once it
// is taken; empty parts between them, a built node among them and small leaves folded away
// must not shift a single name.
TEST(WalkFrame, AFolderIsBuiltFromEveryPieceInOrderAndNeverTwice) {
    const FolderPath folder = FolderPath::root("/r");
    Frame frame = std::move(*part({{"a", 4096}, {"tiny-1", 1}}));
    frame.folderPath = folder;
    frame.addPart(part({}));
    std::unique_ptr<Frame> second = part({{"c", 8192}});
    second->addNode(FileNode::under(
        folder, "d",
        NodeFields{.isDirectory = true, .allocatedSize = 4096, .folderCount = 1, .fileCount = 0}));
    second->records.push_back(ChildRecord::of(1, 0, second->listing.size(), 0));
    second->listing += std::string("tiny-2") + '\0';
    frame.addPart(std::move(second));
    frame.addPart(part({}));
    frame.addPart(part({{"e", 4096}}));

    const FileNode node = assembleFolder(frame, "r");
    std::vector<std::pair<std::string, int64_t>> children;
    for (const FileNode& child : node.children())
        children.emplace_back(child.name(), child.allocatedSize());
    const std::vector<std::pair<std::string, int64_t>> expected{
        {"a", 4096}, {"c", 8192}, {"d", 4096}, {"e", 4096}, {"2 more items", 2}};
    EXPECT_EQ(children, expected);
    EXPECT_EQ(node.allocatedSize(), 20482);
    EXPECT_EQ(node.children()[1].path(), "/r/c");
    EXPECT_EQ(node.children()[2].path(), "/r/d");

    // What the frame held went into that node: building it again could only make a folder
    // short of entries, so it is refused.
    EXPECT_THROW((void)assembleFolder(frame, "r"), std::logic_error);
}

// Sums of sizes past any disk stay at the largest figure rather than wrapping around, for the
// items folded together as for the folder.
TEST(WalkFrame, FoldedSizesBeyondAnyDiskStayAtTheLargestFigure) {
    constexpr int64_t kLargest = std::numeric_limits<int64_t>::max();
    std::vector<std::pair<std::string, int64_t>> leaves;
    for (int i = 0; i < 1500; ++i)
        leaves.emplace_back("huge-" + std::to_string(i), kLargest / 1000);
    Frame frame = std::move(*part(leaves));
    frame.folderPath = FolderPath::root("/r");
    const FileNode node = assembleFolder(frame, "r");
    ASSERT_EQ(node.children().size(), 1U);
    EXPECT_TRUE(node.children()[0].isAggregate());
    EXPECT_EQ(node.children()[0].allocatedSize(), kLargest);
    EXPECT_EQ(node.children()[0].fileCount(), 1500);
    EXPECT_EQ(node.allocatedSize(), kLargest);
}

// A listing past 4 GiB (millions of long names in one folder) still finds each name: the
// offsets past 32 bits are kept, and the flags beside them untouched.
TEST(WalkFrame, RecordsAddressListingsPastFourGigabytes) {
    for (const size_t offset :
         {size_t{0}, size_t{UINT32_MAX}, (size_t{1} << 32) + 7, kListingBytesLimit - 1}) {
        const ChildRecord record = ChildRecord::of(4096, 0, offset, kShared | kHasDate);
        EXPECT_EQ(record.offset(), offset);
        EXPECT_EQ(record.flags, kShared | kHasDate);
    }
}

// A share holding thousands of finished subfolders gives its memory back as soon as the folder
// is built; those folded into the folder's aggregate were never moved out, and must still be
// released with it rather than forgotten when the share's pages go.
TEST(WalkFrame, SubfoldersFoldedAwayAreReleasedWithTheShareThatHeldThem) {
    const detail::NodeArenaUse before = detail::nodeArenaUse();
    const FolderPath folder = FolderPath::root("/r");
    Frame frame = std::move(*part({{"large", int64_t{1} << 30}}));
    frame.folderPath = folder;
    std::unique_ptr<Frame> share = part({});
    std::thread([&] {
        // Built as a walker builds them, from its own chunks, which the thread lets go as it ends.
        const detail::NodeArenaScope arena;
        for (int i = 0; i < 3000; ++i)
            share->addNode(FileNode::under(
                folder, "sub-" + std::to_string(i),
                NodeFields{.isDirectory = true, .allocatedSize = 4096, .folderCount = 1, .fileCount = 1}));
    }).join();
    // A build that gives every node memory of its own has the leak checker look for them.
    const bool fromChunks = detail::nodeArenaUse() != before;
    frame.addPart(std::move(share));
    {
        const FileNode node = assembleFolder(frame, "r");
        ASSERT_EQ(node.children().size(), 2U);
        EXPECT_EQ(node.children()[1].name(), "3,000 more items");
    }
    if (fromChunks) {
        EXPECT_EQ(detail::nodeArenaUse(), before);
    }
}

} // namespace
} // namespace quillmere
