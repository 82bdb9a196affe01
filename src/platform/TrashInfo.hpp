#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere::platform {

// The texts of a freedesktop.org Trash (version 1.0): the .trashinfo record, the names
// items get in it and the lines of its directorysizes cache.

// Every byte outside RFC 2396's unreserved characters becomes %XX (upper-case hex); "/" is kept.
std::string percentEncode(std::string_view bytes);
// Undoes %XX escapes; nothing when an escape is malformed.
std::optional<std::string> percentDecode(std::string_view text);

// "YYYY-MM-DDThh:mm:ss" in local time.
std::string trashDeletionDate(std::time_t when);

// The whole record: "[Trash Info]", "Path=" with the encoded path, "DeletionDate=".
std::string trashInfoText(std::string_view originalPath, std::time_t deletedAt);

// The name an item gets in the Trash on the given attempt (1 for the first): its own name,
// then "name.2", "name.3"…, shortened at a character boundary so that the record's name
// (the name followed by ".trashinfo") fits in 255 bytes.
std::string trashEntryName(std::string_view itemName, int attempt);

inline constexpr std::string_view kTrashInfoSuffix = ".trashinfo";
inline constexpr size_t kMaxFileNameBytes = 255;

// One line of directorysizes: "size mtime NAME-percent-encoded\n".
std::string directorySizesLine(int64_t bytes, int64_t recordModifiedSeconds, std::string_view entryName);

} // namespace quillmere::platform
