#pragma once

#include "access/PrivilegedNode.hpp"
#include "scan/FileNode.hpp"

#include <optional>

namespace quillmere {

// A helper's record, whole or as it is decoded, as the fields of a scanned node: the helper
// counts dates from 1970, the tree from 2001.
template <class Record> NodeFields nodeFieldsOf(const Record& record) {
    return NodeFields{.isDirectory = record.isDirectory,
                      .allocatedSize = record.allocatedSize,
                      .isAggregate = record.isAggregate,
                      .folderCount = record.folderCount,
                      .fileCount = record.fileCount,
                      .modificationDate =
                          record.modificationDate
                              ? std::optional<Date>(*record.modificationDate + kSecondsFrom1970To2001)
                              : std::nullopt};
}

} // namespace quillmere
