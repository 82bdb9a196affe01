#pragma once

#include <expected>
#include <map>
#include <string>
#include <string_view>

namespace quillmere {

// The top-level plain values of a snap's "meta/snap.yaml" ("name: firefox", "version: '1.2'"),
// which is all the inventory needs of it. Nested mappings, lists and block texts are passed
// over; a line that is none of these makes the file malformed. Bounded like the other
// metadata readers.
using SnapYaml = std::map<std::string, std::string, std::less<>>;

enum class SnapYamlError { unreadable, tooLarge, malformed };

inline constexpr size_t kSnapYamlMaxBytes = 1u << 20;

std::expected<SnapYaml, SnapYamlError> parseSnapYaml(std::string_view text);
std::expected<SnapYaml, SnapYamlError> readSnapYaml(const std::string& path);

} // namespace quillmere
