#include "applications/model/KeyFile.hpp"

#include "applications/model/BoundedParse.hpp"

#include <algorithm>

namespace quillmere {

namespace {

// A key is letters, digits and "-", optionally followed by a locale in brackets.
bool isValidKey(std::string_view key) {
    const size_t bracket = key.find('[');
    const std::string_view base = key.substr(0, bracket);
    if (base.empty()) return false;
    const bool plain = std::ranges::all_of(base, [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
    if (!plain) return false;
    if (bracket == std::string_view::npos) return true;
    const std::string_view locale = key.substr(bracket);
    return locale.size() > 2 && locale.back() == ']' && locale.find_first_of("[]", 1) == locale.size() - 1;
}

std::string unescaped(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (const char next = value[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            // "\\" and any escape the format does not name stand for the character itself.
            out += next;
            break;
        }
    }
    return out;
}

} // namespace

bool KeyFile::hasGroup(std::string_view group) const {
    return std::ranges::any_of(groups, [&](const Group& candidate) { return candidate.name == group; });
}

const std::string* KeyFile::value(std::string_view group, std::string_view key) const {
    const auto found = std::ranges::find(groups, group, &Group::name);
    if (found == groups.end()) return nullptr;
    for (const auto& [name, text] : found->entries)
        if (name == key) return &text;
    return nullptr;
}

std::expected<KeyFile, KeyFileError> parseKeyFile(std::string_view text) {
    if (const auto refused = refusedText<KeyFileError>(text, kKeyFileMaxBytes))
        return std::unexpected(*refused);
    KeyFile file;
    while (!text.empty()) {
        const std::string_view content = trimmedSpaces(takeLine(text));
        if (content.empty() || content.front() == '#') continue;
        if (content.front() == '[') {
            if (content.back() != ']' || content.size() < 3) return std::unexpected(KeyFileError::malformed);
            const std::string_view name = content.substr(1, content.size() - 2);
            if (name.find_first_of("[]") != std::string_view::npos)
                return std::unexpected(KeyFileError::malformed);
            file.groups.push_back({std::string(name), {}});
            continue;
        }
        const size_t equals = content.find('=');
        if (equals == std::string_view::npos || file.groups.empty())
            return std::unexpected(KeyFileError::malformed);
        const std::string_view key = trimmedSpaces(content.substr(0, equals));
        if (!isValidKey(key)) return std::unexpected(KeyFileError::malformed);
        file.groups.back().entries.emplace_back(std::string(key),
                                                unescaped(trimmedSpaces(content.substr(equals + 1))));
    }
    return file;
}

std::expected<KeyFile, KeyFileError> readKeyFile(const std::string& path) {
    return readAndParse<KeyFileError>(path, kKeyFileMaxBytes,
                                      [](std::string_view text) { return parseKeyFile(text); });
}

} // namespace quillmere
