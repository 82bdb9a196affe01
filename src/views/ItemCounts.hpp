#pragma once

#include "scan/FileNode.hpp"

#include <cstdint>
#include <string>

namespace quillmere::views {

// "1 folder", "0 folders", "1,234 files": a count in the user's grouping and the noun,
// singular only for exactly one.
std::string countedNoun(int64_t count, const std::string& singular, const std::string& plural);

// A folder's contents as "3 folders · 1 file": its folders below itself (never below 0) and
// its files.
std::string folderAndFileCounts(const FileNode& folder);

} // namespace quillmere::views
