// Trees built and freed while memory runs out. This program replaces the global allocation
// functions, so that a test can make the next allocations of its own thread fail and count
// what stays allocated.
#include "scan/FileNode.hpp"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>

namespace {

std::atomic<long> liveAllocations{0};
// Allocations this thread may still make before each one fails; negative: no limit.
thread_local long allocationsLeft = -1;

void* allocate(std::size_t size) {
    if (allocationsLeft == 0) return nullptr;
    if (allocationsLeft > 0) --allocationsLeft;
    void* memory = std::malloc(size ? size : 1);
    if (memory) liveAllocations.fetch_add(1, std::memory_order_relaxed);
    return memory;
}

void deallocate(void* memory) noexcept {
    if (!memory) return;
    liveAllocations.fetch_sub(1, std::memory_order_relaxed);
    std::free(memory);
}

} // namespace

void* operator new(std::size_t size) {
    if (void* memory = allocate(size)) return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* memory) noexcept {
    deallocate(memory);
}
void operator delete[](void* memory) noexcept {
    deallocate(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    deallocate(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    deallocate(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    deallocate(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    deallocate(memory);
}

namespace quillmere {
namespace {

// Lets `count` more allocations of this thread succeed, then fails every one until it ends.
class FailingAllocations {
public:
    explicit FailingAllocations(long count) { allocationsLeft = count; }
    ~FailingAllocations() { allocationsLeft = -1; }
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;
};

const NodeFields kFile{.allocatedSize = 4096, .fileCount = 1};
const NodeFields kFolder{.isDirectory = true, .folderCount = 1};

TEST(AllocationFailure, ANodeThatCannotBeMadeGivesItsPathBack) {
    const long before = liveAllocations.load();
    {
        const FolderPath parent = FolderPath::root("/volume/folder");
        {
            // A file's node shares its folder's path; the node's own memory is the first asked.
            FailingAllocations failing(0);
            EXPECT_THROW((void)FileNode::under(parent, "file", kFile), std::bad_alloc);
        }
        {
            // A folder's node gets a path of its own first, then fails.
            FailingAllocations failing(1);
            EXPECT_THROW((void)FileNode::under(parent, "sub", kFolder), std::bad_alloc);
        }
        {
            // A node shared with another holder is copied before it changes: the copy of its
            // children fails first, then the copy itself.
            const FileNode shared =
                FileNode::folder(parent, "folder", std::nullopt,
                                 {FileNode::under(parent, "a", kFile), FileNode::under(parent, "b", kFile)});
            for (long allowed : {0L, 1L}) {
                FileNode copy = shared;
                NodeFields fields = copy.fields();
                fields.allocatedSize = 1;
                FailingAllocations failing(allowed);
                EXPECT_THROW(copy.setFields(fields), std::bad_alloc);
            }
        }
        // Nothing else failed: the same calls succeed now.
        EXPECT_EQ(FileNode::under(parent, "sub", kFolder).path(), "/volume/folder/sub");
    }
    EXPECT_EQ(liveAllocations.load(), before);
}

TEST(AllocationFailure, FreeingATreeAllocatesNothing) {
    const long before = liveAllocations.load();
    {
        // A chain far deeper than any stack of calls, with a wide folder at its foot.
        const FolderPath root = FolderPath::root("/volume");
        std::vector<FileNode> wide;
        for (int i = 0; i < 10'000; ++i)
            wide.push_back(FileNode::under(root, "f" + std::to_string(i), kFile));
        FileNode tree = FileNode::folder(root.child("wide"), "wide", std::nullopt, std::move(wide));
        FolderPath path = root;
        for (int depth = 0; depth < 50'000; ++depth) {
            path = path.child("d");
            tree = FileNode::folder(path, "d", std::nullopt, {std::move(tree)});
        }
        FileNode alsoHeld = tree.children()[0];
        FileNode empty[2];
        int64_t survivingFiles = 0;
        {
            FailingAllocations failing(0);
            tree = std::move(empty[0]);
            survivingFiles = alsoHeld.fileCount();
            alsoHeld = std::move(empty[1]);
        }
        // The part still held elsewhere survived, whole, and went with its last holder.
        EXPECT_EQ(survivingFiles, 10'000);
    }
    EXPECT_EQ(liveAllocations.load(), before);
}

} // namespace
} // namespace quillmere
