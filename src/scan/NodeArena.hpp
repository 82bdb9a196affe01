#pragma once

#include <cstddef>

namespace quillmere::detail {

// Memory for the nodes and path segments a walk builds. A scan makes about a million small
// objects; taking them from general-purpose malloc costs a header and a rounding each, lock
// traffic on its arenas and a trickle of page-table changes as those grow. Instead each
// walking thread cuts them from large chunks of its own, one bump of a pointer apiece.
//
// Nodes outlive the walk and die one by one, in any order, on any thread (trees are shared
// and trimmed long after the scan), so a chunk counts the objects it still holds and goes
// back to the system when the last one dies and no thread is still cutting from it.
//
// Only threads inside a NodeArenaScope cut from chunks; everything else, and any object
// too large to share a chunk well, gets ordinary memory. `fromArena` says which, so the
// owner can hand the memory back the same way.
class NodeArenaScope {
public:
    NodeArenaScope();
    ~NodeArenaScope();
    NodeArenaScope(const NodeArenaScope&) = delete;
    NodeArenaScope& operator=(const NodeArenaScope&) = delete;

private:
    bool wasActive_;
};

// What the chunks take from the system now, for tests and diagnostics.
struct NodeArenaUse {
    size_t chunkBytes = 0; // chunks in use
    bool operator==(const NodeArenaUse&) const = default;
};
[[nodiscard]] NodeArenaUse nodeArenaUse() noexcept;

[[nodiscard]] void* allocateNodeMemory(size_t bytes, bool& fromArena);
void freeNodeMemory(void* memory, bool fromArena) noexcept;

} // namespace quillmere::detail
