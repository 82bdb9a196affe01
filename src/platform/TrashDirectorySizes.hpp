#pragma once

#include "platform/Fd.hpp"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::platform {

// The folders one removal run moved into Trash folders, whose lines the Trash's directorysizes
// cache gets together when the run ends: the cache is read and rewritten once per Trash and run,
// not once per folder.
//
// Several programs may update one cache at once (two windows, another Trash client), so each
// update holds an exclusive flock on "directorysizes.lock" beside the cache, reads the cache
// afresh under it, replaces or adds this run's lines and leaves every other line as it found
// it, then swaps the result in with a rename. A copy read before the lock is never written back.
// The cache is optional: whatever fails leaves it as it was.
class DirectorySizesBatch {
public:
    DirectorySizesBatch() = default;
    DirectorySizesBatch(const DirectorySizesBatch&) = delete;
    DirectorySizesBatch& operator=(const DirectorySizesBatch&) = delete;
    ~DirectorySizesBatch() { flush(); }

    // Notes the folder just moved into the Trash open at `trashFd` (its files/ entry `entryName`).
    // The descriptor is duplicated the first time a Trash is seen; the caller keeps its own.
    void add(int trashFd, const std::string& trashPath, std::string entryName);
    // Measures the noted folders and merges their lines into each Trash's cache; then forgets them.
    void flush() noexcept;
    bool isEmpty() const { return pending_.empty(); }

private:
    struct Pending {
        Fd trash;
        std::vector<std::string> entries;
    };
    std::map<std::string, Pending> pending_; // by the Trash folder's path
};

// `current` (a directorysizes text) with `lines` merged in: a line whose name (its third
// field) is among theirs is replaced, every other line stays in its place, and the new names
// follow in their order. Lines that do not parse are kept as they are.
std::string mergedDirectorySizes(std::string_view current, const std::vector<std::string>& lines);

} // namespace quillmere::platform
