#include "scan/NodeArena.hpp"

#include "scan/FileNode.hpp"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace quillmere {
namespace {

std::string nameOf(int i) {
    return "entry-" + std::to_string(i) + std::string(static_cast<size_t>(i % 40), 'x');
}

// A folder of `count` files, built the way a walker builds one: inside an arena scope, on a
// thread of its own that has ended by the time the folder is used.
FileNode folderBuiltOnAnotherThread(int count) {
    std::optional<FileNode> built;
    std::thread([&] {
        const detail::NodeArenaScope arena;
        const FolderPath path = FolderPath::root("/scan");
        std::vector<FileNode> children;
        for (int i = 0; i < count; ++i)
            children.push_back(FileNode::under(path.child("inner"), nameOf(i),
                                               NodeFields{.allocatedSize = i, .fileCount = 1}));
        built = FileNode::folder(path, "/scan", std::nullopt, std::move(children));
    }).join();
    return std::move(*built);
}

void expectIntact(std::span<const FileNode> children, const std::vector<int>& ids) {
    ASSERT_EQ(children.size(), ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        ASSERT_EQ(children[i].name(), nameOf(ids[i]));
        ASSERT_EQ(children[i].allocatedSize(), ids[i]);
        ASSERT_EQ(children[i].path(), "/scan/inner/" + nameOf(ids[i]));
    }
}

TEST(NodeArena, NodesOutliveTheirThreadAndDieOneByOneOnAnyThread) {
    // Enough nodes for many chunks: chunks are handed back as their last node dies, so one
    // handed back early would show here as a node whose name or size changed (or a fault).
    constexpr int kCount = 60'000;
    const FileNode folder = folderBuiltOnAnotherThread(kCount);
    std::vector<int> ids(kCount);
    for (int i = 0; i < kCount; ++i)
        ids[static_cast<size_t>(i)] = i;
    expectIntact(folder.children(), ids);

    // Keep a random half, dropping the rest in random order: whole chunks empty out while
    // their neighbours stay in use.
    std::vector<FileNode> kept(folder.children().begin(), folder.children().end());
    std::mt19937 random(7);
    std::vector<int> order = ids;
    std::shuffle(order.begin(), order.end(), random);
    std::vector<bool> dropped(kCount, false);
    for (size_t i = 0; i < order.size() / 2; ++i)
        dropped[static_cast<size_t>(order[i])] = true;
    std::vector<FileNode> half;
    std::vector<int> halfIds;
    for (int i = 0; i < kCount; ++i)
        if (!dropped[static_cast<size_t>(i)]) {
            half.push_back(kept[static_cast<size_t>(i)]);
            halfIds.push_back(i);
        }
    kept.clear();
    const FileNode trimmed = folder.rebuilt(std::move(half));
    {
        const FileNode gone = folder; // the last handle of the full folder dies on another thread
        std::thread([dying = gone] {}).join();
    }
    expectIntact(trimmed.children(), halfIds);

    // Trees built on several threads at once, then freed together on yet others.
    std::vector<FileNode> trees(4);
    {
        std::vector<std::thread> builders;
        for (size_t t = 0; t < trees.size(); ++t)
            builders.emplace_back([&trees, t] { trees[t] = folderBuiltOnAnotherThread(5'000); });
        for (std::thread& builder : builders)
            builder.join();
    }
    std::vector<int> small(5'000);
    for (int i = 0; i < 5'000; ++i)
        small[static_cast<size_t>(i)] = i;
    for (const FileNode& tree : trees)
        expectIntact(tree.children(), small);
    std::vector<std::thread> freers;
    for (FileNode& tree : trees)
        freers.emplace_back([dying = std::move(tree)] {});
    for (std::thread& freer : freers)
        freer.join();
    expectIntact(trimmed.children(), halfIds);
}

TEST(NodeArena, ALargeTreeGivesEveryChunkBackAsItsNodesDie) {
    const detail::NodeArenaUse before = detail::nodeArenaUse();
    {
        // About 12 MB of nodes, in some fifty chunks.
        constexpr int kCount = 200'000;
        FileNode folder = folderBuiltOnAnotherThread(kCount);
        const detail::NodeArenaUse during = detail::nodeArenaUse();
        if (during.chunkBytes == before.chunkBytes)
            GTEST_SKIP() << "this build gives every node memory of its own";
        std::vector<int> ids(kCount);
        for (int i = 0; i < kCount; ++i)
            ids[static_cast<size_t>(i)] = i;
        expectIntact(folder.children(), ids);

        // Every other node dies first: each chunk still holds live nodes.
        const auto keeping = [](const FileNode& from, int first, int step, std::vector<int>& kept) {
            std::vector<FileNode> children;
            kept.clear();
            for (size_t i = 0; i < from.children().size(); ++i) {
                const auto id = static_cast<int>(from.children()[i].allocatedSize());
                if (id >= first && (id - first) % step == 0) {
                    children.push_back(from.children()[i]);
                    kept.push_back(id);
                }
            }
            return from.rebuilt(std::move(children));
        };
        std::vector<int> keptIds;
        FileNode odd = keeping(folder, 1, 2, keptIds);
        std::thread([dying = std::move(folder)] {}).join();
        expectIntact(odd.children(), keptIds);
        EXPECT_EQ(detail::nodeArenaUse().chunkBytes, during.chunkBytes);

        // Then all but the last quarter: whole chunks empty out and their memory goes back
        // without touching their neighbours'.
        const FileNode quarter = keeping(odd, 3 * kCount / 4 + 1, 2, keptIds);
        std::thread([dying = std::move(odd)] {}).join();
        expectIntact(quarter.children(), keptIds);
        EXPECT_LT(detail::nodeArenaUse().chunkBytes, during.chunkBytes / 2);
    }
    // The last node gone, every chunk went back to the system.
    EXPECT_EQ(detail::nodeArenaUse(), before);
}

} // namespace
} // namespace quillmere
