#pragma once

// The JSON text of the helper's wire records, written by hand: one pass, no document, and
// every record's keys in their fixed order.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere {

// `text` as a JSON string, quotes included. Bytes that are not UTF-8 are written as U+FFFD.
void appendJsonString(std::string& out, std::string_view text);

// One record up to its children: the keys name, path, isDirectory, allocatedSize,
// folderCount, fileCount, modificationDate (only when present and finite), isAggregate, then
// "children":[ . The children follow, separated by ",", and kRecordEnd closes the record.
struct RecordHead {
    std::string_view name;
    std::string_view path;
    bool isDirectory = false;
    int64_t allocatedSize = 0;
    int64_t folderCount = 0;
    int64_t fileCount = 0;
    std::optional<double> modificationDate; // seconds since 2001
    bool isAggregate = false;
};
void appendRecordHead(std::string& out, const RecordHead& head);
inline constexpr std::string_view kRecordEnd = "]}";

} // namespace quillmere
