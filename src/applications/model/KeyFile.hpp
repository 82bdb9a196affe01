#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmere {

// Key files as desktop entries and Flatpak's deployment metadata are written: "[Group]"
// headers, "Key=Value" lines, "#" comments. Read from untrusted files: bounded in size, and a
// file that breaks the format is refused whole rather than half-read.
struct KeyFile {
    struct Group {
        std::string name;
        // Keys as written ("Name", "Name[de]"), values with their escapes resolved.
        std::vector<std::pair<std::string, std::string>> entries;

        bool operator==(const Group&) const = default;
    };
    std::vector<Group> groups;

    bool operator==(const KeyFile&) const = default;

    bool hasGroup(std::string_view group) const;
    // The value of exactly `key` (a localized "Name[de]" is another key) in the first group
    // named `group`; none when either is absent.
    const std::string* value(std::string_view group, std::string_view key) const;
};

enum class KeyFileError { unreadable, tooLarge, malformed };

// Files larger than this are not read.
inline constexpr size_t kKeyFileMaxBytes = 1u << 20;

// Malformed: text that is not UTF-8 or holds a NUL, a key before the first group, a line that is
// neither a comment, a group header nor a key with "=", a header without its "]".
std::expected<KeyFile, KeyFileError> parseKeyFile(std::string_view text);
std::expected<KeyFile, KeyFileError> readKeyFile(const std::string& path);

} // namespace quillmere
