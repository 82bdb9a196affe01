#include "scan/NodeArena.hpp"

#include "platform/AlignedMapping.hpp"
#include "platform/PopulatedMemory.hpp"

#include <atomic>
#include <cstdint>
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
// The address sanitizer sees each object only when each has memory of its own.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kChunksInUse = false;
#else
constexpr bool kChunksInUse = true;
#endif

struct alignas(16) Chunk {
    // One count per live object, plus one while a thread still cuts from the chunk.
    std::atomic<int64_t> live{1};
};

// Where chunks come from, for every thread. Each is a mapping of its own, backed a step at a
// time as it is cut (see kPopulateStep), and unmapped when its last object dies. From the
// allocator, a chunk aligned to its size left a fragment beside it whose first page the
// allocator wrote: some 10 MB in a scan of three million entries. Chunks once came from blocks
// of 2 MB pages past the first few megabytes; on a virtual machine that hands the guest's freed
// memory back to its host, a huge page is then backed anew on its first write, and a
// million-node scan took a tenth longer with them, a third longer right after another program
// freed a gigabyte.
class ChunkSource {
public:
    // A chunk's memory, or null when the system has none.
    void* take() noexcept {
        void* memory = platform::mapAligned(kChunkBytes, kChunkBytes);
        if (memory) heldBytes_.fetch_add(kChunkBytes, std::memory_order_relaxed);
        return memory;
    }

    void giveBack(void* memory) noexcept {
        heldBytes_.fetch_sub(kChunkBytes, std::memory_order_relaxed);
        platform::unmapAligned(memory, kChunkBytes);
    }

    NodeArenaUse use() const noexcept { return {.chunkBytes = heldBytes_.load(std::memory_order_relaxed)}; }

private:
    std::atomic<size_t> heldBytes_{0};
};

// Never destroyed: nodes may die on threads that outlive static destruction.
ChunkSource& chunkSource() {
    static ChunkSource* const source = new ChunkSource;
    return *source;
}

void release(Chunk* chunk) noexcept {
    if (chunk->live.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        chunk->~Chunk();
        chunkSource().giveBack(chunk);
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
            void* memory = chunkSource().take();
            if (!memory) return nullptr;
            if (chunk_) release(chunk_);
            chunk_ = new (memory) Chunk{};
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
