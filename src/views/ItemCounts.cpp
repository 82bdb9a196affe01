#include "views/ItemCounts.hpp"

#include "base/Format.hpp"

#include <algorithm>

namespace quillmere::views {

std::string countedNoun(int64_t count, const std::string& singular, const std::string& plural) {
    return formatGroupedInteger(count) + " " + (count == 1 ? singular : plural);
}

std::string folderAndFileCounts(const FileNode& folder) {
    const int64_t folders = std::max<int64_t>(folder.folderCount() - 1, 0);
    return countedNoun(folders, "folder", "folders") + " \u00b7 " +
           countedNoun(folder.fileCount(), "file", "files");
}

} // namespace quillmere::views
