#include "scan/NodeArena.hpp"

#include "platform/HugePageBlock.hpp"
#include "platform/PopulatedMemory.hpp"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <utility>

namespace quillmere::detail {
namespace {

// Chunks are aligned to their size, so any object finds its chunk's header by masking its
// address.
constexpr size_t kChunkBytes = 256 * 1024;
// Larger objects (folders of hundreds of children) take ordinary memory: a chunk cut short
// by one of them would waste more than its header saves.
constexpr size_t kLargestInChunk = 4 * 1024;
constexpr size_t kAlignment = 8; // the strictest a node or path segment needs
// A chunk's pages are backed a step ahead of the objects cut from it, in one call a step: a
// million nodes otherwise fault in their memory a page at a time. A step, not the chunk, so
// a walk's last chunk holds little memory it never uses. Four pages: with sixteen, eight
// walkers' last chunks could end with up to half a megabyte backed and never written, and the
// shorter step costs a million-node scan no measurable time.
constexpr size_t kPopulateStep = 16 * 1024;
// Once live chunks hold this much, new ones are cut from blocks the kernel may back with 2 MB
// pages: each small page otherwise costs its first write a fault of its own, even after it
// was backed (on a virtual machine, a trip to the host), a second per million nodes spread
// over the walkers. Not below: a block is backed whole once touched, so a small scan would
// hold up to a block it never fills.
constexpr size_t kBlockBytes = 2 * 1024 * 1024;
constexpr int kChunksPerBlock = static_cast<int>(kBlockBytes / kChunkBytes);
constexpr size_t kBlocksAfterBytes = 8 * 1024 * 1024;
// The address sanitizer sees each object only when each has memory of its own.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kChunksInUse = false;
#else
constexpr bool kChunksInUse = true;
#endif

struct Block {
    platform::HugePageBlock memory;
    int handedOut = 0; // chunks cut from it so far
    int live = 0;      // of those, chunks not yet given back
};

struct alignas(16) Chunk {
    // One count per live object, plus one while a thread still cuts from the chunk.
    std::atomic<int64_t> live{1};
    Block* block = nullptr; // the block it was cut from, if any
};

// Where chunks come from, for every thread: memory of their own, or a share of a block.
class ChunkSource {
public:
    // A chunk's memory, or null when the system has none.
    void* take(Block*& block) noexcept {
        block = nullptr;
        {
            std::lock_guard lock(mutex_);
            // A block begun is used up first: it is backed whole already.
            if (!current_ && heldBytes_.load(std::memory_order_relaxed) >= kBlocksAfterBytes) {
                platform::HugePageBlock memory = platform::HugePageBlock::map(kBlockBytes);
                if (memory) current_ = new (std::nothrow) Block{.memory = std::move(memory)};
                if (current_) blocks_.fetch_add(1, std::memory_order_relaxed);
            }
            if (current_) {
                block = current_;
                void* memory = block->memory.data() + static_cast<size_t>(block->handedOut) * kChunkBytes;
                ++block->live;
                if (++block->handedOut == kChunksPerBlock) current_ = nullptr;
                heldBytes_.fetch_add(kChunkBytes, std::memory_order_relaxed);
                return memory;
            }
        }
        void* memory = std::aligned_alloc(kChunkBytes, kChunkBytes);
        if (memory) heldBytes_.fetch_add(kChunkBytes, std::memory_order_relaxed);
        return memory;
    }

    void giveBack(void* memory, Block* block) noexcept {
        heldBytes_.fetch_sub(kChunkBytes, std::memory_order_relaxed);
        if (!block) {
            std::free(memory);
            return;
        }
        {
            std::lock_guard lock(mutex_);
            if (--block->live == 0) {
                // Its chunks not yet handed out go with it: a tree let go leaves no block behind.
                if (block == current_) current_ = nullptr;
                delete block;
                blocks_.fetch_sub(1, std::memory_order_relaxed);
                return;
            }
        }
        // A tree trimmed node by node empties chunks while their neighbours live on: each
        // one's pages go back as it empties, as a chunk of its own would.
        platform::releasePages(memory, kChunkBytes);
    }

    // The chunks of the current block not yet handed out go back to the system; later chunks
    // come from a new block.
    void releaseUnhanded() noexcept {
        std::lock_guard lock(mutex_);
        if (!current_) return;
        Block* const block = current_;
        current_ = nullptr;
        const size_t start = static_cast<size_t>(block->handedOut) * kChunkBytes;
        platform::releasePages(block->memory.data() + start, kBlockBytes - start);
        block->handedOut = kChunksPerBlock;
    }

    NodeArenaUse use() const noexcept {
        return {.chunkBytes = heldBytes_.load(std::memory_order_relaxed),
                .blocks = blocks_.load(std::memory_order_relaxed)};
    }

private:
    std::mutex mutex_;
    Block* current_ = nullptr; // the block chunks are cut from, while it has any left
    std::atomic<size_t> heldBytes_{0};
    std::atomic<size_t> blocks_{0};
};

// Never destroyed: nodes may die on threads that outlive static destruction.
ChunkSource& chunkSource() {
    static ChunkSource* const source = new ChunkSource;
    return *source;
}

void release(Chunk* chunk) noexcept {
    if (chunk->live.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        Block* const block = chunk->block;
        chunk->~Chunk();
        chunkSource().giveBack(chunk, block);
    }
}

class ThreadArena {
public:
    ThreadArena() = default;
    ThreadArena(const ThreadArena&) = delete;
    ThreadArena& operator=(const ThreadArena&) = delete;
    ~ThreadArena() {
        if (chunk_) release(chunk_);
    }

    void* allocate(size_t bytes) {
        bytes = (bytes + kAlignment - 1) & ~(kAlignment - 1);
        if (!chunk_ || static_cast<size_t>(end_ - next_) < bytes) {
            Block* block = nullptr;
            void* memory = chunkSource().take(block);
            if (!memory) return nullptr;
            if (chunk_) release(chunk_);
            chunk_ = new (memory) Chunk{.block = block};
            populated_ = static_cast<char*>(memory);
            next_ = static_cast<char*>(memory) + sizeof(Chunk);
            end_ = static_cast<char*>(memory) + kChunkBytes;
        }
        while (populated_ < next_ + bytes) {
            platform::populateForWriting(populated_, kPopulateStep);
            populated_ += kPopulateStep;
        }
        void* object = next_;
        next_ += bytes;
        chunk_->live.fetch_add(1, std::memory_order_relaxed);
        return object;
    }

private:
    Chunk* chunk_ = nullptr;
    char* populated_ = nullptr; // the end of the pages backed so far
    char* next_ = nullptr;
    char* end_ = nullptr;
};

thread_local bool scopeActive = false;

ThreadArena& threadArena() {
    thread_local ThreadArena arena;
    return arena;
}

} // namespace

NodeArenaScope::NodeArenaScope() : wasActive_(std::exchange(scopeActive, true)) {}

NodeArenaScope::~NodeArenaScope() {
    scopeActive = wasActive_;
}

void* allocateNodeMemory(size_t bytes, bool& fromArena) {
    fromArena = false;
    if (kChunksInUse && scopeActive && bytes <= kLargestInChunk) {
        if (void* memory = threadArena().allocate(bytes)) {
            fromArena = true;
            return memory;
        }
    }
    return ::operator new(bytes);
}

void releaseUnusedNodeMemory() noexcept {
    chunkSource().releaseUnhanded();
}

NodeArenaUse nodeArenaUse() noexcept {
    return chunkSource().use();
}

void freeNodeMemory(void* memory, bool fromArena) noexcept {
    if (!fromArena) {
        ::operator delete(memory);
        return;
    }
    auto* chunk = reinterpret_cast<Chunk*>(reinterpret_cast<uintptr_t>(memory) & ~(kChunkBytes - 1));
    release(chunk);
}

} // namespace quillmere::detail
