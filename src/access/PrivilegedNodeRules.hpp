#pragma once

// What makes a walked tree fit to graft, shared by the decoders and the check of trees built
// in memory: totals that add up, names that appear once, sizes a volume can hold.

#include "access/PrivilegedNode.hpp"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace quillmere {

// The sums of a folder's children, each kept within 64 bits.
struct ChildSums {
    int64_t allocatedSize = 0;
    int64_t folderCount = 0;
    int64_t fileCount = 0;
    bool overflowed = false;

    void add(int64_t size, int64_t folders, int64_t files) {
        overflowed |= __builtin_add_overflow(allocatedSize, size, &allocatedSize);
        overflowed |= __builtin_add_overflow(folderCount, folders, &folderCount);
        overflowed |= __builtin_add_overflow(fileCount, files, &fileCount);
    }
};

struct RecordFigures {
    bool isDirectory = false;
    bool isAggregate = false;
    int64_t allocatedSize = 0;
    int64_t folderCount = 0;
    int64_t fileCount = 0;
};

// The fault of one record, given the sums of its children (`hasChildren` when it has any):
// no negative figure; children only on folders; no size beyond `maxBytes`; a file stands for
// one file and no folder; a folder's counts cover itself and all its children, whose sums
// stay within 64 bits. Sizes are not compared: a helper may leave children out, and bytes
// counted under another path are left out of a folder's size.
std::optional<PrivilegedNodeFault> recordFault(const RecordFigures& record, bool hasChildren,
                                               const ChildSums& children, int64_t maxBytes);

// Whether two of a folder's children have one name (their paths' last components, sorted
// here), or it holds more than one aggregate.
bool hasRepeatedName(std::vector<std::string_view>& components, int aggregates);

} // namespace quillmere
